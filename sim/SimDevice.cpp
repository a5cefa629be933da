#include "SimDevice.h"

#include "DeviceAddress.h"
#include "ValueCodec.h"

namespace vrel {

std::string SimDevice::macText() const {
    return bytes_to_hex(mac);
}

std::optional<std::string> parse_mac(const std::string& text) {
    const auto digits = NormalizeMac(text);
    return digits ? std::optional(hex_to_bytes(*digits)) : std::nullopt;
}

std::vector<SimDevice> generate_devices(int count, const std::string& password) {
    std::vector<SimDevice> devices;
    for (int i = 0; i < count; ++i) {
        SimDevice d;
        d.productCode = static_cast<std::uint16_t>(0x1000 + i);
        d.modelName = "SIM-" + std::to_string(i + 1);
        const std::uint64_t mac = 0x020000000001ULL + static_cast<std::uint64_t>(i);
        for (int shift = 40; shift >= 0; shift -= 8)
            d.mac += static_cast<char>((mac >> shift) & 0xFF);
        const auto subnet = static_cast<std::uint32_t>(i / 254);
        const auto host = static_cast<std::uint32_t>(i % 254 + 1);
        d.ipAddress = FormatDottedQuad((10u << 24) + (subnet << 8) + host);
        d.netmask = "255.255.255.0";
        d.password = password;
        devices.push_back(std::move(d));
    }
    return devices;
}

} // namespace vrel
