#pragma once

#include "SimDevice.h"

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace vrel {

// Misbehaviour to put on the answers, drawn from the simulator's seeded generator so that a
// run can be repeated. Percentages are 0..100.
struct SimFaults {
    int spreadMs = 200;           // answers to one broadcast are spread over this window
    int delayMs = 0;              // added to every answer
    double lossPercent = 0;       // an answer is not sent
    double duplicatePercent = 0;  // an answer is sent twice
    double garbagePercent = 0;    // an answer is replaced by a malformed datagram
    std::set<std::string> silent; // six-byte MACs of devices that never answer
    double setLossPercent = 0;    // an answer to a Set is not sent, after the device took it
    int restartMs = 0; // silent after a Set it took, as devices restarting their network are
    bool takeBroadcastSet = false; // all take a Set to FFFFFFFFFFFF, as some firmware does
};

// One datagram to send back to the requester, delayMs after the request arrived.
struct SimAnswer {
    std::string datagram;
    int delayMs = 0;

    bool operator==(const SimAnswer&) const = default;
};

struct SimResult {
    std::vector<SimAnswer> answers; // in order of delay
    std::vector<std::string> log;   // one line per request and per change of a device
};

// The devices of a simulated network segment, without sockets: each received datagram goes
// in, the answers the devices would send come out.
class VrelSimulator {
public:
    explicit VrelSimulator(std::vector<SimDevice> devices, SimFaults faults = {},
                           std::uint32_t seed = 1);

    // nowMs: the time the datagram arrived, on any monotonic millisecond clock.
    SimResult handle(const std::string& datagram, std::int64_t nowMs = 0);

    const std::vector<SimDevice>& devices() const { return devices_; }

private:
    struct Reply {
        const SimDevice* device;
        std::uint8_t status;
        std::string payload;
    };

    // Discover, and any unknown command: answered by every addressed device.
    void broadcast(const std::string& request, std::uint8_t status, std::int64_t nowMs,
                   SimResult& result);
    void get(const std::string& request, SimDevice& device, SimResult& result);
    void set(const std::string& request, SimDevice& device, std::int64_t nowMs, SimResult& result);

    std::vector<SimDevice*> addressed(const std::string& targetMac, bool broadcastAllowed,
                                      std::int64_t nowMs);
    // Sends replies to one request: spread over the window when several devices answer, then
    // the faults applied. Returns the faults for the log line, as ", 1 lost".
    std::string send(const std::string& request, std::vector<Reply> replies, SimResult& result);
    std::string garble(std::string datagram);

    bool chance(double percent);
    std::uint32_t below(std::uint32_t bound);

    std::vector<SimDevice> devices_;
    SimFaults faults_;
    std::mt19937 rng_;
};

} // namespace vrel
