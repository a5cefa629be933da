#include "CliSession.h"
#include "SimulatedNetwork.h"

#include <QLoggingCategory>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vrel::test {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

using CommandLine = SimulatedNetwork;

TEST_F(CommandLine, HelpOfEveryCommand) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    const std::pair<QStringList, std::vector<const char*>> cases[] = {
        {{"--help"},
         {"Usage: vrel COMMAND", "discover", "set MAC", "get MAC", "apply PLAN", "--version"}},
        {{"-h"}, {"Usage: vrel COMMAND"}},
        {{"--verbose", "--help"}, {"Usage: vrel COMMAND", "--verbose"}},
        {{"help"}, {"Usage: vrel COMMAND"}},
        {{"discover", "--help"}, {"--timeout", "--address", "--json", "--csv", "--where"}},
        {{"set", "--help"},
         {"MAC", "--ip", "--netmask", "--password-stdin", "--password-file", "VREL_PASSWORD",
          "--force", "--no-verify", "--json"}},
        {{"apply", "--help"},
         {"PLAN", "macAddress,ipAddress,netmask", "--dry-run", "--json", "--force", "--no-verify",
          "--discover-timeout", "--password-file"}},
        {{"get", "--help"}, {"MAC", "--var", "ID:TYPE[:NAME]", "displaystr", "--json"}},
        {{"discover", "-h"}, {"--where"}},
    };
    for (const auto& [args, texts] : cases) {
        const VrelRun run = RunVrel(args);
        EXPECT_EQ(run.exitCode, 0) << Describe(args, run);
        EXPECT_EQ(run.err, "");
        EXPECT_THAT(run.out, StartsWith("Usage: ")) << Describe(args, run);
        for (const char* text : texts)
            EXPECT_THAT(run.out, HasSubstr(text)) << Describe(args, run);
    }
}

TEST_F(CommandLine, CommandHelpShowsHowToCallTheCommand) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    // The usage line is what people copy; without the command word it calls no command.
    const std::pair<QStringList, const char*> cases[] = {
        {{"discover", "--help"}, "vrel discover [options]"},
        {{"set", "--help"}, "vrel set [options] MAC"},
        {{"get", "--help"}, "vrel get [options] MAC"},
        {{"apply", "--help"}, "vrel apply [options] PLAN"},
    };
    for (const auto& [args, usage] : cases) {
        const VrelRun run = RunVrel(args);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_THAT(run.out.substr(0, run.out.find('\n')), HasSubstr(usage));
    }
}

TEST_F(CommandLine, VersionIsPrinted) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    for (const QStringList& args : {QStringList{"--version"}, QStringList{"-v"}}) {
        const VrelRun run = RunVrel(args);
        EXPECT_EQ(run.exitCode, 0) << Describe(args, run);
        EXPECT_EQ(run.out, "vrel " VREL_VERSION "\n");
        EXPECT_EQ(run.err, "");
    }
}

TEST(VerboseCommandLine, SwitchesOnTheDebugMessagesOfTheVrelCategoriesOnly) {
    // Off by default, as the program's own categories are declared.
    QLoggingCategory ours("vrel.test", QtInfoMsg);
    QLoggingCategory theirs("qt.test", QtInfoMsg);
    ASSERT_FALSE(ours.isDebugEnabled());
    EXPECT_EQ(cli::RunCommandLine({"vrel", "--verbose", "--version"}), 0);
    EXPECT_TRUE(ours.isDebugEnabled());
    EXPECT_FALSE(theirs.isDebugEnabled());
}

TEST_F(CommandLine, UnknownCommandIsRefused) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    const std::pair<QStringList, const char*> cases[] = {
        {{"bogus"}, "vrel: unknown command 'bogus'"},
        {{"Discover"}, "vrel: unknown command 'Discover'"},
        {{"--json"}, "vrel: unknown command '--json'"},
        {{"0A0000000001", "--ip", "10.0.0.9"}, "vrel: unknown command '0A0000000001'"},
        {{}, "vrel: no command given"},
        {{""}, "vrel: no command given"},
    };
    for (const auto& [args, message] : cases) {
        const VrelRun run = RunVrel(args);
        EXPECT_EQ(run.exitCode, 2) << Describe(args, run);
        EXPECT_EQ(run.out, "");
        EXPECT_THAT(run.err, StartsWith(message)) << Describe(args, run);
        EXPECT_THAT(run.err, HasSubstr("'vrel --help'"));
    }
}

TEST_F(CommandLine, BadInputIsRefusedBeforeAnythingIsSent) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_TRUE(StartDeviceFile()) << Sim().Log();
    const QStringList ip = {"--ip", "10.0.0.9"}, mask = {"--netmask", "255.255.255.0"};
    const QString relay = QString::fromStdString(kRelay.macAddress);
    const QStringList set = QStringList{"set", relay} + ip + mask;
    const QStringList get = {"get", relay, "--var", "1:displaystr"};
    const std::pair<QStringList, const char*> cases[] = {
        {QStringList{"set", "0A00000000"} + ip + mask, "vrel: (KvVREL) Bad MAC address!"},
        {QStringList{"set", "0A00000000011"} + ip + mask, "vrel: (KvVREL) Bad MAC address!"},
        {QStringList{"set", "0A000000000G"} + ip + mask, "vrel: (KvVREL) Bad MAC address!"},
        {QStringList{"set", ""} + ip + mask, "vrel: (KvVREL) Bad MAC address!"},
        {QStringList{"set", relay, "--ip", "10.0.0.053"} + mask, "'10.0.0.053' is not a valid IP"},
        {QStringList{"set", relay, "--ip", "10.1"} + mask, "'10.1' is not a valid IP"},
        {QStringList{"set", relay, "--ip", ""} + mask, "'' is not a valid IP"},
        {QStringList{"set", relay, "--ip", "256.0.0.1"} + mask, "is not a valid IP"},
        {QStringList{"set", relay, "--netmask", "255.0.255.0"} + ip, "is not a valid netmask"},
        {QStringList{"set", relay, "--netmask", "255.255.255"} + ip, "is not a valid netmask"},
        {QStringList{"set", relay, "--netmask", ""} + ip, "is not a valid netmask"},
        // Addresses that would strand the device, and --force never excusing a typo.
        {QStringList{"set", relay, "--ip", "10.0.0.255"} + mask,
         "--ip: 10.0.0.255 is the broadcast address of its subnet 10.0.0.0/24; --force sends"},
        {QStringList{"set", relay, "--ip", "10.0.0.0"} + mask, "network address of its subnet"},
        {QStringList{"set", relay, "--ip", "0.0.0.0"} + mask, "0.0.0.0/8"},
        {QStringList{"set", relay, "--ip", "127.0.0.1"} + mask, "loopback"},
        {QStringList{"set", relay, "--ip", "224.0.0.1"} + mask, "multicast"},
        {QStringList{"set", relay, "--ip", "255.255.255.255"} + mask, "broadcast"},
        {QStringList{"set", relay, "--netmask", "0.0.0.0"} + ip, "--netmask: netmask 0.0.0.0"},
        {QStringList{"set", relay, "--netmask", "255.255.255.255"} + ip, "/32"},
        {QStringList{"set", relay, "--netmask", "255.255.255.254"} + ip, "/31"},
        {QStringList{"set", relay, "--ip", "10.1", "--force"} + mask, "'10.1' is not a valid IP"},
        {QStringList{"set", relay, "--netmask", "255.0.255.0", "--force"} + ip,
         "not a valid netmask"},
        // A group MAC would reach every device listening to it: never, not even forced.
        {QStringList{"set", "FFFFFFFFFFFF", "--force"} + ip + mask, "is a group address"},
        {QStringList{"set", "01:00:5e:00:00:01"} + ip + mask, "01005E000001 is a group address"},
        {QStringList{"set", relay} + ip, "both --ip and --netmask are needed"},
        {QStringList{"set", relay} + mask, "both --ip and --netmask are needed"},
        {QStringList{"set"} + ip + mask, "give exactly one MAC address"},
        {set + QStringList{"0A0000000002"}, "give exactly one MAC address"},
        {set + QStringList{"--password-stdin", "--password-file", "/dev/null"}, "exclude each"},
        {set + QStringList{"--password-file", "/nonexistent/password"}, "cannot read the password"},
        {set + QStringList{"--timeout", "0"}, "'0' is not a time-out"},
        {set + QStringList{"--timeout", "3601"}, "'3601' is not a time-out"},
        {set + QStringList{"--address", "10.1"}, "'10.1' is not an IPv4 address"},
        {set + QStringList{"--address", "127.000.0.1"}, "is not an IPv4 address"},
        {set + QStringList{"--ipaddress", "10.0.0.9"}, "Unknown option 'ipaddress'"},
        {QStringList{"get", "0A00000000", "--var", "1:displaystr"}, "(KvVREL) Bad MAC address!"},
        {QStringList{"get", relay}, "name at least one variable"},
        {QStringList{"get", relay, "--var", "1:strange"}, "'strange' is not a value type"},
        {QStringList{"get", relay, "--var", "300:uint8"}, "'300' is not a variable id"},
        {QStringList{"get", relay, "--var", "1"}, "is not ID:TYPE[:NAME]"},
        {get + QStringList{"--timeout", "abc"}, "'abc' is not a time-out"},
        {get + QStringList{"--address", ""}, "is not an IPv4 address"},
        {QStringList{"discover", "--json", "--csv"}, "--json and --csv exclude each other"},
        {QStringList{"apply"}, "give exactly one plan file"},
        {QStringList{"apply", "/nonexistent/plan.csv"}, "cannot read the plan"},
        {QStringList{"discover", "--where", "garbage("}, "(KvCommon) Bad logic operand!"},
        {QStringList{"discover", "--where", "$7=\"x\""}, "(KvVREL) Bad VREL response variable"},
        {QStringList{"discover", "--where", "$0.9=\"x\""}, "(KvVREL) Bad VREL response variable"},
        {QStringList{"discover", "--timeout", "-1"}, "is not a time-out"},
        {QStringList{"discover", "now"}, "unexpected argument 'now'"},
        {QStringList{"discover", "--rounds", "0"}, "'0' is not a valid --rounds (1 to 100)"},
        {QStringList{"discover", "--until-quiet", "soon"}, "is not a valid --until-quiet"},
        {QStringList{"assign", "--from", "10.0.0.1", "--netmask", "255.255.255.0"}, "-o are needed"},
        {QStringList{"assign", "--from", "10.0.0.255", "--netmask", "255.255.255.0", "-o", "-"},
         "--from: 10.0.0.255 is the broadcast address"},
        {QStringList{"assign", "--from", "10.0.0.1", "--netmask", "255.255.255.0", "-o", "-",
                     "--order", "size"},
         "--order is mac or found"},
        {QStringList{"assign", "--from", "10.0.0.1", "--netmask", "255.255.255.0", "-o",
                     VREL_SOURCE_DIR "/README.md"},
         "exists; name another file"},
    };
    for (const auto& c : cases) {
        const QStringList& args = c.first;
        SCOPED_TRACE(args.join(' ').toStdString());
        VrelRun run;
        // Passwords are at hand, so that nothing but the input itself can stop a request.
        const auto requests =
            RequestsDuring([&] { run = RunVrel(args, Stdin("secret\n", "secret")); });
        EXPECT_EQ(run.exitCode, 2) << Describe(args, run);
        EXPECT_EQ(run.out, "");
        EXPECT_THAT(run.err, HasSubstr(c.second)) << Describe(args, run);
        EXPECT_THAT(requests, IsEmpty());
    }
    EXPECT_EQ(AddressesOf(kRelay.macAddress), "ip=10.0.0.1\nmask=255.255.255.0\n");
}

TEST_F(CommandLine, AskingForHelpSendsNothing) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_TRUE(StartDeviceFile()) << Sim().Log();
    // Short time-outs, should the help not stop the command.
    const QStringList set = {"set",         "0A0000000001", "--ip", "10.0.0.9",        "--netmask",
                             "255.255.0.0", "--timeout",    "0.3",  "--password-stdin"};
    const QStringList get = {"get", "0A0000000001", "--var", "1:displaystr", "--timeout", "0.3"};
    // QCommandLineParser's help option also brings --help-all, which the help lists.
    const QStringList cases[] = {
        set + QStringList{"--help"},
        set + QStringList{"--help-all"},
        get + QStringList{"--help"},
        get + QStringList{"--help-all"},
        {"discover", "--timeout", "0.3", "--help-all"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        VrelRun run;
        const auto requests = RequestsDuring([&] { run = RunVrel(args, Stdin("secret\n")); });
        EXPECT_EQ(run.exitCode, 0) << Describe(args, run);
        EXPECT_THAT(run.out, StartsWith("Usage: ")) << Describe(args, run);
        EXPECT_THAT(requests, IsEmpty());
    }
    EXPECT_EQ(AddressesOf(kRelay.macAddress), "ip=10.0.0.1\nmask=255.255.255.0\n");
}

TEST_F(CommandLine, UnicastAddressReachesTheSimulator) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_TRUE(StartDeviceFile()) << Sim().Log();
    const QStringList to = {"--address", "127.0.0.1"};
    const QStringList discover = QStringList{"discover", "--csv", "--timeout", "0.3"} + to;
    VrelRun run = RunVrel(discover);
    EXPECT_EQ(run.exitCode, 0) << Describe(discover, run);
    EXPECT_THAT(run.out, HasSubstr(",0A0000000001,10.0.0.1,"));
    EXPECT_THAT(run.out, HasSubstr(",0A0000000002,10.0.1.2,"));

    const QStringList set = QStringList{"set",       "0A0000000002", "--ip",      "10.0.1.3",
                                        "--netmask", "255.255.0.0",  "--timeout", "1"} +
                            to;
    run = RunVrel(set);
    EXPECT_EQ(run.exitCode, 0) << Describe(set, run);

    const QStringList get =
        QStringList{"get", "0A0000000002", "--var", "3:ipaddress:ip", "--timeout", "1"} + to;
    run = RunVrel(get);
    EXPECT_EQ(run.exitCode, 0) << Describe(get, run);
    EXPECT_EQ(run.out, "ip=10.0.1.3\n");
}

} // namespace
} // namespace vrel::test
