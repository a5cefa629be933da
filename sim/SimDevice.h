#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vrel {

// One simulated device: what it reports to Discover and Get, and the password that must enter
// the digest of a Set addressed to it.
struct SimDevice {
    std::uint16_t productCode = 0;
    std::string modelName;
    std::string mac;       // six bytes
    std::string ipAddress; // dotted decimal
    std::string netmask;   // dotted decimal
    std::string password;
    std::int64_t silentUntilMs = 0; // restarting after a Set until then

    std::string macText() const; // twelve upper-case hex digits
};

// The six bytes of a MAC address in one of the notations NormalizeMac accepts, or nothing.
std::optional<std::string> parse_mac(const std::string& text);

// count devices for --devices: product codes 0x1000, 0x1001, ..., model names "SIM-1", ...,
// MACs 02:00:00:00:00:01 counting up (a locally administered range), addresses counting up
// from 10.0.0.1 in 10.0.0.0/24-sized steps that skip the .0 and .255 host parts, netmask
// 255.255.255.0, all with the same password.
constexpr int kMaxGeneratedDevices = 10000;
std::vector<SimDevice> generate_devices(int count, const std::string& password);

} // namespace vrel
