#pragma once

#include "ValueCodec.h"

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

    std::string macText() const { return bytes_to_hex(mac); } // twelve upper-case hex digits
};

// The six bytes of a MAC address in one of the notations NormalizeMac accepts, or nothing.
std::optional<std::string> parse_mac(const std::string& text);

// count devices for --devices: product codes 0x1000 up, model names "SIM-1" up, MACs from
// 02:00:00:00:00:01 up (a locally administered range), addresses from 10.0.0.1 up, skipping
// the .0 and .255 host parts of their /24, and one password.
constexpr int kMaxGeneratedDevices = 10000;
std::vector<SimDevice> generate_devices(int count, const std::string& password);

} // namespace vrel
