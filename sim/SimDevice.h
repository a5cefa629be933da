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

    std::string macText() const; // twelve upper-case hex digits
};

// Twelve hex digits, optionally written in pairs joined by ':' or '-'; the six bytes, or
// nothing for any other text.
std::optional<std::string> parse_mac(const std::string& text);

// Strict dotted decimal: exactly four parts of one to three digits, each 0..255. Device
// addresses come from files and command lines, where "10.1" is far more likely a typo than the
// short form the socket library would read it as.
std::optional<std::uint32_t> parse_dotted_ipv4(const std::string& text);
std::string format_ipv4(std::uint32_t address);

// A netmask is a run of one bits from the top followed by zero bits only.
bool is_contiguous_netmask(std::uint32_t mask);

// Whether a device can be given this address with this netmask: a unicast address (not
// 0.x, 127.x, multicast or reserved), a contiguous non-zero netmask, and not the network or
// broadcast address of its subnet. Empty on success, else the reason.
std::string address_problem(std::uint32_t address, std::uint32_t mask);

// count devices for --devices: product codes 0x1000, 0x1001, ..., model names "SIM-1", ...,
// MACs 02:00:00:00:00:01 counting up (a locally administered range), addresses counting up
// from 10.0.0.1 in 10.0.0.0/24-sized steps that skip the .0 and .255 host parts, netmask
// 255.255.255.0, all with the same password.
constexpr int kMaxGeneratedDevices = 10000;
std::vector<SimDevice> generate_devices(int count, const std::string& password);

} // namespace vrel
