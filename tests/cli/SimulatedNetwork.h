#pragma once

#include "CliText.h"
#include "NetworkSandbox.h"
#include "SimulatorProcess.h"
#include "VrelRun.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vrel::test {

// The devices of the device file. The relay wants a password, the sensor has none; their
// model names need quoting in CSV.
inline const Device kRelay{"4660",     "Relay, 4 channels", "0A0000000001",
                                   "10.0.0.1", "255.255.255.0",     ""};
inline const Device kSensor{"22136",    "Sensor \"S2\"", "0A0000000002",
                                    "10.0.1.2", "255.255.0.0",   ""};
inline const std::string kRelayPassword = "secret";

// A segment of simulated devices that only this test's vrel reaches: every test process has
// a network namespace of its own.
class SimulatedNetwork : public ::testing::Test {
protected:
    // vrel-sim with the relay and the sensor; true once it is listening.
    bool StartDeviceFile(const QStringList& extra = {});
    // vrel-sim with the devices of these CSV rows (after the header); the first row's MAC
    // serves as the marker device.
    bool StartDeviceRows(const std::string& rows, const std::string& firstMac,
                         const QStringList& extra = {});
    // vrel-sim with count generated devices 020000000001, 020000000002, ...
    bool StartGenerated(int count, const QStringList& extra = {});
    SimulatorProcess& Sim() { return *sim_; }

    // The request lines the simulator logged while action ran. A Get for the first device
    // sent behind the action marks the end: the simulator takes datagrams in order.
    std::vector<std::string> RequestsDuring(const std::function<void()>& action);
    // "ip=IP\nmask=NETMASK\n" of a device as it answers a Get now.
    std::string AddressesOf(const std::string& mac);

private:
    bool Start(QStringList args);

    QTemporaryDir dir_;
    std::unique_ptr<SimulatorProcess> sim_;
    std::string firstMac_;
};

// A row as one text, for comparisons and messages.
std::string Text(const Device& row);
// The row as it arrives over the sandbox's loopback.
Device OnLoopback(Device row);

} // namespace vrel::test
