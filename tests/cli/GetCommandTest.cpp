#include "SimulatedNetwork.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vrel::test {
namespace {

using ::testing::HasSubstr;

using GetCommand = SimulatedNetwork;

const QStringList kRelayVars = {"get",   "0A0000000001",     "--var",     "1:displaystr:model",
                                "--var", "3:ipaddress",      "--var",     "235:UINT16:code",
                                "--var", "2:macaddress:mac", "--timeout", "1"};

TEST_F(GetCommand, PrintsTheVariablesInTheOrderAsked) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_TRUE(StartDeviceFile()) << Sim().Log();
    const VrelRun run = RunVrel(kRelayVars);
    ASSERT_EQ(run.exitCode, 0) << Describe(kRelayVars, run);
    EXPECT_EQ(run.out, "model=Relay, 4 channels\n3=10.0.0.1\ncode=4660\nmac=0A0000000001\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(GetCommand, ControlBytesOfAValueCannotForgeALine) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_TRUE(StartDeviceRows("1,\"A\x1b[2J\nfake=1\",020000000009,10.0.0.9,255.255.255.0,\r\n",
                                "020000000009"))
        << Sim().Log();
    const QStringList args = {"get", "020000000009", "--var", "1:displaystr:model"};
    const VrelRun run = RunVrel(args);
    ASSERT_EQ(run.exitCode, 0) << Describe(args, run);
    EXPECT_EQ(run.out, "model=A\\x1b[2J\\x0afake=1\n");
}

TEST_F(GetCommand, JsonIsKeyedByName) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_TRUE(StartDeviceFile()) << Sim().Log();
    const QStringList args = kRelayVars + QStringList{"--json"};
    const VrelRun run = RunVrel(args);
    ASSERT_EQ(run.exitCode, 0) << Describe(args, run);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out;
    ASSERT_TRUE(doc.isObject()) << run.out;
    const QJsonObject o = doc.object();
    EXPECT_EQ(o.size(), 4);
    EXPECT_EQ(o.value("model").toString(), "Relay, 4 channels");
    EXPECT_EQ(o.value("3").toString(), "10.0.0.1");
    EXPECT_EQ(o.value("code").toString(), "4660");
    EXPECT_EQ(o.value("mac").toString(), "0A0000000001");
    // Keys stand in the order of the --var options, not sorted.
    EXPECT_LT(run.out.find("\"model\""), run.out.find("\"3\""));
    EXPECT_LT(run.out.find("\"code\""), run.out.find("\"mac\""));

    // A value with quotes in it still gives valid JSON.
    const QStringList sensor = {"get",    "0A0000000002", "--var", "1:displaystr:model",
                                "--json", "--timeout",    "1"};
    const VrelRun quoted = RunVrel(sensor);
    ASSERT_EQ(quoted.exitCode, 0) << Describe(sensor, quoted);
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(quoted.out))
                  .object()
                  .value("model")
                  .toString(),
              "Sensor \"S2\"")
        << quoted.out;
}

TEST_F(GetCommand, UnknownVariableIsNotDone) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_TRUE(StartDeviceFile()) << Sim().Log();
    const QStringList cases[] = {
        {"get", "0A0000000001", "--var", "200:uint8", "--timeout", "1"},
        {"get", "0A0000000001", "--var", "1:displaystr", "--var", "200:uint8", "--json",
         "--timeout", "1"},
    };
    for (const auto& args : cases) {
        const VrelRun run = RunVrel(args);
        EXPECT_EQ(run.exitCode, 1) << Describe(args, run);
        EXPECT_EQ(run.out, "") << "nothing half-read is printed";
        EXPECT_THAT(run.err, HasSubstr("(KvVREL) Not Done!"));
    }
}

} // namespace
} // namespace vrel::test
