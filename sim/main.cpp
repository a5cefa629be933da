// vrel-sim: simulated devices answering on UDP, to run and test the tools without hardware.

#include "SimDeviceFile.h"
#include "SimServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace vrel;

constexpr int kUsageExit = 2;

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void print(const QString& line) {
    std::fprintf(stderr, "vrel-sim: %s\n", line.toLocal8Bit().constData());
}

long long number_option(const QCommandLineParser& parser, const QString& name, long long min,
                        long long max) {
    bool ok = false;
    const long long value = parser.value(name).toLongLong(&ok);
    if (!ok || value < min || value > max)
        throw UsageError(
            QString("--%1 needs a whole number from %2 to %3, not '%4'")
                .arg(name, QString::number(min), QString::number(max), parser.value(name))
                .toStdString());
    return value;
}

double percent_option(const QCommandLineParser& parser, const QString& name) {
    bool ok = false;
    const double value = parser.value(name).toDouble(&ok);
    if (!ok || !(value >= 0 && value <= 100))
        throw UsageError(QString("--%1 needs a percentage from 0 to 100, not '%2'")
                             .arg(name, parser.value(name))
                             .toStdString());
    return value;
}

std::vector<SimDevice> devices_from(const QCommandLineParser& parser) {
    if (parser.isSet("device-file")) {
        if (parser.isSet("devices") || parser.isSet("password"))
            throw UsageError("--device-file takes the devices and their passwords from the "
                             "file; leave out --devices and --password");
        auto devices =
            load_device_file(parser.value("device-file").toStdString(), parser.isSet("clones"));
        if (devices.empty())
            throw UsageError(parser.value("device-file").toStdString() +
                             ": the file holds no devices");
        return devices;
    }
    const auto count = static_cast<int>(number_option(parser, "devices", 1, kMaxGeneratedDevices));
    return generate_devices(count, parser.value("password").toStdString());
}

SimFaults faults_from(const QCommandLineParser& parser, const std::vector<SimDevice>& devices) {
    SimFaults f;
    f.spreadMs = static_cast<int>(number_option(parser, "spread", 0, 60000));
    f.delayMs = static_cast<int>(number_option(parser, "delay", 0, 60000));
    f.lossPercent = percent_option(parser, "loss");
    f.setLossPercent = percent_option(parser, "set-loss");
    f.duplicatePercent = percent_option(parser, "duplicate");
    f.garbagePercent = percent_option(parser, "garbage");
    f.restartMs = static_cast<int>(number_option(parser, "restart-ms", 0, 600000));
    f.takeBroadcastSet = parser.isSet("take-broadcast-set");
    for (const QString& text : parser.values("silent")) {
        const auto mac = parse_mac(text.toStdString());
        if (!mac || std::ranges::find(devices, *mac, &SimDevice::mac) == devices.end())
            throw UsageError("--silent " + text.toStdString() + ": no device has this MAC");
        f.silent.insert(*mac);
    }
    return f;
}

// Signals end the event loop through a socket pair, the one thing a handler may safely do.
int signalPipe[2];

void on_signal(int) {
    const char c = 1;
    (void)!write(signalPipe[0], &c, 1);
}

void quit_on_signals(QCoreApplication& app) {
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    // glibc's signal() restarts calls the signal interrupts (SA_RESTART).
    std::signal(SIGTERM, on_signal);
    std::signal(SIGINT, on_signal);
}

void AddOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        "Simulates VREL devices: answers Discover, Get and Set on UDP port 64512.\n"
        "A Discover to FFFFFFFFFFFF reaches every device, one to a device's MAC only that "
        "device; Get and Set are answered by the device with the target MAC.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {"devices", "Simulate <N> generated devices (default 1).", "N", "1"},
        {"device-file",
         "Read the devices from a CSV <file> with the header "
         "productCode,modelName,macAddress,ipAddress,netmask,password.",
         "file"},
        {"clones", "Let the device file give one MAC address to several devices, as cloned "
                   "devices do; each of them answers a Discover."},
        {"password", "Password of the generated devices (default empty).", "PW"},
        {"spread", "Spread the answers to a broadcast over <ms> (default 200).", "ms", "200"},
        {"seed", "Seed of the random order and faults (default: random, printed).", "N"},
        {"loss", "Drop <pct> percent of the answers.", "pct", "0"},
        {"set-loss",
         "Drop <pct> percent of the answers to Set; the device has taken the Set all the same.",
         "pct", "0"},
        {"duplicate", "Send <pct> percent of the answers twice.", "pct", "0"},
        {"delay", "Delay every answer by <ms> more.", "ms", "0"},
        {"restart-ms",
         "A device answers nothing for <ms> after a Set it took, as devices that restart "
         "their network do.",
         "ms", "0"},
        {"take-broadcast-set",
         "Devices take a Set addressed to FFFFFFFFFFFF, every one of them (for tests of "
         "what a tool must never send)."},
        {"silent", "The device with <MAC> never answers (repeatable).", "MAC"},
        {"garbage", "Replace <pct> percent of the answers by malformed datagrams.", "pct", "0"},
        {"quiet", "Print no line per request."},
        {"port", "Listen and answer on <port> (default 64512; other ports are for tests).", "port",
         QString::number(kVrelPort)},
    });
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("vrel-sim");
    QCoreApplication::setApplicationVersion(VREL_VERSION);

    QCommandLineParser parser;
    AddOptions(parser);

    try {
        if (!parser.parse(app.arguments()))
            throw UsageError(parser.errorText().toStdString());
        if (parser.isSet("help"))
            parser.showHelp(0);
        if (parser.isSet("version"))
            parser.showVersion();
        if (!parser.positionalArguments().isEmpty())
            throw UsageError("unexpected argument '" +
                             parser.positionalArguments().front().toStdString() + "'");
        auto devices = devices_from(parser);
        SimFaults faults = faults_from(parser, devices);
        const auto seed =
            parser.isSet("seed")
                ? static_cast<std::uint32_t>(number_option(parser, "seed", 0, 0xFFFFFFFFLL))
                : std::random_device{}();
        const auto port = static_cast<std::uint16_t>(number_option(parser, "port", 1, 65535));
        const std::size_t count = devices.size();

        SimServer server(VrelSimulator(std::move(devices), std::move(faults), seed), port);
        if (!parser.isSet("quiet"))
            QObject::connect(&server, &SimServer::logLine, &print);
        if (const QString error = server.start(); !error.isEmpty()) {
            print(QString("cannot listen on port %1: %2").arg(port).arg(error));
            return 1;
        }
        quit_on_signals(app);
        print(QString("%1 device%2 listening on port %3 (seed %4)")
                  .arg(count)
                  .arg(count == 1 ? "" : "s")
                  .arg(port)
                  .arg(seed));
        const int rc = QCoreApplication::exec();
        if (!parser.isSet("quiet"))
            print("stopped");
        return rc;
    } catch (const std::runtime_error& e) { // a UsageError or SimDeviceFileError
        print(QString::fromStdString(e.what()));
        std::fprintf(stderr, "Try 'vrel-sim --help'.\n");
        return kUsageExit;
    }
}
