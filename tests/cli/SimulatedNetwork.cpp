#include "SimulatedNetwork.h"

#include <fstream>

namespace vrel::test {

bool SimulatedNetwork::StartDeviceFile(const QStringList& extra) {
    const std::string path = dir_.filePath("devices.csv").toStdString();
    std::ofstream(path, std::ios::binary)
        << "productCode,modelName,macAddress,ipAddress,netmask,password\r\n"
        << "4660,\"Relay, 4 channels\",0a:00:00:00:00:01,10.0.0.1,255.255.255.0,secret\r\n"
        << "22136,\"Sensor \"\"S2\"\"\",0A0000000002,10.0.1.2,255.255.0.0,\r\n";
    firstMac_ = kRelay.macAddress;
    return Start(QStringList{"--device-file", QString::fromStdString(path)} + extra);
}

bool SimulatedNetwork::StartDeviceRows(const std::string& rows, const std::string& firstMac,
                                       const QStringList& extra) {
    const std::string path = dir_.filePath("rows.csv").toStdString();
    std::ofstream(path, std::ios::binary)
        << "productCode,modelName,macAddress,ipAddress,netmask,password\r\n"
        << rows;
    firstMac_ = firstMac;
    return Start(QStringList{"--device-file", QString::fromStdString(path)} + extra);
}

bool SimulatedNetwork::StartGenerated(int count, const QStringList& extra) {
    firstMac_ = "020000000001";
    return Start(QStringList{"--devices", QString::number(count)} + extra);
}

bool SimulatedNetwork::Start(QStringList args) {
    // A short spread keeps every Discover well inside the short time-outs used here; a later
    // --spread in extra wins.
    args.prepend("20");
    args.prepend("--spread");
    sim_.reset(); // a second simulator on the port would answer as well
    sim_ = std::make_unique<SimulatorProcess>(args);
    return sim_->Ready();
}

std::vector<std::string> SimulatedNetwork::RequestsDuring(const std::function<void()>& action) {
    Sim().SkipLogged();
    action();
    const QStringList marker = {
        "get", QString::fromStdString(firstMac_), "--var", "4:ipaddress:marker", "--timeout", "1"};
    const VrelRun run = RunVrel(marker);
    EXPECT_EQ(run.exitCode, 0) << Describe(marker, run);
    auto lines = Sim().RequestLinesUntil("ids 4: ok");
    EXPECT_FALSE(lines.empty()) << "the marker Get did not reach the simulator\n" << Sim().Log();
    if (!lines.empty())
        lines.pop_back();
    return lines;
}

std::string SimulatedNetwork::AddressesOf(const std::string& mac) {
    const QStringList args = {"get",   QString::fromStdString(mac), "--var",     "3:ipaddress:ip",
                              "--var", "4:ipaddress:mask",          "--timeout", "1"};
    const VrelRun run = RunVrel(args);
    EXPECT_EQ(run.exitCode, 0) << Describe(args, run);
    return run.out;
}

std::string Text(const Device& row) {
    return row.productCode + " | " + row.modelName + " | " + row.macAddress + " | " +
           row.ipAddress + " | " + row.netmask +
           (row.interfaceName.empty() ? "" : " | " + row.interfaceName);
}

Device OnLoopback(Device row) {
    row.interfaceName = "lo";
    return row;
}

} // namespace vrel::test
