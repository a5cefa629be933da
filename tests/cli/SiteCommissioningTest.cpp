#include "SimulatedNetwork.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <sstream>

namespace vrel::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr int kDevices = 250;

std::string Mac(int n) {
    char mac[13];
    std::snprintf(mac, sizeof mac, "02000000%04X", n);
    return mac;
}

// MAC -> IP address of every "MAC,IP,..." line after the header.
std::map<std::string, std::string> Addresses(const std::string& csv) {
    std::map<std::string, std::string> byMac;
    std::istringstream lines(csv);
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string cell; std::getline(fields, cell, ',');)
            f.push_back(cell);
        const bool plan = f.size() >= 2 && f[0].size() == 12; // macAddress,ipAddress,...
        if (plan || f.size() >= 4)
            byMac[plan ? f[0] : f[2]] = plan ? f[1] : f[3];
    }
    return byMac;
}

// A whole site's work takes longer than one device's.
VrelInput Patient() {
    VrelInput input;
    input.killAfterMs = 90000;
    return input;
}

class SiteCommissioning : public SimulatedNetwork {
protected:
    QTemporaryDir dir_;
};

// A site as it is found: factory-fresh devices that all answer with one default address,
// behind a link that loses 15 % of all answers and 30 % of the answers to Set. Assign, the dry
// run and apply commission every device, and a Discover shows the plan.
TEST_F(SiteCommissioning, AssignDryRunAndApplyGiveEveryDeviceItsAddress) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    std::string rows;
    for (int n = 1; n <= kDevices; ++n)
        rows += "1,FRESH," + Mac(n) + ",192.168.0.100,255.255.255.0,\r\n";
    ASSERT_TRUE(StartDeviceRows(rows, Mac(1),
                                {"--loss", "15", "--set-loss", "30", "--seed", "7", "--quiet"}))
        << Sim().Log();
    // Other tests of this process may have journaled Sets before: count the lines this one adds.
    QFile journal(qEnvironmentVariable("XDG_STATE_HOME") + "/vrel/journal.csv");
    const qsizetype journaledBefore =
        journal.open(QIODevice::ReadOnly) ? journal.readAll().count('\n') : 0;
    journal.close();
    QElapsedTimer clock;
    clock.start();
    const QString plan = dir_.filePath("site.csv");
    const QStringList assign = {"assign",      "--from",   "10.20.0.10", "--netmask",
                                "255.255.0.0", "-o",       plan,         "--timeout",
                                "1",           "--rounds", "6"};
    VrelRun run = RunVrel(assign, Patient());
    ASSERT_EQ(run.exitCode, 0) << Describe(assign, run);
    QFile file(plan);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::map<std::string, std::string> planned = Addresses(file.readAll().toStdString());
    EXPECT_GE(planned.size(), std::size_t{kDevices - 2}) << "assign found too few devices";

    const QStringList dryRun = {"apply", plan, "--dry-run", "--discover-timeout", "1"};
    run = RunVrel(dryRun, Patient());
    ASSERT_EQ(run.exitCode, 0) << Describe(dryRun, run);
    EXPECT_THAT(run.out, Not(HasSubstr("not found")));

    const QStringList apply = {"apply", plan, "--json", "--discover-timeout", "1"};
    run = RunVrel(apply, Patient());
    EXPECT_EQ(run.exitCode, 0) << Describe(apply, run);
    const QJsonArray report = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).array();
    EXPECT_EQ(report.size(), static_cast<qsizetype>(planned.size()));
    for (const QJsonValue& row : report) {
        const QString verdict = row.toObject().value("verdict").toString();
        EXPECT_TRUE(verdict == "verified" || verdict == "applied, answer lost" ||
                    verdict == "acknowledged, not verified")
            << QJsonDocument(row.toObject()).toJson().toStdString();
    }
    const qint64 elapsed = clock.elapsed();
    std::printf("assign, dry run and apply of %zu devices: %lld ms\n", planned.size(),
                static_cast<long long>(elapsed));
    // One after the other they took minutes; in parallel a few tens of seconds.
    EXPECT_LT(elapsed, 90000);

    ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
    // A new journal starts with its header line.
    EXPECT_EQ(journal.readAll().count('\n') - journaledBefore,
              static_cast<qsizetype>(planned.size()) + (journaledBefore == 0 ? 1 : 0));

    const QStringList discover = {"discover", "--csv", "--rounds", "10", "--until-quiet", "700"};
    run = RunVrel(discover, Patient());
    ASSERT_EQ(run.exitCode, 0) << Describe(discover, run);
    const std::map<std::string, std::string> found = Addresses(run.out);
    EXPECT_GE(found.size(), std::size_t{kDevices - 5});
    for (const auto& [mac, ip] : found) {
        const auto it = planned.find(mac);
        if (it != planned.end()) {
            EXPECT_EQ(ip, it->second) << mac;
        }
    }
}

} // namespace
} // namespace vrel::test
