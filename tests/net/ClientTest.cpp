#include "CompletionRecorder.h"
#include "FakeDevice.h"
#include "NetworkSandbox.h"

#include "ErrorDisplay.h"
#include "EventWait.h"
#include "Exception.h"
#include "KvOptionList.h"
#include "KvVRELClient.h"
#include "ValueCodec.h"
#include "VrelTables.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace vrel::test {
namespace {

using Clock = std::chrono::steady_clock;

const Mac kDeviceMac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
const std::string kDeviceMacText = "001A2B3C4D5E";
const Mac kOtherMac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5F};
const Mac kAllMac = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// A Get target with one readable text variable.
const VariableDef kFirmwareDefs[] = {
    {7, "Firmware", kDisplayStr, kReadOnly, nullptr, nullptr, nullptr},
    {0, nullptr, 0, 0, nullptr, nullptr, nullptr},
};
const VariableDef kNoVariables[] = {{0, nullptr, 0, 0, nullptr, nullptr, nullptr}};

KvVRELVarList FromDefs(const VariableDef* defs) {
    return *KvVRELVarList::create_from_definitions(defs);
}

KvVRELVarList SetList() {
    KvVRELVarList list = FromDefs(SetVariables);
    list.at(0).value = "192.168.0.10";
    list.at(1).value = "255.255.255.0";
    list.at(2).value = "3";
    return list;
}

KvVRELVarList ListFor(std::uint8_t command) {
    switch (command) {
    case kDiscover:
        return FromDefs(DiscoveryVariables());
    case kSet:
        return SetList();
    default:
        return FromDefs(kFirmwareDefs);
    }
}

std::string FirmwarePayload(const std::string& version) {
    std::string out;
    encode_item(7, kDisplayStr, version, out);
    return out;
}

// What a healthy device answers to each command.
std::string OkPayloadFor(std::uint8_t command) {
    switch (command) {
    case kDiscover:
        return DiscoveryPayload("4660", "VR-100", kDeviceMacText, "192.168.0.11", "255.255.255.0");
    case kSet:
        return {};
    default:
        return FirmwarePayload("1.0");
    }
}

std::string ValidAnswer(const HeardRequest& r) {
    return AnswerTo(r, kDeviceMac, 0, OkPayloadFor(r.command())).Bytes();
}

std::string WithLengthField(std::string bytes, std::size_t length) {
    bytes[6] = static_cast<char>(length >> 8);
    bytes[7] = static_cast<char>(length & 0xFF);
    return bytes;
}

class ClientTest : public ::testing::Test {
protected:
    // Starts the fake device and a client; call right after VREL_REQUIRE_NETWORK_SANDBOX().
    void Open(const QHostAddress& deviceAddress = QHostAddress::AnyIPv4,
              const QHostAddress& destination = QHostAddress::Broadcast) {
        device = std::make_unique<FakeDevice>(deviceAddress);
        ASSERT_TRUE(device->IsBound());
        client = std::make_unique<KvVRELClient>(nullptr, destination);
    }

    void TearDown() override {
        // A request left over would make the destructor drain for 6 s.
        if (client) {
            EXPECT_EQ(client->PendingCount(), 0) << "a request outlived its test";
        }
        client.reset();
        device.reset();
    }

    bool Heard(std::size_t n, int ms = 500) {
        return WaitUntil([&] { return device->Requests().size() >= n; }, ms);
    }

    // Answers every request with the healthy answer of kDeviceMac.
    void AnswerEverything() {
        device->onRequest = [this](const HeardRequest& r) { device->Reply(r, ValidAnswer(r)); };
    }

    std::unique_ptr<FakeDevice> device;
    std::unique_ptr<KvVRELClient> client;
};

// --- Discover -----------------------------------------------------------------------------

struct DeviceFacts {
    Mac mac;
    std::string productCode, model, macText, ip, netmask;
};

TEST_F(ClientTest, DiscoverCallsBackOncePerDeviceThenTimesOutOnce) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    const DeviceFacts devices[] = {
        {{0x00, 0x1A, 0x2B, 0, 0, 1},
         "4660",
         "VR-100",
         "001A2B000001",
         "192.168.0.11",
         "255.255.255.0"},
        {{0x00, 0x1A, 0x2B, 0, 0, 2},
         "1",
         "VR-200 Gateway",
         "001A2B000002",
         "10.0.0.2",
         "255.0.0.0"},
        {{0x00, 0x1A, 0x2B, 0, 0, 3}, "65535", "X", "001A2B000003", "172.16.5.3", "255.255.0.0"},
    };
    device->onRequest = [&](const HeardRequest& r) {
        for (const auto& d : devices)
            device->Reply(
                r, AnswerTo(r, d.mac, 0,
                            DiscoveryPayload(d.productCode, d.model, d.macText, d.ip, d.netmask))
                       .Bytes());
    };
    CompletionRecorder rec(client.get());
    const KvVRELVarList callerList = FromDefs(DiscoveryVariables());
    client->Send("FFFFFFFFFFFF", "", callerList, kDiscover, rec.Callback(), 30);

    ASSERT_TRUE(WaitUntil([&] { return rec.Count() >= 4; }, 1000));
    Pump(60);
    ASSERT_EQ(rec.Codes(), (std::vector<int>{0, 0, 0, -1014}));
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE("device " + std::to_string(i));
        const KvVRELVarList& vars = rec.calls[i].vars;
        ASSERT_EQ(vars.count(), 1);
        ASSERT_TRUE(vars.at(0).responseVars);
        const KvVRELResponseVarList& fields = *vars.at(0).responseVars;
        ASSERT_EQ(fields.count(), 5);
        EXPECT_EQ(fields.at(0).value, devices[i].productCode);
        EXPECT_EQ(fields.at(1).value, devices[i].model);
        EXPECT_EQ(fields.at(2).value, devices[i].macText);
        EXPECT_EQ(fields.at(3).value, devices[i].ip);
        EXPECT_EQ(fields.at(4).value, devices[i].netmask);
        EXPECT_EQ(rec.calls[i].pendingAtCall, 1) << "a Discover stays pending after an answer";
    }
    EXPECT_EQ(rec.calls[3].pendingAtCall, 0) << "a timed-out request leaves before its callback";
    EXPECT_EQ(client->PendingCount(), 0);
    // Answers go into the client's copy; the caller's list is untouched.
    EXPECT_EQ(callerList.at(0).responseVars->at(1).value, "");
}

// The MAC of the i-th of many devices answering one Discover.
std::string BurstMacText(int i) {
    char text[13];
    std::snprintf(text, sizeof text, "001A2B%06X", i);
    return text;
}

std::string BurstAnswer(const HeardRequest& r, int i) {
    const Mac mac = {0x00, 0x1A, 0x2B, 0, static_cast<std::uint8_t>(i >> 8),
                     static_cast<std::uint8_t>(i)};
    return AnswerTo(r, mac, 0,
                    DiscoveryPayload("4660", "VR-100", BurstMacText(i), "10.0.0.1", "255.0.0.0"))
        .Bytes();
}

// A queue a few answers long forces the client to leave most of a burst in the kernel, take it
// in many small drains, and reuse the queue's area between them: every answer must still come
// through whole, in order, with the interface it arrived on.
TEST_F(ClientTest, ABurstFarLargerThanTheReceiveQueueArrivesWholeInOrder) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    client->SetReceiveQueueLimit(1024);
    constexpr std::size_t kAnswers = 300;
    device->onRequest = [&](const HeardRequest& r) {
        for (int i = 0; i < static_cast<int>(kAnswers); ++i)
            device->Reply(r, BurstAnswer(r, i));
    };
    // The first answer's callback runs an event loop while the queue is full (a message box
    // would); every tenth is slow, so the socket is read again between two answers of the
    // queue, not only once the queue is empty.
    CompletionRecorder rec(client.get());
    auto slowSometimes = [&rec](const KvVRELError&) {
        if (rec.Count() == 1)
            QCoreApplication::processEvents();
        if (rec.Count() % 10 != 0)
            return;
        const std::int64_t start = KvVRELClient::TickCount();
        while (KvVRELClient::TickCount() - start <= 2) {
        }
    };
    // The second Discover finds the socket still watched after the first one's burst.
    for (std::size_t round = 1; round <= 2; ++round) {
        const int sequence = client->Send("FFFFFFFFFFFF", "", FromDefs(DiscoveryVariables()),
                                          kDiscover, rec.Callback(slowSometimes), 300);
        ASSERT_TRUE(WaitUntil([&] { return rec.Count() >= round * kAnswers; }, 5000))
            << rec.Count();
        client->Abandon(static_cast<std::uint8_t>(sequence));
    }
    for (std::size_t n = 0; n < rec.Count(); ++n) {
        const int i = static_cast<int>(n % kAnswers);
        SCOPED_TRACE("answer " + std::to_string(n));
        const CompletionRecorder::Call& call = rec.calls[n];
        EXPECT_EQ(call.record.code, 0);
        EXPECT_EQ(call.vars.at(0).responseVars->at(2).value, BurstMacText(i));
        EXPECT_GT(call.record.interfaceIndex, 0);
        EXPECT_EQ(call.record.interfaceName, "lo");
    }
}

// The owning thread busy far longer than a small kernel buffer lasts (a long repaint, a
// dialog being built): the receive thread keeps emptying the socket, so nothing is dropped.
TEST_F(ClientTest, ABurstWhileTheOwningThreadIsBlockedArrivesWhole) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    // Room for some 150 answers at the kernel's charge of about 800 bytes each.
    client->RequestReceiveBuffer(64 * 1024);
    constexpr int kAnswers = 600;
    const std::uint64_t dropsBefore = client->DroppedDatagrams();
    // The device's handler runs on the owning thread: no event is handled for some 300 ms
    // while the whole burst arrives, several kernel buffers' worth of it.
    device->onRequest = [&](const HeardRequest& r) {
        for (int i = 0; i < kAnswers; ++i) {
            device->Reply(r, BurstAnswer(r, i));
            if (i % 20 == 19)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    };
    CompletionRecorder rec(client.get());
    const int sequence = client->Send("FFFFFFFFFFFF", "", FromDefs(DiscoveryVariables()),
                                      kDiscover, rec.Callback(), 300);
    EXPECT_TRUE(WaitUntil([&] { return rec.Count() >= kAnswers; }, 5000)) << rec.Count();
    client->Abandon(static_cast<std::uint8_t>(sequence));
    EXPECT_EQ(client->DroppedDatagrams(), dropsBefore);
    for (std::size_t n = 0; n < rec.Count(); ++n)
        ASSERT_EQ(rec.calls[n].vars.at(0).responseVars->at(2).value, BurstMacText(int(n))) << n;
}

// Destroyed while datagrams wait that the owning thread never took, once with the receive
// thread idle and once with it waiting for room in a full queue: it ends before the socket
// and the client go (a sanitizer build reports a thread touching either afterwards).
TEST_F(ClientTest, DestructionStopsTheReceiveThreadWithDatagramsQueued) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    constexpr int kAnswers = 200;
    struct Case {
        std::size_t queueLimit;
        bool full; // the thread has stopped reading, the rest wait in the kernel
    };
    for (const Case c : {Case{KvVRELClient::kInboxLimitBytes, false}, Case{1, true}}) {
        SCOPED_TRACE(c.full ? "queue full" : "queue with room");
        ASSERT_NO_FATAL_FAILURE(Open());
        client->SetReceiveQueueLimit(c.queueLimit);
        std::size_t queued = 0;
        bool destroyed = false;
        // Still on the owning thread, which handles no event from here to the destruction.
        device->onRequest = [&](const HeardRequest& r) {
            for (int i = 0; i < kAnswers; ++i)
                device->Reply(r, BurstAnswer(r, i));
            const auto until = Clock::now() + std::chrono::seconds(2);
            while (Clock::now() < until && client->QueuedDatagrams() < (c.full ? 1 : kAnswers))
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            queued = client->QueuedDatagrams();
            client->Abandon(0);
            client.reset();
            destroyed = true;
        };
        CompletionRecorder rec;
        ASSERT_EQ(client->Send("FFFFFFFFFFFF", "", FromDefs(DiscoveryVariables()), kDiscover,
                               rec.Callback(), 300),
                  0);
        ASSERT_TRUE(WaitUntil([&] { return destroyed; }, 5000));
        EXPECT_EQ(rec.Count(), 0u);
        if (c.full) {
            EXPECT_GE(queued, 1u);
            EXPECT_LT(queued, static_cast<std::size_t>(kAnswers)) << "the queue ignored its limit";
        } else {
            EXPECT_EQ(queued, static_cast<std::size_t>(kAnswers));
        }
        device.reset();
    }
}

// --- Time-outs ----------------------------------------------------------------------------

// Never before its deadline, once, and requests sent together expire in deadline order.
TEST_F(ClientTest, UnansweredGetsTimeOutOnceAfterTheirDeadlinesInDeadlineOrder) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    CompletionRecorder rec(client.get());
    const auto sent = Clock::now();
    const int later =
        client->Send(kDeviceMacText, "", FromDefs(kFirmwareDefs), kGet, rec.Callback(), 25);
    const int earlier =
        client->Send(kDeviceMacText, "", FromDefs(kFirmwareDefs), kGet, rec.Callback(), 10);
    ASSERT_TRUE(WaitUntil([&] { return rec.Count() >= 2; }, 2000));
    Pump(60);
    ASSERT_EQ(rec.Codes(), (std::vector<int>{-1014, -1014}));
    EXPECT_EQ(rec.calls[0].record.message, "(KvVREL) Timeout!");
    EXPECT_EQ(rec.calls[0].record.sequence, earlier);
    EXPECT_EQ(rec.calls[1].record.sequence, later);
    EXPECT_GE(MsBetween(sent, rec.calls[0].at), 100 - 0.5);
    EXPECT_GE(MsBetween(sent, rec.calls[1].at), 250 - 0.5);
}

TEST_F(ClientTest, TwoOverdueRequestsExpireOnSuccessiveTicksOldestFirst) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    CompletionRecorder rec(client.get());
    // The older request has the later deadline: the sweep goes by age, not by deadline.
    const int older =
        client->Send(kDeviceMacText, "", FromDefs(kFirmwareDefs), kGet, rec.Callback(), 2);
    const int newer =
        client->Send(kDeviceMacText, "", FromDefs(kFirmwareDefs), kGet, rec.Callback(), 1);
    // Both are overdue before the next tick runs.
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    ASSERT_TRUE(WaitUntil([&] { return rec.Count() >= 2; }, 500));
    Pump(40);
    ASSERT_EQ(rec.Codes(), (std::vector<int>{-1014, -1014}));
    EXPECT_EQ(rec.calls[0].record.sequence, older);
    EXPECT_EQ(rec.calls[1].record.sequence, newer);
    EXPECT_EQ(rec.calls[0].pendingAtCall, 1) << "the newer one left before its own turn";
    EXPECT_EQ(rec.calls[1].pendingAtCall, 0);
}

// Ticks come only when a deadline can be due: a tick that finds its request gone (abandoned
// here) must still lead to the next deadline's.
TEST_F(ClientTest, LaterDeadlineExpiresAfterTheEarlierRequestWasAbandoned) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    CompletionRecorder rec(client.get());
    const auto sent = Clock::now();
    const int later =
        client->Send(kDeviceMacText, "", FromDefs(kFirmwareDefs), kGet, rec.Callback(), 30);
    const int earlier =
        client->Send(kDeviceMacText, "", FromDefs(kFirmwareDefs), kGet, rec.Callback(), 3);
    client->Abandon(static_cast<std::uint8_t>(earlier));
    ASSERT_TRUE(WaitUntil([&] { return rec.Count() >= 1; }, 1000));
    ASSERT_EQ(rec.Codes(), std::vector<int>{-1014});
    EXPECT_EQ(rec.calls[0].record.sequence, later);
    EXPECT_GE(MsBetween(sent, rec.calls[0].at), 300 - 0.5) << "expired before its deadline";
}

// --- Datagrams the client must not take ---------------------------------------------------

// Debug messages of the client's logging category while it lives.
class LogCapture {
public:
    LogCapture() {
        lines().clear();
        QLoggingCategory::setFilterRules("vrel.client.debug=true");
        previous_ = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext& context, const QString& text) {
                if (std::string(context.category) == "vrel.client")
                    lines().push_back(text.toStdString());
            });
    }
    ~LogCapture() {
        qInstallMessageHandler(previous_);
        QLoggingCategory::setFilterRules("");
    }
    bool Contains(const std::string& part) const {
        for (const std::string& line : lines()) {
            if (line.find(part) != std::string::npos)
                return true;
        }
        return false;
    }
    std::string Text() const {
        std::string text;
        for (const std::string& line : lines())
            text += line + "\n";
        return text;
    }

private:
    static std::vector<std::string>& lines() {
        static std::vector<std::string> captured;
        return captured;
    }
    QtMessageHandler previous_;
};

struct IgnoredCase {
    const char* name;
    std::uint8_t command;
    std::string (*craft)(const HeardRequest&);
    bool fromOtherPort;
    std::vector<int> codes; // what the request's callback sees in the end
    const char* logged = nullptr; // why the client says it dropped the datagram
};

// Names the case in failure output instead of dumping its bytes.
void PrintTo(const IgnoredCase& c, std::ostream* os) {
    *os << c.name;
}

class IgnoredDatagramTest : public ClientTest, public ::testing::WithParamInterface<IgnoredCase> {};

TEST_P(IgnoredDatagramTest, LeavesTheRequestToItsTimeout) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    const IgnoredCase& c = GetParam();
    bool replied = false;
    device->onRequest = [&](const HeardRequest& r) {
        replied = device->Reply(r, c.craft(r), c.fromOtherPort);
    };
    LogCapture log;
    CompletionRecorder rec(client.get());
    client->Send(kDeviceMacText, "", ListFor(c.command), c.command, rec.Callback(), 20);
    ASSERT_TRUE(WaitUntil([&] { return rec.Count() >= c.codes.size(); }, 800));
    Pump(60);
    EXPECT_TRUE(replied);
    EXPECT_EQ(rec.Codes(), c.codes);
    EXPECT_EQ(log.Contains("dropped"), c.logged != nullptr) << log.Text();
    if (c.logged != nullptr) {
        EXPECT_TRUE(log.Contains(c.logged)) << log.Text();
    }
}

const IgnoredCase kIgnoredCases[] = {
    // The same path with a sound answer, so that a silent harness cannot pass the rest.
    {"ValidGetAnswerIsTaken", kGet, ValidAnswer, false, {0}},
    {"ValidSetAnswerIsTaken", kSet, ValidAnswer, false, {0}},
    {"GetAnswerFromAnotherMac",
     kGet,
     [](const HeardRequest& r) { return AnswerTo(r, kOtherMac, 0, FirmwarePayload("1")).Bytes(); },
     false,
     {-1014}, "another MAC"},
    {"SetAnswerFromAnotherMac",
     kSet,
     [](const HeardRequest& r) { return AnswerTo(r, kOtherMac).Bytes(); },
     false,
     {-1014}, "another MAC"},
    {"DiscoverTakesAnyMac",
     kDiscover,
     [](const HeardRequest& r) {
         return AnswerTo(r, kOtherMac, 0, OkPayloadFor(kDiscover)).Bytes();
     },
     false,
     {0, -1014}},
    {"SetAnswerFromAnotherSourcePort", kSet, ValidAnswer, true, {-1014}, "not from the device port"},
    {"DiscoverAnswerFromAnotherSourcePort", kDiscover, ValidAnswer, true, {-1014}, "not from the device port"},
    {"ShorterThanTheHeader",
     kSet,
     [](const HeardRequest& r) { return WithLengthField(ValidAnswer(r).substr(0, 35), 35); },
     false,
     {-1014}, "shorter than a header"},
    {"WrongMagic",
     kSet,
     [](const HeardRequest& r) {
         std::string b = ValidAnswer(r);
         b[3] = '\x39';
         return b;
     },
     false,
     {-1014}, "wrong magic"},
    {"LengthFieldOneLessThanSize",
     kGet,
     [](const HeardRequest& r) {
         const std::string b = ValidAnswer(r);
         return WithLengthField(b, b.size() - 1);
     },
     false,
     {-1014}, "length field differs"},
    {"LengthFieldOneMoreThanSize",
     kGet,
     [](const HeardRequest& r) {
         const std::string b = ValidAnswer(r);
         return WithLengthField(b, b.size() + 1);
     },
     false,
     {-1014}, "length field differs"},
    {"UnknownSequence",
     kSet,
     [](const HeardRequest& r) {
         Answer a = AnswerTo(r, kDeviceMac);
         ++a.sequence;
         return a.Bytes();
     },
     false,
     {-1014}, "no request is waiting"},
};

INSTANTIATE_TEST_SUITE_P(Client, IgnoredDatagramTest, ::testing::ValuesIn(kIgnoredCases),
                         [](const ::testing::TestParamInfo<IgnoredCase>& i) {
                             return std::string(i.param.name);
                         });

TEST_F(ClientTest, AnswersAreMatchedBySequenceNumber) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    CompletionRecorder first(client.get()), second(client.get());
    client->Send(kDeviceMacText, "", FromDefs(kFirmwareDefs), kGet, first.Callback(), 20);
    client->Send(kDeviceMacText, "", FromDefs(kFirmwareDefs), kGet, second.Callback(), 20);
    ASSERT_TRUE(Heard(2));
    // The later request is answered first, with a value of its own.
    const auto requests = device->Requests();
    device->Reply(requests[1], AnswerTo(requests[1], kDeviceMac, 0, FirmwarePayload("B")).Bytes());
    ASSERT_TRUE(WaitUntil([&] { return second.Count() >= 1; }, 500));
    EXPECT_EQ(first.Count(), 0u);
    device->Reply(requests[0], AnswerTo(requests[0], kDeviceMac, 0, FirmwarePayload("A")).Bytes());
    ASSERT_TRUE(WaitUntil([&] { return first.Count() >= 1; }, 500));
    Pump(40);
    ASSERT_EQ(first.Codes(), std::vector<int>{0});
    ASSERT_EQ(second.Codes(), std::vector<int>{0});
    EXPECT_EQ(first.calls[0].vars.at(0).value, "A");
    EXPECT_EQ(second.calls[0].vars.at(0).value, "B");
}

// --- Status of an answer ------------------------------------------------------------------

struct StatusCase {
    const char* name;
    std::uint8_t command;
    std::uint8_t statusByte;
    std::string (*payload)();
    int code;
};

// Names the case in failure output instead of dumping its bytes.
void PrintTo(const StatusCase& c, std::ostream* os) {
    *os << c.name;
}

std::string NoPayload() {
    return {};
}

class AnswerStatusTest : public ClientTest, public ::testing::WithParamInterface<StatusCase> {};

// The device answers once, and once more with the very same datagram after the first callback.
// A Get or Set is finished by the first; a Discover takes both and still times out at the end.
TEST_P(AnswerStatusTest, GivesItsCodeAndFinishesAllButDiscover) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    const StatusCase& c = GetParam();
    std::string answer;
    device->onRequest = [&](const HeardRequest& r) {
        Answer a = AnswerTo(r, kDeviceMac, 0, c.payload());
        a.statusByte = c.statusByte;
        answer = a.Bytes();
        device->Reply(r, answer);
    };
    CompletionRecorder rec(client.get());
    client->Send(kDeviceMacText, "pw", ListFor(c.command), c.command, rec.Callback(), 20);
    ASSERT_TRUE(WaitUntil([&] { return rec.Count() >= 1; }, 500));
    ASSERT_TRUE(device->Reply(device->Requests().at(0), answer));

    const bool discover = c.command == kDiscover;
    const std::vector<int> expected =
        discover ? std::vector<int>{c.code, c.code, -1014} : std::vector<int>{c.code};
    ASSERT_TRUE(WaitUntil([&] { return rec.Count() >= expected.size(); }, 800));
    Pump(discover ? 60 : 260); // past the deadline: a finished Get or Set never times out
    ASSERT_EQ(rec.Codes(), expected);
    EXPECT_EQ(rec.calls[0].pendingAtCall, discover ? 1 : 0);
    EXPECT_EQ(client->PendingCount(), 0);
}

const StatusCase kStatusCases[] = {
    {"PasswordErrorToSet", kSet, 0x11, NoPayload, -1011},
    {"PasswordErrorToGet", kGet, 0x11, NoPayload, -1011},
    {"NotDoneToDiscover", kDiscover, 0x12, NoPayload, -1012},
    {"NotDoneToSet", kSet, 0x12, NoPayload, -1012},
    {"BadCommandToGet", kGet, 0x13, NoPayload, -1006},
    {"BadCommandUpperBitsClear", kSet, 0x03, NoPayload, -1006},
    {"UnknownStatus15ToSet", kSet, 0x1F, NoPayload, -1015},
    {"UnknownStatus4ToDiscover", kDiscover, 0x14, NoPayload, -1015},
    {"OkSetPayloadIsNotDecoded", kSet, 0x10, [] { return std::string("\xEE\x00\x03", 3); }, 0},
    {"DiscoverWithWrongFirstId", kDiscover, 0x10,
     [] {
         std::string out;
         encode_item(236, kUint16, "1", out);
         return out + OkPayloadFor(kDiscover).substr(5);
     },
     -1005},
};

INSTANTIATE_TEST_SUITE_P(Client, AnswerStatusTest, ::testing::ValuesIn(kStatusCases),
                         [](const ::testing::TestParamInfo<StatusCase>& i) {
                             return std::string(i.param.name);
                         });

// --- Sequence numbers and send failures ---------------------------------------------------

TEST_F(ClientTest, SequenceStartsAtZeroAndWrapsAfter256Sends) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    AnswerEverything();
    CompletionRecorder rec(client.get());
    for (int i = 0; i < 257; ++i) {
        const int seq =
            client->Send(kDeviceMacText, "", FromDefs(kNoVariables), kGet, rec.Callback(), 30);
        ASSERT_EQ(seq, i % 256) << "send " << i;
        // One at a time, so that no socket buffer overflows on the way.
        ASSERT_TRUE(WaitUntil([&] { return rec.Count() >= static_cast<std::size_t>(i + 1); }, 500));
        ASSERT_EQ(rec.calls.back().record.code, 0);
        ASSERT_EQ(rec.calls.back().record.sequence, seq);
        ASSERT_EQ(device->Requests().back().sequence(), seq);
    }
}

struct FailedSendCase {
    const char* name;
    const char* mac;
    std::uint8_t command;
    const char* ip; // value of the Set list's IP address
    int helpContext;
    const char* message;
};

// Names the case in failure output instead of dumping its bytes.
void PrintTo(const FailedSendCase& c, std::ostream* os) {
    *os << c.name;
}

class FailedSendTest : public ClientTest, public ::testing::WithParamInterface<FailedSendCase> {};

TEST_P(FailedSendTest, ThrowsSendsNothingAndUsesNoSequenceNumber) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    AnswerEverything();
    const FailedSendCase& c = GetParam();
    CompletionRecorder rec(client.get());
    ASSERT_EQ(client->Send(kDeviceMacText, "", SetList(), kSet, rec.Callback(), 20), 0);
    ASSERT_TRUE(WaitUntil([&] { return rec.Count() >= 1; }, 500));

    KvVRELVarList list = SetList();
    list.at(0).value = c.ip;
    try {
        client->Send(c.mac, "", list, c.command, rec.Callback(), 20);
        FAIL() << "the send did not throw";
    } catch (const Exception& e) {
        EXPECT_EQ(e.HelpContext(), c.helpContext);
        EXPECT_EQ(e.Message(), c.message);
    }
    EXPECT_EQ(client->PendingCount(), 0);
    Pump(50);
    EXPECT_EQ(device->Requests().size(), 1u) << "a refused request reached the network";

    EXPECT_EQ(client->Send(kDeviceMacText, "", SetList(), kSet, rec.Callback(), 20), 1);
    ASSERT_TRUE(WaitUntil([&] { return rec.Count() >= 2; }, 500));
    EXPECT_EQ(rec.Codes(), (std::vector<int>{0, 0}));
}

const FailedSendCase kFailedSendCases[] = {
    {"TenHexDigitMac", "0011223344", kSet, "10.0.0.1", -1010, "(KvVREL) Bad MAC address!"},
    {"DashedMac", "00-11-22-33-44-55", kSet, "10.0.0.1", -1010, "(KvVREL) Bad MAC address!"},
    {"UnknownCommand", "001A2B3C4D5E", 2, "10.0.0.1", -1006, "(KvVREL) Bad command type!"},
    {"UnreadableSetValue", "001A2B3C4D5E", kSet, "300.1.1.1", 0,
     "'300.1.1.1' is not a valid IP address"},
};

INSTANTIATE_TEST_SUITE_P(Client, FailedSendTest, ::testing::ValuesIn(kFailedSendCases),
                         [](const ::testing::TestParamInfo<FailedSendCase>& i) {
                             return std::string(i.param.name);
                         });

// A target text that gives six bytes addresses that MAC; the record names the request's target
// in the canonical form whatever the answering device wrote.
TEST_F(ClientTest, AcceptedMacTextsAddressTheirBytes) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    struct Row {
        const char* text;
        Mac wire;
        const char* record;
    };
    const Row rows[] = {
        {"FFFFFFFFFFFF", kAllMac, "FFFFFFFFFFFF"},
        {"00 11 22 33 44 55", {0x00, 0x11, 0x22, 0x33, 0x44, 0x55}, "001122334455"},
        {"001a2b3c4d5e", kDeviceMac, "001A2B3C4D5E"},
    };
    // A device answers with the MAC the request was addressed to.
    device->onRequest = [&](const HeardRequest& r) {
        device->Reply(r, AnswerTo(r, r.mac()).Bytes());
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        CompletionRecorder rec(client.get());
        const std::size_t before = device->Requests().size();
        client->Send(row.text, "", SetList(), kSet, rec.Callback(), 20);
        ASSERT_TRUE(WaitUntil([&] { return rec.Count() >= 1; }, 500));
        ASSERT_EQ(device->Requests().size(), before + 1);
        EXPECT_EQ(device->Requests().back().mac(), row.wire);
        EXPECT_EQ(rec.calls[0].record.code, 0);
        EXPECT_EQ(rec.calls[0].record.macText, row.record);
    }
}

// --- The completion record ----------------------------------------------------------------

TEST_F(ClientTest, CompletionRecordDescribesTheRequestNotTheAnsweringDevice) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    device->onRequest = [&](const HeardRequest& r) {
        if (r.command() == kDiscover)
            device->Reply(r, ValidAnswer(r));
        else if (r.command() == kSet)
            device->Reply(r, AnswerTo(r, kDeviceMac, 1).Bytes());
    };
    CompletionRecorder warmUp(client.get()), discover(client.get()), set(client.get());
    // Move the sequence off 0 so that a record left at its default cannot pass.
    client->Send(kDeviceMacText, "", FromDefs(kFirmwareDefs), kGet, warmUp.Callback(), 1);
    const int discoverSeq = client->Send("FFFFFFFFFFFF", "pw1", FromDefs(DiscoveryVariables()),
                                         kDiscover, discover.Callback(), 15);
    const int setSeq =
        client->Send("00 1a 2b 3c 4d 5e", "secret", SetList(), kSet, set.Callback(), 15);
    ASSERT_TRUE(WaitUntil(
        [&] { return warmUp.Count() >= 1 && discover.Count() >= 2 && set.Count() >= 1; }, 1000));
    Pump(40);
    ASSERT_EQ(discover.Codes(), (std::vector<int>{0, -1014}));
    ASSERT_EQ(set.Codes(), std::vector<int>{-1011});

    struct Row {
        const char* what;
        const KvVRELError& record;
        const char* message;
        int sequence;
        std::uint8_t command;
        const char* macText;
        const char* password;
    };
    const Row rows[] = {
        {"discover answer", discover.calls[0].record, "(KvVREL) Ok!", discoverSeq, kDiscover,
         "FFFFFFFFFFFF", "pw1"},
        {"discover time-out", discover.calls[1].record, "(KvVREL) Timeout!", discoverSeq, kDiscover,
         "FFFFFFFFFFFF", "pw1"},
        {"set answer", set.calls[0].record, "(KvVREL) Password Error!", setSeq, kSet,
         "001A2B3C4D5E", "secret"},
    };
    EXPECT_EQ(discoverSeq, 1);
    EXPECT_EQ(setSeq, 2);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(row.record.message, row.message);
        EXPECT_EQ(row.record.sequence, row.sequence);
        EXPECT_EQ(row.record.command, row.command);
        EXPECT_EQ(row.record.macText, row.macText);
        EXPECT_EQ(row.record.password, row.password);
    }
}

// --- Re-entrancy --------------------------------------------------------------------------

// A callback that shows a message box runs an event loop of its own; answers and ticks are then
// handled inside it.
TEST_F(ClientTest, NestedEventLoopInAnAnswerCallbackKeepsTheClientConsistent) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    bool insideAnswered = false;
    bool expiredInside = false;
    CompletionRecorder answered(client.get()), silent(client.get());
    const auto nested = answered.Callback([&](const KvVRELError&) {
        insideAnswered = true;
        Pump(150);
        insideAnswered = false;
    });
    const auto onSilent =
        silent.Callback([&](const KvVRELError&) { expiredInside = insideAnswered; });
    const int answeredSeq =
        client->Send(kDeviceMacText, "", FromDefs(kFirmwareDefs), kGet, nested, 30);
    client->Send(kDeviceMacText, "", FromDefs(kFirmwareDefs), kGet, onSilent, 10);
    // The answered request's answer comes twice; the other request is never answered.
    device->onRequest = [&](const HeardRequest& r) {
        if (r.sequence() == answeredSeq) {
            device->Reply(r, ValidAnswer(r));
            device->Reply(r, ValidAnswer(r));
        }
    };
    ASSERT_TRUE(WaitUntil(
        [&] { return answered.Count() >= 1 && silent.Count() >= 1 && !insideAnswered; }, 1000));
    Pump(350); // past the answered request's own deadline
    EXPECT_EQ(answered.Codes(), std::vector<int>{0});
    EXPECT_EQ(silent.Codes(), std::vector<int>{-1014});
    EXPECT_TRUE(expiredInside) << "the sweep did not run inside the nested loop";
    EXPECT_EQ(client->PendingCount(), 0);
}

TEST_F(ClientTest, NestedEventLoopInATimeoutCallbackExpiresEachRequestOnce) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    CompletionRecorder discover(client.get()), get(client.get());
    bool inside = false, expiredInside = false;
    const auto nested = discover.Callback([&](const KvVRELError&) {
        inside = true;
        Pump(150);
        inside = false;
    });
    client->Send("FFFFFFFFFFFF", "", FromDefs(DiscoveryVariables()), kDiscover, nested, 5);
    client->Send(kDeviceMacText, "", FromDefs(kFirmwareDefs), kGet,
                 get.Callback([&](const KvVRELError&) { expiredInside = inside; }), 10);
    ASSERT_TRUE(WaitUntil([&] { return discover.Count() >= 1 && get.Count() >= 1; }, 1000));
    Pump(100);
    EXPECT_EQ(discover.Codes(), std::vector<int>{-1014});
    EXPECT_EQ(get.Codes(), std::vector<int>{-1014});
    // Already pending, the Get's deadline falls inside the loop: the next tick was armed.
    EXPECT_TRUE(expiredInside) << "no tick ran inside the time-out's own loop";
    EXPECT_EQ(client->PendingCount(), 0);
}

// Answers already waiting when a callback opens its loop are handled inside that loop, not
// held back until it closes.
TEST_F(ClientTest, AnswersQueuedBeforeANestedLoopOpensAreHandledInsideIt) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    constexpr int kAnswers = 3;
    device->onRequest = [&](const HeardRequest& r) {
        for (int i = 0; i < kAnswers; ++i)
            device->Reply(r, BurstAnswer(r, i));
    };
    CompletionRecorder rec(client.get());
    bool inside = false;
    std::vector<bool> seenInside;
    const auto nested = rec.Callback([&](const KvVRELError&) {
        if (rec.Count() > 1) {
            seenInside.push_back(inside);
            return;
        }
        // The rest of the burst is queued before the loop opens.
        const auto until = Clock::now() + std::chrono::seconds(2);
        while (client->QueuedDatagrams() < kAnswers - 1 && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        inside = true;
        WaitUntil([&] { return rec.Count() >= kAnswers; }, 2000);
        inside = false;
    });
    const int sequence = client->Send("FFFFFFFFFFFF", "", FromDefs(DiscoveryVariables()),
                                      kDiscover, nested, 300);
    ASSERT_TRUE(WaitUntil([&] { return rec.Count() >= kAnswers && !inside; }, 5000));
    client->Abandon(static_cast<std::uint8_t>(sequence));
    EXPECT_EQ(seenInside, std::vector<bool>(kAnswers - 1, true));
    for (int i = 0; i < kAnswers; ++i)
        EXPECT_EQ(rec.calls[i].vars.at(0).responseVars->at(2).value, BurstMacText(i));
}

// A callback that shows a message box runs a modal loop while the client's own handlers are
// still on the stack: answers and time-outs of other requests must keep coming inside it.
struct InsideCase {
    const char* name;
    bool outerTimesOut; // the callback with the loop is a time-out, else an answer
};

void PrintTo(const InsideCase& c, std::ostream* os) {
    *os << c.name;
}

class InsideModalLoopTest : public ClientTest, public ::testing::WithParamInterface<InsideCase> {};

TEST_P(InsideModalLoopTest, OtherRequestsAreAnsweredAndExpireInTime) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    const bool outerTimesOut = GetParam().outerTimesOut;
    const int kOuter = 0, kAnswered = 1; // sequence numbers in send order; the third is silent
    device->onRequest = [&](const HeardRequest& r) {
        if ((r.sequence() == kOuter && !outerTimesOut) || r.sequence() == kAnswered)
            device->Reply(r, ValidAnswer(r));
    };
    CompletionRecorder outer(client.get()), answered(client.get()), silent(client.get());
    bool inside = false;
    Clock::time_point opened;
    std::vector<bool> seenInside;
    const auto modal = outer.Callback([&](const KvVRELError&) {
        opened = Clock::now();
        client->Send(kDeviceMacText, "", FromDefs(kFirmwareDefs), kGet, answered.Callback(
            [&](const KvVRELError&) { seenInside.push_back(inside); }), 100);
        client->Send(kDeviceMacText, "", FromDefs(kFirmwareDefs), kGet, silent.Callback(
            [&](const KvVRELError&) { seenInside.push_back(inside); }), 10);
        inside = true;
        ProcessEventsFor(400);
        inside = false;
    });
    ASSERT_EQ(client->Send(kDeviceMacText, "", FromDefs(kFirmwareDefs), kGet, modal, 5), kOuter);
    ASSERT_TRUE(WaitUntil([&] { return outer.Count() >= 1 && !inside; }, 1500));
    ASSERT_EQ(outer.Codes(), std::vector<int>{outerTimesOut ? -1014 : 0});
    ASSERT_EQ(answered.Codes(), std::vector<int>{0});
    ASSERT_EQ(silent.Codes(), std::vector<int>{-1014});
    EXPECT_EQ(seenInside, (std::vector<bool>{true, true}));
    EXPECT_GE(MsBetween(opened, silent.calls[0].at), 100.0 - 1) << "expired before its deadline";
    EXPECT_EQ(client->PendingCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Client, InsideModalLoopTest,
                         ::testing::Values(InsideCase{"AnswerCallback", false},
                                           InsideCase{"TimeoutCallback", true}),
                         [](const ::testing::TestParamInfo<InsideCase>& i) {
                             return std::string(i.param.name);
                         });

// --- Answers the variable list cannot take ------------------------------------------------

const OptionDef kLevelNames[] = {{10, nullptr, "low"}, {0, nullptr, nullptr}};
const KvOptionList kLevels(kLevelNames, OptionKind::Number, false);
// A number shown by name: a device that sends a text instead cannot be decoded.
const VariableDef kLevelDefs[] = {
    {7, "Level", kDisplayStr, kReadOnly, &kLevels, nullptr, nullptr},
    {0, nullptr, 0, 0, nullptr, nullptr, nullptr},
};

TEST_F(ClientTest, AnUndecodableAnswerCompletesWithItsFailureOnce) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    device->onRequest = [&](const HeardRequest& r) {
        device->Reply(r, AnswerTo(r, kDeviceMac, 0, FirmwarePayload("abc")).Bytes());
    };
    std::vector<std::string> shown;
    const ErrorDisplayFunction previous =
        SetErrorDisplay([&](const std::string& message) { shown.push_back(message); });
    const std::pair<std::uint8_t, std::vector<int>> cases[] = {
        {kGet, {-1013}},
        {kDiscover, {-1013, -1014}}, // a Discover keeps waiting for further devices
    };
    for (const auto& [command, codes] : cases) {
        SCOPED_TRACE(command);
        CompletionRecorder rec(client.get());
        client->Send(kDeviceMacText, "", FromDefs(kLevelDefs), command, rec.Callback(), 10);
        ASSERT_TRUE(WaitUntil([&] { return rec.Count() >= codes.size(); }, 800));
        Pump(60);
        EXPECT_EQ(rec.Codes(), codes);
        EXPECT_EQ(rec.calls[0].record.message, "(KvVREL) Bad packet!");
        EXPECT_EQ(client->PendingCount(), 0);
    }
    SetErrorDisplay(previous);
    EXPECT_EQ(shown, std::vector<std::string>{});
}

// --- Failures raised in callbacks ---------------------------------------------------------

struct ThrowingCase {
    const char* name;
    std::uint8_t command;
    int devicesAnswering;
    bool throwVrel; // a vrel::Exception, else something that is no std::exception
    std::vector<int> codes;
};

// Names the case in failure output instead of dumping its bytes.
void PrintTo(const ThrowingCase& c, std::ostream* os) {
    *os << c.name;
}

class ThrowingCallbackTest : public ClientTest,
                             public ::testing::WithParamInterface<ThrowingCase> {};

TEST_P(ThrowingCallbackTest, ReachesTheErrorDisplayAndLeavesTheClientUsable) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    const ThrowingCase& c = GetParam();
    std::vector<std::string> shown;
    const ErrorDisplayFunction previous =
        SetErrorDisplay([&](const std::string& message) { shown.push_back(message); });
    device->onRequest = [&](const HeardRequest& r) {
        for (int i = 0; i < c.devicesAnswering; ++i) {
            Mac mac = kDeviceMac;
            mac[5] = static_cast<std::uint8_t>(i);
            device->Reply(r, AnswerTo(r, c.command == kDiscover ? mac : kDeviceMac, 0,
                                      OkPayloadFor(c.command))
                                 .Bytes());
        }
    };
    CompletionRecorder rec(client.get());
    const auto throwing = rec.Callback([&](const KvVRELError&) {
        if (c.throwVrel)
            throw Exception("callback failed", -3);
        throw 42;
    });
    client->Send(kDeviceMacText, "", ListFor(c.command), c.command, throwing, 15);
    ASSERT_TRUE(WaitUntil([&] { return rec.Count() >= c.codes.size(); }, 800));
    Pump(60);
    SetErrorDisplay(previous);
    EXPECT_EQ(rec.Codes(), c.codes);
    const std::string text = c.throwVrel ? "callback failed" : "(KvVREL) Unknown error!";
    EXPECT_EQ(shown, std::vector<std::string>(c.codes.size(), text));
    EXPECT_EQ(client->PendingCount(), 0);

    // Still usable afterwards.
    AnswerEverything();
    CompletionRecorder after(client.get());
    client->Send(kDeviceMacText, "", FromDefs(kFirmwareDefs), kGet, after.Callback(), 15);
    ASSERT_TRUE(WaitUntil([&] { return after.Count() >= 1; }, 500));
    EXPECT_EQ(after.Codes(), std::vector<int>{0});
}

const ThrowingCase kThrowingCases[] = {
    {"OnGetAnswer", kGet, 1, true, {0}},
    {"OnGetTimeout", kGet, 0, true, {-1014}},
    {"OnEveryDiscoverAnswer", kDiscover, 2, true, {0, 0, -1014}},
    {"SomethingElseOnSetAnswer", kSet, 1, false, {0}},
};

INSTANTIATE_TEST_SUITE_P(Client, ThrowingCallbackTest, ::testing::ValuesIn(kThrowingCases),
                         [](const ::testing::TestParamInfo<ThrowingCase>& i) {
                             return std::string(i.param.name);
                         });

// --- Sequence numbers reused while a request is outstanding -------------------------------

// After 256 sends a new request shares its number with an old Discover that is still waiting.
// The new one's time-out must finish the new one, not the Discover.
TEST_F(ClientTest, TimeoutOfAReusedSequenceFinishesThatRequestOnly) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    CompletionRecorder discover(client.get()), gets(client.get()), reused(client.get());
    // Its window outlasts the 255 round trips below even on a loaded machine under sanitizers.
    ASSERT_EQ(client->Send("FFFFFFFFFFFF", "", FromDefs(DiscoveryVariables()), kDiscover,
                           discover.Callback(), 200),
              0);
    device->onRequest = [&](const HeardRequest& r) {
        if (r.command() == kGet && r.sequence() != 0)
            device->Reply(r, ValidAnswer(r));
    };
    for (int i = 1; i < 256; ++i) {
        client->Send(kDeviceMacText, "", FromDefs(kNoVariables), kGet, gets.Callback(), 30);
        ASSERT_TRUE(WaitUntil([&] { return gets.Count() >= static_cast<std::size_t>(i); }, 500));
    }
    ASSERT_EQ(client->Send(kDeviceMacText, "", FromDefs(kNoVariables), kGet, reused.Callback(), 1),
              0);
    ASSERT_TRUE(WaitUntil([&] { return reused.Count() >= 1; }, 300));
    EXPECT_EQ(discover.Count(), 0u) << "the Discover's window is still open";
    EXPECT_EQ(client->PendingCount(), 1) << "only the Discover should still be waiting";
    EXPECT_TRUE(WaitUntil([&] { return discover.Count() >= 1; }, 2500))
        << "the Discover was dropped without its time-out";

    // A late answer to the reused number finds nothing left to finish.
    const HeardRequest late = device->Requests().back();
    ASSERT_EQ(late.sequence(), 0);
    device->Reply(late, ValidAnswer(late));
    Pump(50);
    EXPECT_EQ(reused.Codes(), std::vector<int>{-1014});
    EXPECT_EQ(discover.Codes(), std::vector<int>{-1014});
    EXPECT_EQ(client->PendingCount(), 0);
}

// --- Destination and destruction ----------------------------------------------------------

TEST_F(ClientTest, ClientWithAnotherDestinationSendsThere) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    // Bound to one address, the device hears what is sent to that address and no broadcast.
    ASSERT_NO_FATAL_FAILURE(Open(QHostAddress("127.0.0.1"), QHostAddress("127.0.0.1")));
    AnswerEverything();
    CompletionRecorder rec(client.get());
    client->Send(kDeviceMacText, "", SetList(), kSet, rec.Callback(), 20);
    ASSERT_TRUE(WaitUntil([&] { return rec.Count() >= 1; }, 500));
    EXPECT_EQ(rec.Codes(), std::vector<int>{0});
    ASSERT_EQ(device->Requests().size(), 1u);
    const QHostAddress to = device->Requests()[0].destination;
    if (!to.isNull()) {
        EXPECT_EQ(to, QHostAddress("127.0.0.1"));
    }

    // The same request from a broadcasting client does not reach this device.
    KvVRELClient broadcaster(nullptr);
    CompletionRecorder unheard;
    broadcaster.Send(kDeviceMacText, "", SetList(), kSet, unheard.Callback(), 5);
    ASSERT_TRUE(WaitUntil([&] { return unheard.Count() >= 1; }, 500));
    EXPECT_EQ(unheard.Codes(), std::vector<int>{-1014});
    EXPECT_EQ(device->Requests().size(), 1u);
}

// With nothing to wait for, destruction runs no event loop: an event posted before it is
// still waiting afterwards.
TEST_F(ClientTest, DestroyingWithNothingPendingReturnsAtOnce) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    bool ran = false;
    QTimer::singleShot(0, device.get(), [&] { ran = true; });
    client.reset();
    EXPECT_FALSE(ran);
    Pump(10);
    EXPECT_TRUE(ran);
}

// The timer stops when destruction begins: the Get's deadline passes unnoticed and the late
// answer still completes it, which ends the wait.
TEST_F(ClientTest, DestroyingWaitsForTheAnswerOfAPendingGet) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    CompletionRecorder rec;
    client->Send(kDeviceMacText, "", FromDefs(kFirmwareDefs), kGet, rec.Callback(), 5);
    ASSERT_TRUE(Heard(1));
    const HeardRequest request = device->Requests()[0];
    bool replied = false;
    QTimer::singleShot(200, device.get(), [&] {
        device->Reply(request, ValidAnswer(request));
        replied = true;
    });
    const auto start = Clock::now();
    client.reset();
    EXPECT_TRUE(replied) << "destruction did not wait for the answer";
    EXPECT_EQ(rec.Codes(), std::vector<int>{0});
    EXPECT_LT(MsBetween(start, Clock::now()), 5000.0) << "the answer did not end the wait";
}

// Nothing can end a Discover while the client drains, so it waits the full 6 s, delivering
// the answers that still come, and then drops the request without a callback.
TEST_F(ClientTest, DestroyingWithADiscoverPendingWaitsSixSecondsAndDropsIt) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_NO_FATAL_FAILURE(Open());
    CompletionRecorder rec;
    client->Send("FFFFFFFFFFFF", "", FromDefs(DiscoveryVariables()), kDiscover, rec.Callback(),
                 1000);
    ASSERT_TRUE(Heard(1));
    const HeardRequest request = device->Requests()[0];
    QTimer::singleShot(300, device.get(), [&] { device->Reply(request, ValidAnswer(request)); });
    const auto start = Clock::now();
    client.reset();
    const double seconds = MsBetween(start, Clock::now()) / 1000.0;
    EXPECT_GE(seconds, 5.9);
    EXPECT_LE(seconds, 7.0);
    EXPECT_EQ(rec.Codes(), std::vector<int>{0}) << "only the answer, no time-out";
}

} // namespace
} // namespace vrel::test
