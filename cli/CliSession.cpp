#include "CliSession.h"

#include "DeviceAddress.h"
#include "Exception.h"
#include "KvVRELClient.h"
#include "Messages.h"
#include "ResultCodes.h"

#include <QCommandLineParser>
#include <QFile>
#include <QLoggingCategory>

#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace vrel::cli {

ProgressLine::ProgressLine(std::function<std::string()> text) : text_(std::move(text)) {
    if (isatty(STDERR_FILENO) != 1)
        return;
    timer_.setInterval(250);
    connect(&timer_, &QTimer::timeout, this, &ProgressLine::Show);
    timer_.start();
    Show();
}

void ProgressLine::Show() {
    std::fprintf(stderr, "\r\033[K%s", text_().c_str());
    std::fflush(stderr);
    shown_ = true;
}

ProgressLine::~ProgressLine() {
    if (shown_)
        std::fprintf(stderr, "\r\033[K");
}

void AddCommonOptions(QCommandLineParser& parser, const char* defaultTimeout) {
    parser.addHelpOption();
    parser.addOption({"timeout",
                      QString("Seconds to wait for answers (default %1).").arg(defaultTimeout),
                      "SECONDS", defaultTimeout});
    parser.addOption({"address",
                      "Send to ADDR instead of 255.255.255.255: a subnet-directed broadcast "
                      "such as 192.168.1.255, or one device's unicast address.",
                      "ADDR"});
    parser.addOption({"interface",
                      "Send only out of network interface NAME (repeatable); by default every "
                      "interface that is up with an IPv4 address.",
                      "NAME"});
    parser.addOption({"verbose", "Log on stderr why answers were dropped (the vrel.* logging "
                                 "categories)."});
}

void AddPasswordOptions(QCommandLineParser& parser) {
    parser.addOption({"password-stdin", "Read the device password from the first line of stdin."});
    parser.addOption(
        {"password-file", "Read the device password from the first line of FILE.", "FILE"});
}

void AddDeviceOptions(QCommandLineParser& parser) {
    parser.addPositionalArgument("MAC", "The device's MAC address, twelve hex digits.");
    AddCommonOptions(parser, "3");
    AddPasswordOptions(parser);
}

std::string TargetMacFrom(const QCommandLineParser& parser, const std::string& command) {
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        throw UsageError("give exactly one MAC address; try 'vrel " + command + " --help'");
    const auto mac = NormalizeMac(positional.first().toStdString());
    if (!mac)
        throw UsageError(MessageForCode(kBadMac));
    return *mac;
}

void ParseOrThrow(QCommandLineParser& parser, const QStringList& args) {
    if (!parser.parse(args))
        throw UsageError(parser.errorText().toStdString());
    // Any request for help prints it and sends nothing, whatever else the line says.
    if (parser.isSet("help") || parser.isSet("help-all")) {
        QString help = parser.helpText();
        // The parser names the program file; a usage line must name the command too.
        const qsizetype from = help.indexOf("Usage: ");
        const qsizetype to = help.indexOf(" [options]");
        if (from >= 0 && to > from)
            help.replace(from + 7, to - from - 7, "vrel " + args.value(0));
        std::cout << help.toStdString();
        std::exit(kExitOk);
    }
}

QHostAddress DestinationFrom(const QCommandLineParser& parser) {
    if (!parser.isSet("address"))
        return QHostAddress(QHostAddress::Broadcast);
    const std::string text = parser.value("address").toStdString();
    if (!ParseDottedQuad(text))
        throw UsageError("'" + text + "' is not an IPv4 address");
    return QHostAddress(QString::fromStdString(text));
}

std::vector<std::string> InterfacesFrom(const QCommandLineParser& parser) {
    std::vector<std::string> names;
    for (const QString& name : parser.values("interface"))
        names.push_back(name.toStdString());
    if (!names.empty())
        NetInterfaces::Select(NetInterfaces::Enumerate(), names);
    return names;
}

std::uint32_t TimeoutFrom(const QCommandLineParser& parser, const char* name) {
    return ParseTimeout(parser.value(name).toStdString());
}

int IntegerOption(const QCommandLineParser& parser, const char* name, int low, int high,
                  int fallback) {
    if (!parser.isSet(name))
        return fallback;
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < low || value > high)
        throw UsageError("'" + parser.value(name).toStdString() + "' is not a valid --" + name +
                         " (" + std::to_string(low) + " to " + std::to_string(high) + ")");
    return value;
}

std::string PasswordFrom(const QCommandLineParser& parser) {
    if (parser.isSet("password-stdin") && parser.isSet("password-file"))
        throw UsageError("--password-stdin and --password-file exclude each other");
    if (parser.isSet("password-stdin")) {
        std::string line;
        std::getline(std::cin, line);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return line;
    }
    if (parser.isSet("password-file")) {
        QFile file(parser.value("password-file"));
        if (!file.open(QIODevice::ReadOnly))
            throw UsageError("cannot read the password file '" +
                             parser.value("password-file").toStdString() +
                             "': " + file.errorString().toStdString());
        QByteArray line = file.readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        return line.toStdString();
    }
    if (const char* env = std::getenv("VREL_PASSWORD"))
        return env;
    return "";
}

int ExitCodeForFailure(int resultCode) {
    return resultCode == kSocketNotReady || resultCode == kSocketError ? kExitSocketError : kExitBadInput;
}

void TellSendFailures(const KvVRELClient& client, const std::function<void()>& send) {
    try {
        send();
    } catch (const Exception&) {
        std::cerr << SendFailureText(client.LastSend());
        throw;
    }
    std::cerr << SendFailureText(client.LastSend());
}

int SecondsLeft(std::int64_t deadline) {
    const std::int64_t ms = deadline - KvVRELClient::TickCount();
    return ms <= 0 ? 0 : static_cast<int>((ms + 999) / 1000);
}

int RunCommandLine(const QStringList& line) {
    QStringList args = line;
    // --verbose may stand before the command or among its options; QT_LOGGING_RULES in the
    // environment still overrides it.
    if (args.contains("--verbose"))
        QLoggingCategory::setFilterRules("vrel.*.debug=true");
    if (args.size() > 1 && args.at(1) == "--verbose")
        args.removeAt(1);
    const QString command = args.size() > 1 ? args.at(1) : QString();
    try {
        const std::pair<const char*, int (*)(const QStringList&)> commands[] = {
            {"discover", RunDiscover}, {"set", RunSet},       {"get", RunGet},
            {"apply", RunApply},       {"assign", RunAssign}, {"journal", RunJournal}};
        for (const auto& [name, run] : commands) {
            if (command == name)
                return run(args.mid(1)); // the command's own name stands in for argv[0]
        }
        if (command == "--version" || command == "-v") {
            std::cout << "vrel " VREL_VERSION "\n";
            return kExitOk;
        }
        if (command == "--help" || command == "-h" || command == "help") {
            std::cout << "Usage: vrel COMMAND [OPTIONS]\n\n"
                         "Finds VREL devices on the local network and sets their IP address.\n\n"
                         "Commands:\n"
                         "  discover   list every device that answers a broadcast\n"
                         "  set MAC    write a new IP address and netmask into one device\n"
                         "  get MAC    read variables of one device\n"
                         "  apply PLAN set and verify many devices from a CSV plan\n"
                         "  assign     write a plan giving the devices found a range of addresses\n"
                         "  journal    print the record of every Set made from this account\n\n"
                         "Options:\n"
                         "  -h, --help     this text; 'vrel COMMAND --help' for a command\n"
                         "  -v, --version  the version\n"
                         "  --verbose      log on stderr why answers were dropped\n";
            return kExitOk;
        }
        throw UsageError(command.isEmpty() ? "no command given; try 'vrel --help'"
                                           : "unknown command '" + command.toStdString() +
                                                 "'; try 'vrel --help'");
    } catch (const std::invalid_argument& e) {
        std::cerr << "vrel: " << e.what() << "\n";
        return kExitBadInput;
    } catch (const Exception& e) {
        std::cerr << e.Message() << "\n";
        return ExitCodeForFailure(e.HelpContext());
    }
}

} // namespace vrel::cli
