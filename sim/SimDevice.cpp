#include "SimDevice.h"

#include "DeviceAddress.h"

namespace vrel {

std::optional<std::string> parse_mac(const std::string& text) {
    const auto digits = NormalizeMac(text);
    return digits ? std::optional(hex_to_bytes(*digits)) : std::nullopt;
}

std::vector<SimDevice> generate_devices(int count, const std::string& password) {
    std::vector<SimDevice> devices;
    for (int i = 0; i < count; ++i) {
        const int n = i + 1; // the low two bytes of the MAC address
        devices.push_back({static_cast<std::uint16_t>(0x1000 + i), "SIM-" + std::to_string(n),
                           std::string("\x02\0\0\0", 4) + char(n >> 8) + char(n & 0xFF),
                           "10.0." + std::to_string(i / 254) + "." + std::to_string(i % 254 + 1),
                           "255.255.255.0", password});
    }
    return devices;
}

} // namespace vrel
