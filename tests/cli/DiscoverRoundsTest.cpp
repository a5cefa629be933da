#include "SimulatedNetwork.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

namespace vrel::test {
namespace {

using ::testing::HasSubstr;

// The MAC addresses of CSV output, checking that none comes twice.
std::set<std::string> MacsOfCsv(const std::string& out) {
    std::set<std::string> macs;
    std::istringstream in(out);
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line)) {
        const auto first = line.find(',');
        const auto second = line.find(',', first + 1);
        EXPECT_TRUE(macs.insert(line.substr(first + 1, second - first - 1)).second) << out;
    }
    return macs;
}

int CountOf(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

int DiscoversIn(const std::vector<std::string>& requestLines) {
    return static_cast<int>(
        std::count_if(requestLines.begin(), requestLines.end(), [](const std::string& l) {
            return l.find("Discover #") != std::string::npos;
        }));
}

using DiscoverRounds = SimulatedNetwork;

TEST_F(DiscoverRounds, ConflictingAnswersAreReportedOncePerMac) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    // Three devices share one MAC address; a fourth is alone. Every answer comes twice.
    ASSERT_TRUE(StartDeviceRows("1,a,0A0000000001,10.0.0.1,255.255.255.0,\r\n"
                                "1,a,0A0000000001,10.0.0.8,255.255.255.0,\r\n"
                                "1,a,0A0000000001,10.0.0.9,255.255.255.0,\r\n"
                                "2,b,0A0000000002,10.0.0.2,255.255.255.0,\r\n",
                                "0A0000000002", {"--clones", "--duplicate", "100"}))
        << Sim().Log();
    for (const QStringList& format : {QStringList{"--json"}, QStringList{"--csv"}}) {
        const QStringList args = QStringList{"discover", "--timeout", "0.3"} + format;
        const VrelRun run = RunVrel(args);
        ASSERT_EQ(run.exitCode, 0) << Describe(args, run);
        EXPECT_EQ(CountOf(run.err, "\n"), 1) << run.err;
        EXPECT_THAT(run.err, HasSubstr("vrel: MAC address 0A0000000001 answered with different "
                                       "content (listed: 10.0.0."));
        if (format.first() != "--json")
            continue;
        // The document stays an array of devices; the clone carries the count of the others.
        const QJsonArray devices =
            QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).array();
        ASSERT_EQ(devices.size(), 2) << run.out;
        for (const auto& value : devices) {
            const QJsonObject device = value.toObject();
            const bool cloned = device.value("macAddress").toString() == "0A0000000001";
            EXPECT_EQ(device.value("duplicates").toInt(), cloned ? 2 : 0) << run.out;
            EXPECT_EQ(device.contains("duplicates"), cloned) << run.out;
        }
    }
}

struct RoundsCase {
    const char* name;
    int lossPercent;
    int minDiscovers, maxDiscovers;
};

void PrintTo(const RoundsCase& c, std::ostream* os) {
    *os << c.name;
}

class DiscoverRoundsTest : public SimulatedNetwork,
                           public ::testing::WithParamInterface<RoundsCase> {};

TEST_P(DiscoverRoundsTest, UnionOfRoundsStopsAfterARoundWithNothingNew) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    const RoundsCase& c = GetParam();
    constexpr int kDevices = 30;
    const QStringList sim = {"--loss", QString::number(c.lossPercent), "--seed", "5"};
    const QStringList once = {"discover", "--csv", "--timeout", "0.3"};
    ASSERT_TRUE(StartGenerated(kDevices, sim)) << Sim().Log();
    const std::size_t oneRound = MacsOfCsv(RunVrel(once).out).size();

    ASSERT_TRUE(StartGenerated(kDevices, sim)) << Sim().Log(); // the same losses again
    const QStringList args = once + QStringList{"--rounds", "10"};
    VrelRun run;
    const int discovers = DiscoversIn(RequestsDuring([&] { run = RunVrel(args); }));
    ASSERT_EQ(run.exitCode, 0) << Describe(args, run);
    const std::size_t found = MacsOfCsv(run.out).size();
    EXPECT_GE(discovers, c.minDiscovers);
    EXPECT_LE(discovers, c.maxDiscovers);
    if (c.lossPercent == 0) {
        EXPECT_EQ(found, std::size_t(kDevices));
    } else {
        EXPECT_GT(found, oneRound) << Describe(args, run);
        EXPECT_LE(found, std::size_t(kDevices));
    }
}

INSTANTIATE_TEST_SUITE_P(Loss, DiscoverRoundsTest,
                         ::testing::Values(
                             // The second round finds nothing new: it is the last.
                             RoundsCase{"NoLoss", 0, 2, 2}, RoundsCase{"ThirtyPercent", 30, 3, 9}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DiscoverRounds, UntilQuietEndsLongBeforeTheTimeOut) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_TRUE(StartGenerated(5)) << Sim().Log();
    for (const QStringList& extra : {QStringList{}, QStringList{"--rounds", "3"}}) {
        const QStringList args =
            QStringList{"discover", "--csv", "--timeout", "5", "--until-quiet", "300"} + extra;
        const VrelRun run = RunVrel(args);
        ASSERT_EQ(run.exitCode, 0) << Describe(args, run);
        EXPECT_EQ(MacsOfCsv(run.out).size(), 5u) << Describe(args, run);
        // Each round ends 300 ms after its last new device, not after 5 s; and nothing waits
        // for the answer windows left open.
        EXPECT_LT(run.elapsedMs, 2500) << Describe(args, run);
    }
}

} // namespace
} // namespace vrel::test
