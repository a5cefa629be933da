#include "../sim/SimTestSupport.h"
#include "NetworkSandbox.h"
#include "SimServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QProcess>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <set>

namespace vrel {
namespace {

using test::Discover;
using test::HexOf;
using test::Request;
using test::SetRequest;
using ::testing::HasSubstr;

// Every test listens on a port of its own, never on the device port: other test programs of
// the same run share the network namespace, and their devices would answer our broadcasts.
std::uint16_t FreePort() {
    QUdpSocket probe;
    EXPECT_TRUE(probe.bind(QHostAddress::AnyIPv4, 0, QUdpSocket::DontShareAddress));
    return probe.localPort();
}

struct Received {
    std::string datagram;
    quint16 fromPort = 0;
};

// A bare client: broadcasts a request and collects the answers.
class Client {
public:
    Client() { EXPECT_TRUE(socket_.bind(QHostAddress::AnyIPv4, 0)); }

    // Broadcasts and waits for count answers, then a little longer for any surplus.
    std::vector<Received> Ask(const std::string& request, std::uint16_t port, std::size_t count,
                              int timeoutMs = 3000) {
        socket_.writeDatagram(QByteArray(request.data(), qsizetype(request.size())),
                              QHostAddress::Broadcast, port);
        std::vector<Received> got;
        QElapsedTimer clock;
        clock.start();
        qint64 enough = timeoutMs;
        while (clock.elapsed() < enough) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            socket_.waitForReadyRead(10);
            while (socket_.hasPendingDatagrams()) {
                const QNetworkDatagram d = socket_.receiveDatagram();
                got.push_back({d.data().toStdString(), quint16(d.senderPort())});
            }
            if (got.size() >= count && enough == timeoutMs)
                enough = clock.elapsed() + 150;
        }
        return got;
    }

private:
    QUdpSocket socket_;
};

std::set<std::string> MacsOf(const std::vector<Received>& answers) {
    std::set<std::string> macs;
    for (const auto& a : answers)
        macs.insert(HexOf(a.datagram.substr(28, 6)));
    return macs;
}

// The status byte and the payload decoded into the list, as the client would.
std::string Status(const Received& answer) {
    return HexOf(answer.datagram.substr(10, 1));
}

std::unique_ptr<KvVRELVarList> Decoded(const Received& answer, const VariableDef* table) {
    auto vars = KvVRELVarList::create_from_definitions(table);
    const auto* raw = reinterpret_cast<const std::uint8_t*>(answer.datagram.data());
    EXPECT_TRUE(check_response(raw, answer.datagram.size(), kVrelPort));
    EXPECT_GE(decode_payload(*vars, raw + 36, answer.datagram.size() - 36), 0);
    return vars;
}

// The vrel-sim executable, stopped when the test ends.
class SimProcess {
public:
    explicit SimProcess(QStringList args) {
        process_.start(VREL_BIN_DIR "/vrel-sim", args);
        EXPECT_TRUE(process_.waitForStarted(5000));
    }
    ~SimProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }

    // Reads stderr until a line containing text appears; all lines so far are kept.
    bool WaitFor(const QString& text, int timeoutMs = 5000) {
        QElapsedTimer clock;
        clock.start();
        while (!stderr_.contains(text) && clock.elapsed() < timeoutMs) {
            process_.waitForReadyRead(50);
            stderr_ += QString::fromLocal8Bit(process_.readAllStandardError());
            if (process_.state() == QProcess::NotRunning)
                break;
        }
        return stderr_.contains(text);
    }
    // Signals the process and returns its exit code, or -1 if it did not end normally.
    int Stop(int signal) {
        ::kill(pid_t(process_.processId()), signal);
        return Finish();
    }
    int Finish() {
        if (!process_.waitForFinished(5000))
            return -1;
        stderr_ += QString::fromLocal8Bit(process_.readAllStandardError());
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    QString Stderr() const { return stderr_; }

private:
    QProcess process_;
    QString stderr_;
};

TEST(SimNet, TwoServersSideBySideBothAnswer) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    const std::uint16_t port = FreePort();
    SimFaults faults;
    faults.spreadMs = 20;
    SimServer first(VrelSimulator(generate_devices(3, ""), faults), port);
    SimServer second(VrelSimulator({test::Device(1, "X", "0A0000000001", "10.9.0.1"),
                                    test::Device(2, "Y", "0A0000000002", "10.9.0.2")},
                                   faults),
                     port);
    ASSERT_EQ(first.start(), "");
    ASSERT_EQ(second.start(), "");
    Client client;
    const auto answers = client.Ask(Discover(77), port, 5);
    ASSERT_EQ(answers.size(), 5u);
    for (const auto& a : answers) {
        EXPECT_EQ(a.fromPort, port);
        EXPECT_EQ(std::uint8_t(a.datagram[5]), 77);
    }
    EXPECT_EQ(MacsOf(answers),
              (std::set<std::string>{"02 00 00 00 00 01", "02 00 00 00 00 02", "02 00 00 00 00 03",
                                     "0A 00 00 00 00 01", "0A 00 00 00 00 02"}));
}

TEST(SimNet, ServerIgnoresDatagramsFromTheDevicePort) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    const std::uint16_t port = FreePort();
    SimServer server(VrelSimulator(generate_devices(2, "")), port);
    ASSERT_EQ(server.start(), "");
    QStringList log;
    QObject::connect(&server, &SimServer::logLine, [&](const QString& l) { log << l; });
    // Another device's answer looks like a request; answering it could start an endless
    // exchange between two simulators.
    QUdpSocket device;
    ASSERT_TRUE(device.bind(QHostAddress::AnyIPv4, port, QUdpSocket::ShareAddress));
    device.writeDatagram(QByteArray::fromStdString(Discover(1)), QHostAddress::Broadcast, port);
    QElapsedTimer clock;
    clock.start();
    while (log.isEmpty() && clock.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    ASSERT_EQ(log.size(), 1);
    EXPECT_THAT(log[0].toStdString(), HasSubstr("ignored datagram from the device port"));
}

TEST(SimNet, ExecutableDiscoversSetsAndGets) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    const QString port = QString::number(FreePort());
    SimProcess sim(
        {"--devices", "3", "--password", "pw", "--spread", "10", "--seed", "3", "--port", port});
    ASSERT_TRUE(sim.WaitFor("\n")) << sim.Stderr().toStdString();
    EXPECT_EQ(sim.Stderr(), "vrel-sim: 3 devices listening on port " + port + " (seed 3)\n");
    Client client;
    const auto discovered = client.Ask(Discover(1), port.toUShort(), 3);
    ASSERT_EQ(discovered.size(), 3u);
    const auto record = Decoded(discovered[0], DiscoveryVariables());
    EXPECT_THAT(record->at(0).responseVars->at(1).value, ::testing::StartsWith("SIM-"));

    const std::string mac = "020000000002";
    const auto refused =
        client.Ask(SetRequest(mac, "wrong", "10.0.7.7", "255.255.0.0"), port.toUShort(), 1);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(Status(refused[0]), "11");
    const auto done =
        client.Ask(SetRequest(mac, "pw", "10.0.7.7", "255.255.0.0"), port.toUShort(), 1);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(Status(done[0]), "10");
    const auto got = client.Ask(Request(kGet, 4, mac, "", SetVariables), port.toUShort(), 1);
    ASSERT_EQ(got.size(), 1u);
    const auto values = Decoded(got[0], SetVariables);
    EXPECT_EQ(values->at(0).value, "10.0.7.7");
    EXPECT_EQ(values->at(1).value, "255.255.0.0");

    EXPECT_EQ(sim.Stop(SIGTERM), 0);
    EXPECT_THAT(sim.Stderr().toStdString(),
                HasSubstr("IP address 10.0.0.2 -> 10.0.7.7, netmask 255.255.255.0 -> 255.255.0.0"));
    EXPECT_THAT(sim.Stderr().toStdString(), HasSubstr("vrel-sim: stopped\n"));
}

TEST(SimNet, TwoExecutablesSideBySideBothAnswer) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    QTemporaryDir dir;
    const QString file = dir.filePath("devices.csv");
    std::ofstream(file.toStdString())
        << "productCode,modelName,macAddress,ipAddress,netmask,password\n"
           "7,\"File, one\",0A0000000001,192.168.5.1,255.255.255.0,x\n"
           "8,File two,0A0000000002,192.168.5.2,255.255.255.0,y\n";
    const QString port = QString::number(FreePort());
    SimProcess generated({"--devices", "2", "--quiet", "--port", port});
    SimProcess fromFile({"--device-file", file, "--quiet", "--port", port});
    ASSERT_TRUE(generated.WaitFor("listening")) << generated.Stderr().toStdString();
    ASSERT_TRUE(fromFile.WaitFor("2 devices listening")) << fromFile.Stderr().toStdString();
    Client client;
    const auto answers = client.Ask(Discover(5), port.toUShort(), 4);
    EXPECT_EQ(MacsOf(answers), (std::set<std::string>{"02 00 00 00 00 01", "02 00 00 00 00 02",
                                                      "0A 00 00 00 00 01", "0A 00 00 00 00 02"}));
    EXPECT_EQ(answers.size(), 4u);
    EXPECT_EQ(generated.Stop(SIGINT), 0);
    EXPECT_EQ(fromFile.Stop(SIGTERM), 0);
    EXPECT_THAT(fromFile.Stderr().toStdString(), ::testing::Not(HasSubstr("Discover")));
}

TEST(SimNet, ExecutableAppliesFaults) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    const QString port = QString::number(FreePort());
    SimProcess sim({"--devices", "5", "--silent", "02:00:00:00:00:03", "--duplicate", "100",
                    "--delay", "30", "--port", port});
    ASSERT_TRUE(sim.WaitFor("listening")) << sim.Stderr().toStdString();
    Client client;
    QElapsedTimer clock;
    clock.start();
    const auto answers = client.Ask(Discover(9), port.toUShort(), 8);
    EXPECT_GE(clock.elapsed(), 30);
    EXPECT_EQ(answers.size(), 8u);
    EXPECT_EQ(MacsOf(answers).count("02 00 00 00 00 03"), 0u);
    EXPECT_TRUE(sim.WaitFor("4 answers, 4 duplicated")) << sim.Stderr().toStdString();
}

TEST(SimNet, ExecutableRefusesBadOptions) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    QTemporaryDir dir;
    const QString badFile = dir.filePath("bad.csv");
    std::ofstream(badFile.toStdString())
        << "productCode,modelName,macAddress,ipAddress,netmask,password\n1,A,nope,1.2.3.4,"
           "255.0.0.0,\n";
    const std::pair<QStringList, const char*> cases[] = {
        {{"--devices", "0"}, "--devices needs a whole number from 1 to 10000, not '0'"},
        {{"--devices", "many"}, "--devices needs a whole number"},
        {{"--loss", "101"}, "--loss needs a percentage from 0 to 100"},
        {{"--garbage", "-1"}, "--garbage needs a percentage"},
        {{"--spread", "-1"}, "--spread needs a whole number"},
        {{"--port", "70000"}, "--port needs a whole number from 1 to 65535"},
        {{"--silent", "0200000000FF"}, "--silent 0200000000FF: no device has this MAC"},
        {{"--device-file", "/nonexistent.csv"}, "/nonexistent.csv: "},
        {{"--device-file", badFile}, "line 2: MAC address 'nope'"},
        {{"--devices", "2", "--device-file", badFile}, "leave out --devices and --password"},
        {{"--bogus"}, "Unknown option 'bogus'"},
        {{"extra"}, "unexpected argument 'extra'"},
    };
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        SimProcess sim(args);
        EXPECT_EQ(sim.Finish(), 2);
        EXPECT_THAT(sim.Stderr().toStdString(), HasSubstr(message));
        EXPECT_THAT(sim.Stderr().toStdString(), HasSubstr("Try 'vrel-sim --help'."));
    }
}

} // namespace
} // namespace vrel
