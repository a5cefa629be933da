#include "SimDevice.h"

#include "ValueCodec.h"

#include <cctype>

namespace vrel {

std::string SimDevice::macText() const {
    return bytes_to_hex(mac);
}

std::optional<std::string> parse_mac(const std::string& text) {
    std::string digits;
    if (text.size() == 17) {
        // Pairs joined by one separator kind, as ip and ifconfig print them.
        const char sep = text[2];
        if (sep != ':' && sep != '-')
            return std::nullopt;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (i % 3 == 2) {
                if (text[i] != sep)
                    return std::nullopt;
            } else {
                digits += text[i];
            }
        }
    } else {
        digits = text;
    }
    if (digits.size() != 12)
        return std::nullopt;
    for (const char c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
    }
    return hex_to_bytes(digits);
}

std::optional<std::uint32_t> parse_dotted_ipv4(const std::string& text) {
    std::uint32_t address = 0;
    std::size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (pos >= text.size() || text[pos] != '.')
                return std::nullopt;
            ++pos;
        }
        std::size_t digits = 0;
        unsigned value = 0;
        while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])) &&
               digits < 4) {
            value = value * 10 + static_cast<unsigned>(text[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255)
            return std::nullopt;
        address = (address << 8) | value;
    }
    if (pos != text.size())
        return std::nullopt;
    return address;
}

std::string format_ipv4(std::uint32_t address) {
    return std::to_string(address >> 24) + '.' + std::to_string((address >> 16) & 0xFF) + '.' +
           std::to_string((address >> 8) & 0xFF) + '.' + std::to_string(address & 0xFF);
}

bool is_contiguous_netmask(std::uint32_t mask) {
    const std::uint32_t inverted = ~mask;
    return (inverted & (inverted + 1)) == 0;
}

std::string address_problem(std::uint32_t address, std::uint32_t mask) {
    const std::uint32_t first = address >> 24;
    if (first == 0 || first == 127 || first >= 224)
        return "not a unicast address";
    if (mask == 0 || !is_contiguous_netmask(mask))
        return "not a valid netmask";
    const std::uint32_t host = address & ~mask;
    // /31 and /32 have no network or broadcast address of their own.
    if (~mask > 1 && (host == 0 || host == ~mask))
        return "the network or broadcast address of its subnet";
    return {};
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
        d.ipAddress = format_ipv4((10u << 24) + (subnet << 8) + host);
        d.netmask = "255.255.255.0";
        d.password = password;
        devices.push_back(std::move(d));
    }
    return devices;
}

} // namespace vrel
