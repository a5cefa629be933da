#include "DeviceAddress.h"

#include "NumberText.h"

#include <bit>
#include <cctype>
#include <charconv>

namespace vrel {

namespace {

bool IsContiguousNetmask(std::uint32_t mask) {
    const std::uint32_t inverted = ~mask;
    return (inverted & (inverted + 1)) == 0;
}

std::string Subnet(std::uint32_t address, std::uint32_t mask) {
    return FormatDottedQuad(address & mask) + "/" + std::to_string(std::popcount(mask));
}

// The rule of AddressProblem; --force may override what it refuses.
AddressRefusal FindProblem(std::uint32_t address, std::uint32_t mask) {
    using enum AddressRefusal::Field;
    const std::uint32_t first = address >> 24;
    const std::string quoted = FormatDottedQuad(address);
    if (first == 0)
        return {kIpAddress, quoted + " is in 0.0.0.0/8, which stands for this host, not a device"};
    if (first == 127)
        return {kIpAddress, quoted + " is a loopback address (127.0.0.0/8)"};
    if (first >= 224)
        return {kIpAddress,
                quoted + " is a multicast, reserved or broadcast address (224.0.0.0 and above)"};
    if (!IsContiguousNetmask(mask))
        return {kNetmask, "netmask " + FormatDottedQuad(mask) + " has holes"};
    if (mask == 0)
        return {kNetmask, "netmask 0.0.0.0 puts every address on one subnet"};
    if (~mask < 3)
        return {kNetmask, "netmask " + FormatDottedQuad(mask) +
                              " (/31 or /32) leaves no host address on a subnet"};
    const std::uint32_t host = address & ~mask;
    if (host == 0)
        return {kIpAddress,
                quoted + " is the network address of its subnet " + Subnet(address, mask)};
    if (host == ~mask)
        return {kIpAddress,
                quoted + " is the broadcast address of its subnet " + Subnet(address, mask)};
    return {};
}

} // namespace

std::optional<std::uint32_t> ParseDottedQuad(std::string_view text) {
    std::uint32_t address = 0;
    const char* at = text.data();
    const char* const end = at + text.size();
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && (at == end || *at++ != '.'))
            return std::nullopt;
        unsigned value = 0;
        const auto [next, error] = std::from_chars(at, end, value);
        const auto digits = next - at;
        if (error != std::errc() || digits > 3 || value > 255 || (digits > 1 && *at == '0'))
            return std::nullopt;
        address = (address << 8) | value;
        at = next;
    }
    return at == end ? std::optional(address) : std::nullopt;
}

// Twice in every Discover answer decoded: plain digits, not a text per part.
std::string FormatDottedQuad(std::uint32_t address) {
    char buf[16];
    char* at = buf;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (shift < 24)
            *at++ = '.';
        at = std::to_chars(at, buf + sizeof buf, (address >> shift) & 0xFF).ptr;
    }
    return std::string(buf, at);
}

std::optional<std::uint32_t> ParseNetmask(std::string_view text) {
    const auto mask = ParseDottedQuad(text);
    return mask && IsContiguousNetmask(*mask) ? mask : std::nullopt;
}

std::optional<std::string> NormalizeMac(std::string_view text) {
    // Either twelve digits in a row, or a separator after every pair but the last.
    const bool separated = text.size() == 17;
    if (!separated && text.size() != 12)
        return std::nullopt;
    const char separator = separated ? text[2] : '\0';
    if (separated && separator != ':' && separator != '-' && separator != ' ')
        return std::nullopt;
    std::string digits;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool atSeparator = separated && i % 3 == 2;
        if (atSeparator ? text[i] != separator : HexDigit(text[i]) < 0)
            return std::nullopt;
        if (!atSeparator)
            digits += static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    }
    return digits;
}

std::string GroupMacProblem(std::string_view mac) {
    // The group bit is the low bit of the first octet, so of its second hex digit.
    if (mac.size() != 12 || HexDigit(mac[0]) < 0 || HexDigit(mac[1]) < 0 ||
        HexDigit(mac[1]) % 2 == 0)
        return {}; // not a MAC address at all, or an individual one
    return "MAC address " + std::string(mac) +
           " is a group address that every listening device takes as its own; a Set is never "
           "sent to it";
}

std::string AddressProblem(std::uint32_t address, std::uint32_t mask) {
    return FindProblem(address, mask).reason;
}

std::optional<AddressRefusal> CheckDeviceAddress(std::string_view ip, std::string_view netmask,
                                                 bool force) {
    const auto address = ParseDottedQuad(ip);
    if (!address)
        return AddressRefusal{AddressRefusal::kIpAddress,
                              "'" + std::string(ip) +
                                  "' is not a valid IP address: four decimal numbers 0 to 255 "
                                  "joined by dots, without leading zeros"};
    const auto mask = ParseNetmask(netmask);
    if (!mask)
        return AddressRefusal{AddressRefusal::kNetmask,
                              "'" + std::string(netmask) +
                                  "' is not a valid netmask: a dotted quad whose one bits run "
                                  "from the top without a gap"};
    if (force)
        return std::nullopt;
    AddressRefusal problem = FindProblem(*address, *mask);
    problem.overridable = true;
    return problem.reason.empty() ? std::nullopt : std::optional(std::move(problem));
}

} // namespace vrel
