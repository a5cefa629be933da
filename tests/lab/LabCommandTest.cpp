#include "LabDevices.h"
#include "NetLab.h"
#include "NetworkSandbox.h"
#include "VrelRun.h"

#include <QFile>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace vrel::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// MAC -> "ip netmask interface" of every device a CSV discover listed.
std::map<std::string, std::string> Devices(const VrelRun& run) {
    std::map<std::string, std::string> devices;
    std::istringstream in(run.out);
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, ',');)
            f.push_back(field);
        if (f.size() == 6)
            devices[f[2]] = f[3] + " " + f[4] + " " + f[5];
    }
    return devices;
}

VrelRun Discover(const QStringList& extra = {}) {
    return RunVrel(QStringList{"discover", "--csv", "--timeout", "0.5"} + extra);
}

#define START_LAB(lab)                                                                             \
    ASSERT_TRUE((lab).Ready()) << (lab).Output();                                                  \
    VREL_REQUIRE_NETWORK_SANDBOX()

const std::map<std::string, std::string> kBoth = {{kMacA, "172.31.1.20 255.255.255.0 lab1"},
                                                  {kMacB, "192.168.77.5 255.255.255.0 lab2"}};

TEST(Lab, DiscoverReachesEverySegmentWhereverTheDefaultRouteIs) {
    struct Case {
        const char* route;
        std::vector<std::string> segments;
    };
    const Case cases[] = {
        {"none", {kSegmentA, kSegmentB}},
        {"3", {kSegmentA, kSegmentB, ""}}, // through a segment without devices
        {"lo", {kSegmentA, kSegmentB}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("default route ") + c.route);
        NetLab lab(c.segments, c.route);
        START_LAB(lab);
        const VrelRun run = Discover();
        EXPECT_EQ(run.exitCode, 0) << Describe({"discover"}, run);
        EXPECT_EQ(Devices(run), kBoth) << run.out;
    }
}

TEST(Lab, ADeviceHeardOnTwoInterfacesIsOneRow) {
    // The same device behind both links, as on bridged networks.
    NetLab lab({kSegmentA, kSegmentA}, "none");
    START_LAB(lab);
    const VrelRun run = Discover();
    EXPECT_EQ(run.exitCode, 0) << Describe({"discover"}, run);
    const auto devices = Devices(run);
    ASSERT_EQ(devices.size(), 1u) << run.out;
    EXPECT_THAT(devices.at(kMacA), ::testing::MatchesRegex("172.31.1.20 255.255.255.0 lab[12]"));
}

TEST(Lab, InterfaceOptionChoosesTheSegments) {
    NetLab lab({kSegmentA, kSegmentB}, "none");
    START_LAB(lab);
    struct Case {
        QStringList options;
        int exitCode;
        std::vector<std::string> macs;
        const char* err;
    };
    const Case cases[] = {
        {{"--interface", "lab2"}, 0, {kMacB}, ""},
        {{"--interface", "lab1", "--interface", "lab2"}, 0, {kMacA, kMacB}, ""},
        {{"--interface", "nope"}, 2, {}, "vrel: there is no interface 'nope'\n"},
        {{"--interface", "lo"}, 2, {}, "vrel: interface 'lo' cannot broadcast"},
    };
    for (const Case& c : cases) {
        const auto before1 = lab.RequestLines(1).size(), before2 = lab.RequestLines(2).size();
        const VrelRun run = Discover(c.options);
        SCOPED_TRACE(Describe(c.options, run));
        EXPECT_EQ(run.exitCode, c.exitCode);
        std::vector<std::string> macs;
        for (const auto& [mac, rest] : Devices(run))
            macs.push_back(mac);
        EXPECT_EQ(macs, c.macs);
        EXPECT_THAT(run.err, ::testing::StartsWith(c.err));
        if (c.exitCode == 2) { // refused: nothing reached either segment
            EXPECT_EQ(lab.RequestLines(1).size(), before1);
            EXPECT_EQ(lab.RequestLines(2).size(), before2);
        }
    }
}

TEST(Lab, SetReachesADeviceOnAnySegmentWithoutADefaultRoute) {
    NetLab lab({kSegmentA, kSegmentB}, "none");
    START_LAB(lab);
    struct Case {
        const char* mac;
        const char* ip;
        const char* netmask;
        const char* password;
    };
    const Case cases[] = {
        {kMacB, "172.31.2.50", "255.255.255.0", "pw"}, // out of a foreign subnet
        {kMacA, "10.1.2.3", "255.0.0.0", ""},          // into one
    };
    std::map<std::string, std::string> expected = kBoth;
    for (const Case& c : cases) {
        const QStringList args{"set",       c.mac,     "--ip",      c.ip,
                               "--netmask", c.netmask, "--timeout", "1"};
        const VrelRun run = RunVrel(args, Variable(c.password));
        EXPECT_EQ(run.exitCode, 0) << Describe(args, run);
        expected[c.mac] =
            std::string(c.ip) + " " + c.netmask + (c.mac == kMacA ? " lab1" : " lab2");
        EXPECT_EQ(Devices(Discover()), expected);
    }
}

TEST(Lab, AnInterfaceGoneDownIsNamedAndTheOthersStillGo) {
    NetLab lab({kSegmentA, kSegmentB}, "none");
    START_LAB(lab);
    ASSERT_EQ(Devices(Discover()), kBoth);
    ASSERT_TRUE(lab.Ip({"link", "set", "lab1", "down"}));
    const VrelRun run = Discover();
    EXPECT_EQ(run.exitCode, 0) << Describe({"discover"}, run);
    EXPECT_EQ(Devices(run), (std::map<std::string, std::string>{*kBoth.find(kMacB)}));
    EXPECT_THAT(run.err, HasSubstr("lab1 172.31.1.1/24 not sent (down)"));
}

TEST(Lab, NothingAnsweringNamesEveryInterfaceTried) {
    NetLab lab({"", ""}, "none");
    START_LAB(lab);
    const VrelRun run = Discover();
    EXPECT_EQ(run.exitCode, 0) << Describe({"discover"}, run);
    EXPECT_EQ(run.out, "productCode,modelName,macAddress,ipAddress,netmask,interface\r\n");
    EXPECT_THAT(run.err, HasSubstr("vrel: no device answered\n"));
    EXPECT_THAT(run.err, HasSubstr("lab1 172.31.1.1/24: sent, 0 answers\n"));
    EXPECT_THAT(run.err, HasSubstr("lab2 172.31.2.1/24: sent, 0 answers\n"));
    EXPECT_THAT(run.err, HasSubstr("firewall"));
    EXPECT_THAT(run.err, Not(HasSubstr("no network interface is up")));
}

TEST(Lab, OnlyAFreshNamespaceOrTheLabsOwnPassesForASandbox) {
    NetLab lab({""}, "none");
    START_LAB(lab);
    // The lab itself refuses to build on top of links it did not make.
    const NetLab second({""}, "none");
    EXPECT_FALSE(second.Ready());

    // A stamp that does not name this namespace, or misses a link, is no lab.
    const QByteArray stamp = qgetenv("VREL_NETLAB_STAMP");
    QFile original(QString::fromLocal8Bit(stamp));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray inode = original.readLine().trimmed();
    const std::pair<QByteArray, bool> cases[] = {
        {inode + "\nlab1\n", true},
        {"1" + inode + "\nlab1\n", false},
        {inode + "\n", false},
        {"", false},
    };
    QTemporaryDir dir;
    for (const auto& [content, accepted] : cases) {
        QFile forged(dir.filePath("stamp"));
        ASSERT_TRUE(forged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        forged.write(content);
        forged.close();
        qputenv("VREL_NETLAB_STAMP", forged.fileName().toLocal8Bit());
        EXPECT_EQ(bool(NetworkIsSandboxed()), accepted) << content.toStdString();
    }
    qputenv("VREL_NETLAB_STAMP", stamp);
}

} // namespace
} // namespace vrel::test
