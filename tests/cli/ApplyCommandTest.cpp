#include "SimulatedNetwork.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vrel::test {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

class ApplyCommand : public SimulatedNetwork {
protected:
    QString Plan(const std::string& text) {
        const QString path = dir_.filePath("plan" + QString::number(++plans_) + ".csv");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.data(), qint64(text.size()));
        return path;
    }
    static QStringList Apply(const QString& plan, const QStringList& extra = {}) {
        return QStringList{"apply", plan, "--timeout", "0.5", "--discover-timeout", "0.3"} + extra;
    }
    static long SetsIn(const std::vector<std::string>& requests) {
        return std::count_if(requests.begin(), requests.end(),
                             [](const std::string& l) { return l.find("Set #") != l.npos; });
    }

private:
    QTemporaryDir dir_;
    int plans_ = 0;
};

const std::string kRelayAsItIs = "ip=10.0.0.1\nmask=255.255.255.0\n";

// One bad row, or a new address a device outside the plan has, stops the whole plan.
TEST_F(ApplyCommand, PlanWithAnErrorSendsNoSet) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_TRUE(StartDeviceFile()) << Sim().Log();
    const std::pair<std::string, const char*> cases[] = {
        {"macAddress,ipAddress,netmask,password\n"
         "0A0000000001,10.0.0.50,255.255.255.0,secret\n"
         "0A0000000002,10.0.1.255,255.255.255.0,\n",
         "line 3: ipAddress: 10.0.1.255 is the broadcast address"},
        {"macAddress,ipAddress,netmask\n"
         "0A0000000001,10.0.1.2,255.255.255.0\n",
         "line 2: IP address 10.0.1.2 is used by 0A0000000002, which is not in the plan"},
    };
    for (const auto& [plan, error] : cases) {
        SCOPED_TRACE(plan);
        const QStringList args = Apply(Plan(plan));
        VrelRun run;
        const auto requests = RequestsDuring([&] { run = RunVrel(args); });
        EXPECT_EQ(run.exitCode, 2) << Describe(args, run);
        EXPECT_THAT(run.err, HasSubstr(error));
        EXPECT_THAT(run.err, HasSubstr("nothing was sent"));
        EXPECT_EQ(SetsIn(requests), 0) << ::testing::PrintToString(requests);
    }
    EXPECT_EQ(AddressesOf(kRelay.macAddress), kRelayAsItIs);
}

TEST_F(ApplyCommand, DryRunShowsEachChangeAndSendsNoSet) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_TRUE(StartDeviceFile()) << Sim().Log();
    const QString plan = Plan("macAddress,ipAddress,netmask\n"
                              "0A0000000001,10.0.0.50,255.255.255.0\n"
                              "0A00000000FF,10.0.0.51,255.255.255.0\n");
    VrelRun run;
    const QStringList args = Apply(plan, {"--dry-run"});
    const auto requests = RequestsDuring([&] { run = RunVrel(args); });
    EXPECT_EQ(run.exitCode, 0) << Describe(args, run);
    EXPECT_EQ(run.out, "0A0000000001: 10.0.0.1/255.255.255.0 -> 10.0.0.50/255.255.255.0\n"
                       "0A00000000FF: not found\n");
    EXPECT_THAT(run.err, HasSubstr("1 of 2 devices not found"));
    EXPECT_EQ(SetsIn(requests), 0);
    EXPECT_EQ(AddressesOf(kRelay.macAddress), kRelayAsItIs);

    // Without --dry-run the found row is set, the other skipped, never guessed: exit 1.
    const QStringList real = Apply(plan, {"--password-stdin"});
    run = RunVrel(real, Stdin("secret\n"));
    EXPECT_EQ(run.exitCode, 1) << Describe(real, run);
    EXPECT_THAT(run.out, HasSubstr("0A0000000001: verified"));
    EXPECT_THAT(run.out, HasSubstr("0A00000000FF: not found, skipped"));
    EXPECT_EQ(AddressesOf(kRelay.macAddress), "ip=10.0.0.50\nmask=255.255.255.0\n");
}

// A whole site: twenty devices leave their generated addresses for the planned ones.
TEST_F(ApplyCommand, FullPlanOfTwentyDevicesIsVerified) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_TRUE(StartGenerated(20, {"--password", "site"})) << Sim().Log();
    std::string plan = "macAddress,ipAddress,netmask,password\n";
    for (int i = 1; i <= 20; ++i) {
        char mac[13];
        std::snprintf(mac, sizeof mac, "0200000000%02X", i);
        plan +=
            std::string(mac) + ",192.168.7." + std::to_string(100 + i) + ",255.255.255.0,site\n";
    }
    const QStringList args = Apply(Plan(plan), {"--json"});
    const VrelRun run = RunVrel(args);
    ASSERT_EQ(run.exitCode, 0) << Describe(args, run);
    const QJsonArray rows = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).array();
    ASSERT_EQ(rows.size(), 20);
    for (int i = 0; i < 20; ++i) {
        const QJsonObject row = rows.at(i).toObject();
        SCOPED_TRACE(row.value("macAddress").toString().toStdString());
        EXPECT_EQ(row.value("verdict").toString(), "verified");
        EXPECT_EQ(row.value("currentIpAddress").toString(), "10.0.0." + QString::number(i + 1));
        EXPECT_EQ(row.value("answeredIpAddress").toString(),
                  "192.168.7." + QString::number(101 + i));
    }
}

} // namespace
} // namespace vrel::test
