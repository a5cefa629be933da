#include "CliSession.h"
#include "CliText.h"
#include "Exception.h"
#include "KvVRELClient.h"
#include "Messages.h"
#include "VrelTables.h"

#include <QCommandLineParser>
#include <QEventLoop>

#include <iostream>
#include <memory>

namespace vrel::cli {

namespace {

struct SetInput {
    std::string mac, ip, netmask;
};

// Everything is checked before a byte is sent: a typo must never reach a device.
SetInput CheckedInput(const QCommandLineParser& parser) {
    SetInput in;
    in.mac = TargetMacFrom(parser, "set");
    if (!parser.isSet("ip") || !parser.isSet("netmask"))
        throw UsageError("both --ip and --netmask are needed");
    in.ip = parser.value("ip").toStdString();
    in.netmask = parser.value("netmask").toStdString();
    if (!IsDottedQuad(in.ip))
        throw UsageError("'" + in.ip + "' is not a valid IP address");
    if (!IsNetmask(in.netmask))
        throw UsageError("'" + in.netmask + "' is not a valid netmask");
    return in;
}

} // namespace

int RunSet(const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Write a new IP address and netmask into the device with the MAC address MAC.\n"
        "The password comes from --password-stdin, --password-file or VREL_PASSWORD.");
    AddDeviceOptions(parser);
    parser.addOption({"ip", "The new IP address.", "ADDR"});
    parser.addOption({"netmask", "The new netmask.", "MASK"});
    ParseOrThrow(parser, args);
    const SetInput in = CheckedInput(parser);
    const std::uint32_t timeout = TimeoutFrom(parser);
    const QHostAddress destination = DestinationFrom(parser);
    const std::vector<std::string> interfaces = InterfacesFrom(parser);
    const std::string password = PasswordFrom(parser);

    QObject owner;
    int exitCode = kExitDeviceFailure;
    QEventLoop loop;
    auto done = [&](const KvVRELError& e, KvVRELVarList&) {
        if (e.code == 0) {
            std::cout << "Set " << e.macText << ": IP address " << in.ip << ", netmask "
                      << in.netmask << "\n";
            exitCode = kExitOk;
        } else {
            std::cerr << e.message << "\n";
            exitCode = kExitDeviceFailure;
        }
        loop.quit();
    };
    std::unique_ptr<KvVRELClient> client;
    try {
        client = std::make_unique<KvVRELClient>(&owner, destination);
        client->SetInterfaceNames(interfaces);
        auto vars = KvVRELVarList::create_from_definitions(SetVariables);
        vars->at(0).value = in.ip;
        vars->at(1).value = in.netmask;
        vars->at(2).value = "3";
        client->Send(in.mac, password, *vars, kSet, done, timeout);
        ReportSendFailures(*client);
        WaitWithProgress(loop, "Setting", in.mac, timeout);
    } catch (const Exception& e) {
        if (client)
            ReportSendFailures(*client);
        std::cerr << e.Message() << "\n";
        return ExitCodeForFailure(e.HelpContext());
    }
    return exitCode;
}

} // namespace vrel::cli
