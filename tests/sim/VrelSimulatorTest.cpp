#include "VrelSimulator.h"
#include "SimTestSupport.h"
#include "VrelTypes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

namespace vrel {
namespace {

using test::Device;
using test::Discover;
using test::Hex;
using test::HexOf;
using test::Md5;
using test::Request;
using test::SetRequest;

const std::string kMacA = "020000000001", kMacB = "020000000002", kMacC = "0200000000AB";

std::vector<SimDevice> ThreeDevices() {
    return {Device(0x1001, "SIM-A", kMacA, "10.0.0.1"),
            Device(0x1002, "SIM-B", kMacB, "10.0.0.2", "secret"),
            Device(0x1003, "SIM-C", kMacC, "10.0.0.3")};
}

const char* const kRecordA = "EB 00 05 10 01  01 00 08 53 49 4D 2D 41  02 00 09 02 00 00 00 00 01"
                             "  03 00 07 0A 00 00 01  04 00 07 FF FF FF 00";
const char* const kRecordB = "EB 00 05 10 02  01 00 08 53 49 4D 2D 42  02 00 09 02 00 00 00 00 02"
                             "  03 00 07 0A 00 00 02  04 00 07 FF FF FF 00";
const char* const kRecordC = "EB 00 05 10 03  01 00 08 53 49 4D 2D 43  02 00 09 02 00 00 00 00 AB"
                             "  03 00 07 0A 00 00 03  04 00 07 FF FF FF 00";

// What a test checks of one answer, keyed by the answering MAC.
struct Answer {
    std::string statusAndPayload; // status byte, then the payload
    bool operator==(const Answer&) const = default;
};

// Checks the header fields every answer shares with its request and the digest a device of
// that password computes, and returns the answers by MAC.
std::map<std::string, std::string> Answers(const std::string& request, const SimResult& result,
                                           const std::vector<SimDevice>& devices) {
    std::map<std::string, std::string> byMac;
    for (const auto& a : result.answers) {
        const std::string& d = a.datagram;
        EXPECT_GE(d.size(), 36u);
        if (d.size() < 36)
            continue;
        const std::string mac = HexOf(d.substr(28, 6));
        EXPECT_EQ(HexOf(d.substr(0, 4)), "09 2B 13 38");
        EXPECT_EQ(d[4], request[4]) << "command";
        EXPECT_EQ(d[5], request[5]) << "sequence";
        EXPECT_EQ((std::uint8_t(d[6]) << 8) | std::uint8_t(d[7]), int(d.size())) << "length";
        EXPECT_EQ(HexOf(d.substr(8, 2) + d.substr(11, 1) + d.substr(34, 2)), "00 00 00 01 00");
        const auto device = std::find_if(devices.begin(), devices.end(),
                                         [&](const SimDevice& s) { return HexOf(s.mac) == mac; });
        EXPECT_NE(device, devices.end()) << mac;
        if (device != devices.end()) {
            std::string zeroed = d;
            zeroed.replace(12, 16, 16, '\0');
            EXPECT_EQ(HexOf(d.substr(12, 16)), HexOf(Md5(zeroed + device->password))) << mac;
        }
        EXPECT_FALSE(byMac.count(mac)) << "two answers from " << mac;
        byMac[mac] = HexOf(d.substr(10, 1) + d.substr(36));
    }
    return byMac;
}

TEST(VrelSimulator, DiscoverAnswerIsTheGoldenDatagram) {
    VrelSimulator sim(
        {SimDevice{0x1234, "AB", Hex("02 00 00 00 00 01"), "10.0.0.1", "255.255.255.0", "pw"}});
    const SimResult r = sim.handle(Discover(7));
    ASSERT_EQ(r.answers.size(), 1u);
    const std::string head = "09 2B 13 38 01 07 00 45 00 00 10 00";
    const std::string tail = "02 00 00 00 00 01 01 00"
                             " EB 00 05 12 34  01 00 05 41 42  02 00 09 02 00 00 00 00 01"
                             " 03 00 07 0A 00 00 01  04 00 07 FF FF FF 00";
    const std::string digest = Md5(Hex(head) + std::string(16, '\0') + Hex(tail) + "pw");
    EXPECT_EQ(HexOf(r.answers[0].datagram), HexOf(Hex(head) + digest + Hex(tail)));
    EXPECT_EQ(r.answers[0].delayMs, 0);
}

TEST(VrelSimulator, AnswersDecodeInTheClient) {
    const auto devices = ThreeDevices();
    VrelSimulator sim(devices);
    const SimResult r = sim.handle(Discover(1));
    ASSERT_EQ(r.answers.size(), 3u);
    for (const auto& a : r.answers) {
        const auto* raw = reinterpret_cast<const std::uint8_t*>(a.datagram.data());
        const auto header = check_response(raw, a.datagram.size(), kVrelPort);
        ASSERT_TRUE(header.has_value());
        auto vars = KvVRELVarList::create_from_definitions(DiscoveryVariables());
        ASSERT_EQ(decode_payload(*vars, raw + 36, a.datagram.size() - 36),
                  int(a.datagram.size()) - 36);
        const auto& fields = *vars->at(0).responseVars;
        const auto& d = *std::find_if(devices.begin(), devices.end(), [&](const SimDevice& s) {
            return s.macText() == fields.at(2).value;
        });
        EXPECT_EQ(fields.at(0).value, std::to_string(d.productCode));
        EXPECT_EQ(fields.at(1).value, d.modelName);
        EXPECT_EQ(fields.at(3).value, d.ipAddress);
        EXPECT_EQ(fields.at(4).value, d.netmask);
    }
}

const VariableDef kGetMaskCodeModel[] = {
    {4, "Netmask", kIpAddress, kReadOnly, nullptr, nullptr, nullptr},
    {235, "Product Code", kUint16, kReadOnly, nullptr, nullptr, nullptr},
    {1, "Model Name", kDisplayStr, kReadOnly, nullptr, nullptr, nullptr},
    {0, nullptr, 0, 0, nullptr, nullptr, nullptr},
};
const VariableDef kGetCodeAndUnknown[] = {
    {235, "Product Code", kUint16, kReadOnly, nullptr, nullptr, nullptr},
    {9, "Unknown", kUint8, kReadOnly, nullptr, nullptr, nullptr},
    {0, nullptr, 0, 0, nullptr, nullptr, nullptr},
};

std::string WithCommand(std::string request, char command) {
    request[4] = command;
    return request;
}

struct CommandCase {
    const char* name;
    std::function<std::string()> request;
    std::map<std::string, std::string> answers; // MAC -> status byte and payload
};

TEST(VrelSimulator, AnswersEachCommand) {
    const auto s = [](const char* status, const char* payload = "") {
        return HexOf(Hex(std::string(status) + payload));
    };
    const std::string a = "02 00 00 00 00 01", b = "02 00 00 00 00 02", c = "02 00 00 00 00 AB";
    const CommandCase cases[] = {
        {"discover everyone",
         [] { return Discover(1); },
         {{a, s("10", kRecordA)}, {b, s("10", kRecordB)}, {c, s("10", kRecordC)}}},
        {"discover one MAC", [] { return Discover(2, kMacB); }, {{b, s("10", kRecordB)}}},
        {"discover a MAC nobody has", [] { return Discover(3, "0200000000FF"); }, {}},
        {"get answers in request order",
         [] { return Request(kGet, 4, kMacA, "", kGetMaskCodeModel); },
         {{a, s("10", "04 00 07 FF FF FF 00  EB 00 05 10 01  01 00 08 53 49 4D 2D 41")}}},
        {"get of the discovery record",
         [] { return Request(kGet, 5, kMacC, "", DiscoveryVariables()); },
         {{c, s("10", kRecordC)}}},
        {"get of an unknown id is not done",
         [] { return Request(kGet, 6, kMacB, "", kGetCodeAndUnknown); },
         {{b, s("12")}}},
        {"get to another MAC",
         [] { return Request(kGet, 7, "0200000000FF", "", SetVariables); },
         {}},
        {"get to every MAC", [] { return Request(kGet, 8, "FFFFFFFFFFFF", "", SetVariables); }, {}},
        {"unknown command to everyone",
         [] { return WithCommand(Discover(9), 7); },
         {{a, s("13")}, {b, s("13")}, {c, s("13")}}},
        {"unknown command to one MAC",
         [] { return WithCommand(Discover(10, kMacC), 0); },
         {{c, s("13")}}},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        VrelSimulator sim(ThreeDevices());
        const std::string request = tc.request();
        const SimResult r = sim.handle(request);
        EXPECT_EQ(Answers(request, r, ThreeDevices()), tc.answers);
        EXPECT_EQ(r.log.size(), 1u);
    }
}

TEST(VrelSimulator, IgnoresMalformedRequests) {
    const std::string good = Discover(1);
    const auto lengthField = [&](int value) {
        std::string d = good;
        d[6] = char(value >> 8);
        d[7] = char(value & 0xFF);
        return d;
    };
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"shorter than a header", good.substr(0, 35)},
        {"bad magic", Hex("09 2B 13 39") + good.substr(4)},
        {"length one more", lengthField(37)},
        {"length one less", lengthField(35)},
        {"trailing byte", good + '\0'},
    };
    for (const auto& [name, datagram] : cases) {
        SCOPED_TRACE(name);
        VrelSimulator sim(ThreeDevices());
        const SimResult r = sim.handle(datagram);
        EXPECT_TRUE(r.answers.empty());
        ASSERT_EQ(r.log.size(), 1u);
        EXPECT_THAT(r.log[0], ::testing::StartsWith("ignored"));
    }
}

struct SetCase {
    const char* name;
    std::string mac, password, ip, mask;
    const char* status;
    std::string ipAfter, maskAfter;
};

TEST(VrelSimulator, SetChecksTheDigestAndTheAddress) {
    const SetCase cases[] = {
        {"right password", kMacB, "secret", "192.168.1.20", "255.255.0.0", "10", "192.168.1.20",
         "255.255.0.0"},
        {"wrong password", kMacB, "Secret", "192.168.1.20", "255.255.0.0", "11", "10.0.0.2",
         "255.255.255.0"},
        {"empty password to a device with one", kMacB, "", "192.168.1.20", "255.255.0.0", "11",
         "10.0.0.2", "255.255.255.0"},
        {"password to a device without one", kMacA, "secret", "10.1.1.1", "255.0.0.0", "11",
         "10.0.0.1", "255.255.255.0"},
        {"empty password to a device without one", kMacA, "", "10.1.1.1", "255.0.0.0", "10",
         "10.1.1.1", "255.0.0.0"},
        {"limited broadcast address", kMacA, "", "255.255.255.255", "255.255.255.0", "12",
         "10.0.0.1", "255.255.255.0"},
        {"gappy netmask", kMacA, "", "10.0.0.9", "255.0.255.0", "12", "10.0.0.1", "255.255.255.0"},
        {"network address", kMacA, "", "10.0.0.0", "255.255.255.0", "12", "10.0.0.1",
         "255.255.255.0"},
        {"subnet broadcast address", kMacA, "", "10.0.0.255", "255.255.255.0", "12", "10.0.0.1",
         "255.255.255.0"},
        {"loopback address", kMacA, "", "127.0.0.5", "255.0.0.0", "12", "10.0.0.1",
         "255.255.255.0"},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        VrelSimulator sim(ThreeDevices());
        const std::string request = SetRequest(tc.mac, tc.password, tc.ip, tc.mask);
        const SimResult r = sim.handle(request);
        const auto answers = Answers(request, r, ThreeDevices());
        EXPECT_EQ(answers, (std::map<std::string, std::string>{
                               {HexOf(Hex(tc.mac)), HexOf(Hex(tc.status))}}));
        const auto& d = *std::find_if(sim.devices().begin(), sim.devices().end(),
                                      [&](const SimDevice& s) { return s.macText() == tc.mac; });
        EXPECT_EQ(d.ipAddress, tc.ipAfter);
        EXPECT_EQ(d.netmask, tc.maskAfter);
        const bool changed = std::string(tc.status) == "10";
        EXPECT_EQ(r.log.size(), changed ? 2u : 1u);
    }
}

const VariableDef kSetUnknownId[] = {
    {3, "IP Address", kIpAddress, kReadWrite, nullptr, nullptr, "10.0.0.7"},
    {9, "Unknown", kInt8, kWriteOnly, nullptr, nullptr, "1"},
    {0, nullptr, 0, 0, nullptr, nullptr, nullptr},
};
const VariableDef kSetAddressAsUint16[] = {
    {3, "IP Address", kUint16, kReadWrite, nullptr, nullptr, "7"},
    {0, nullptr, 0, 0, nullptr, nullptr, nullptr},
};
const VariableDef kSetAddressOnly[] = {
    {3, "IP Address", kIpAddress, kReadWrite, nullptr, nullptr, "10.0.0.7"},
    {0, nullptr, 0, 0, nullptr, nullptr, nullptr},
};
const VariableDef kSetNothing[] = {{0, nullptr, 0, 0, nullptr, nullptr, nullptr}};

// Rewrites the length field and the digest after a change, as a client with the right
// password would have sent the changed datagram.
std::string Redigest(std::string d, const std::string& password) {
    d[6] = char(d.size() >> 8);
    d[7] = char(d.size() & 0xFF);
    d.replace(12, 16, 16, '\0');
    d.replace(12, 16, Md5(d + password));
    return d;
}

TEST(VrelSimulator, SetRefusesMalformedPayloads) {
    const std::string good = SetRequest(kMacB, "secret", "10.0.0.7", "255.255.255.0");
    std::string tampered = good;
    tampered[36 + 6] = 8; // the address, after the digest was taken
    const struct {
        const char* name;
        std::string request;
        const char* status;
    } cases[] = {
        {"unknown variable", Request(kSet, 1, kMacB, "secret", kSetUnknownId), "12"},
        {"address item of the wrong size", Request(kSet, 1, kMacB, "secret", kSetAddressAsUint16),
         "12"},
        {"last item cut short", Redigest(good.substr(0, good.size() - 1), "secret"), "12"},
        {"item head cut short", Redigest(good + Hex("05 00"), "secret"), "12"},
        {"payload changed after digesting", tampered, "11"},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        VrelSimulator sim(ThreeDevices());
        const SimResult r = sim.handle(tc.request);
        EXPECT_EQ(Answers(tc.request, r, ThreeDevices()),
                  (std::map<std::string, std::string>{{HexOf(Hex(kMacB)), tc.status}}));
        EXPECT_EQ(sim.devices()[1].ipAddress, "10.0.0.2");
    }
}

TEST(VrelSimulator, SetTakesOnlyTheItemsItGets) {
    VrelSimulator sim(ThreeDevices());
    ASSERT_EQ(sim.handle(Request(kSet, 1, kMacB, "secret", kSetAddressOnly)).answers.size(), 1u);
    EXPECT_EQ(sim.devices()[1].ipAddress, "10.0.0.7");
    EXPECT_EQ(sim.devices()[1].netmask, "255.255.255.0");
    const SimResult r = sim.handle(Request(kSet, 2, kMacB, "secret", kSetNothing));
    ASSERT_EQ(r.answers.size(), 1u);
    EXPECT_EQ(HexOf(r.answers[0].datagram.substr(4, 7)), "03 02 00 24 00 00 10");
    EXPECT_EQ(sim.devices()[1].ipAddress, "10.0.0.7");
}

TEST(VrelSimulator, SilentDeviceNeverAnswers) {
    SimFaults faults;
    faults.silent = {Hex(kMacB)};
    VrelSimulator sim(ThreeDevices(), faults);
    const SimResult discover = sim.handle(Discover(1));
    EXPECT_EQ(Answers(Discover(1), discover, ThreeDevices()).count(HexOf(Hex(kMacB))), 0u);
    EXPECT_EQ(discover.answers.size(), 2u);
    EXPECT_TRUE(sim.handle(Request(kGet, 2, kMacB, "", DiscoveryVariables())).answers.empty());
    EXPECT_TRUE(sim.handle(SetRequest(kMacB, "secret", "10.9.9.9", "255.0.0.0")).answers.empty());
    EXPECT_EQ(sim.devices()[1].ipAddress, "10.0.0.2");
}

// A device that restarts its network after a Set answers "ok" first, then nothing until its
// restart is over; the other devices are not affected.
TEST(VrelSimulator, RestartingDeviceIsSilentForItsRestartAfterATakenSet) {
    SimFaults faults;
    faults.restartMs = 1000;
    VrelSimulator sim(ThreeDevices(), faults);
    EXPECT_EQ(sim.handle(SetRequest(kMacB, "secret", "10.9.9.9", "255.0.0.0"), 100).answers.size(),
              1u);
    EXPECT_TRUE(sim.handle(Request(kGet, 2, kMacB, "", DiscoveryVariables()), 1099).answers.empty());
    EXPECT_EQ(sim.handle(Discover(3), 1099).answers.size(), 2u);
    EXPECT_EQ(sim.handle(Request(kGet, 4, kMacB, "", DiscoveryVariables()), 1100).answers.size(),
              1u);
    // A refused Set is no restart.
    EXPECT_EQ(sim.handle(SetRequest(kMacB, "wrong", "10.9.9.8", "255.0.0.0"), 1200).answers.size(),
              1u);
    EXPECT_EQ(sim.handle(Discover(5), 1201).answers.size(), 3u);
}

// What a Set to the broadcast MAC does where firmware takes it: every device of the segment
// gets the one address. Without the option no device takes it.
TEST(VrelSimulator, BroadcastSetIsTakenByEveryDeviceOnlyWhereFirmwareDoes) {
    for (const bool takes : {false, true}) {
        SimFaults faults;
        faults.takeBroadcastSet = takes;
        VrelSimulator sim(generate_devices(3, ""), faults);
        const SimResult r = sim.handle(SetRequest("FFFFFFFFFFFF", "", "10.9.9.9", "255.0.0.0"));
        EXPECT_EQ(r.answers.size(), takes ? 3u : 0u);
        for (const SimDevice& d : sim.devices())
            EXPECT_EQ(d.ipAddress == "10.9.9.9", takes) << d.macText();
    }
}

// A lost answer to a Set leaves the device changed: what a client must find out by asking.
TEST(VrelSimulator, SetLossDropsOnlyTheAnswersToSet) {
    SimFaults faults;
    faults.setLossPercent = 100;
    VrelSimulator sim(ThreeDevices(), faults);
    EXPECT_TRUE(sim.handle(SetRequest(kMacB, "secret", "10.9.9.9", "255.0.0.0")).answers.empty());
    EXPECT_EQ(sim.devices()[1].ipAddress, "10.9.9.9");
    EXPECT_EQ(sim.handle(Request(kGet, 2, kMacB, "", DiscoveryVariables())).answers.size(), 1u);
    EXPECT_EQ(sim.handle(Discover(3)).answers.size(), 3u);
}

SimFaults Faults(double loss, double duplicate, double garbage, int delay = 0, int spread = 200) {
    SimFaults f;
    f.lossPercent = loss;
    f.duplicatePercent = duplicate;
    f.garbagePercent = garbage;
    f.delayMs = delay;
    f.spreadMs = spread;
    return f;
}

std::vector<SimAnswer> Discovers(std::uint32_t seed, const SimFaults& faults, int rounds = 3) {
    VrelSimulator sim(generate_devices(20, ""), faults, seed);
    std::vector<SimAnswer> all;
    for (int i = 0; i < rounds; ++i) {
        const auto r = sim.handle(Discover(std::uint8_t(i)));
        all.insert(all.end(), r.answers.begin(), r.answers.end());
    }
    return all;
}

TEST(VrelSimulator, FaultsRepeatWithTheSeed) {
    const SimFaults faults = Faults(20, 20, 20, 5, 100);
    EXPECT_EQ(Discovers(42, faults), Discovers(42, faults));
    EXPECT_NE(Discovers(42, faults), Discovers(43, faults));
    EXPECT_NE(Discovers(42, Faults(0, 0, 0)), Discovers(43, Faults(0, 0, 0)))
        << "order is not shuffled";
}

TEST(VrelSimulator, AnswersSpreadOverTheWindowInRandomOrder) {
    VrelSimulator sim(generate_devices(10, ""), Faults(0, 0, 0, 30, 200), 5);
    const SimResult r = sim.handle(Discover(1));
    ASSERT_EQ(r.answers.size(), 10u);
    std::vector<std::string> macs;
    for (std::size_t i = 0; i < r.answers.size(); ++i) {
        EXPECT_EQ(r.answers[i].delayMs, 30 + int(i) * 20) << "evenly spread, sorted, delayed";
        macs.push_back(r.answers[i].datagram.substr(28, 6));
    }
    EXPECT_FALSE(std::is_sorted(macs.begin(), macs.end()));
    std::sort(macs.begin(), macs.end());
    EXPECT_EQ(std::unique(macs.begin(), macs.end()), macs.end());
}

TEST(VrelSimulator, CertainFaultsHitEveryAnswer) {
    const auto n = Discovers(1, Faults(0, 0, 0), 1).size();
    ASSERT_EQ(n, 20u);
    EXPECT_TRUE(Discovers(1, Faults(100, 0, 0), 1).empty());

    const auto doubled = Discovers(1, Faults(0, 100, 0), 1);
    ASSERT_EQ(doubled.size(), 2 * n);
    std::map<std::string, int> copies;
    for (const auto& a : doubled)
        ++copies[a.datagram];
    for (const auto& [datagram, count] : copies)
        EXPECT_EQ(count, 2);

    // Every kind of garbage must get past the client's checks or fail them as intended.
    int badMagic = 0, badLength = 0, truncated = 0;
    for (const auto& a : Discovers(1, Faults(0, 0, 100), 5)) {
        const auto* raw = reinterpret_cast<const std::uint8_t*>(a.datagram.data());
        const std::size_t size = a.datagram.size();
        auto vars = KvVRELVarList::create_from_definitions(DiscoveryVariables());
        if (HexOf(a.datagram.substr(0, 4)) != "09 2B 13 38")
            ++badMagic;
        else if (!check_response(raw, size, kVrelPort))
            ++badLength;
        else if (decode_payload(*vars, raw + 36, size - 36) < 0)
            ++truncated;
        else
            ADD_FAILURE() << "garbage answer decodes: " << HexOf(a.datagram);
    }
    EXPECT_GT(badMagic, 0);
    EXPECT_GT(badLength, 0);
    EXPECT_GT(truncated, 0);
    EXPECT_EQ(badMagic + badLength + truncated, 100);
}

} // namespace
} // namespace vrel
