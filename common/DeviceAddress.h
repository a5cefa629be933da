#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vrel {

// A dotted quad of four decimal numbers 0..255 without leading zeros: the only form a user can
// mean unambiguously (the socket library reads "010" as octal 8 and "10.1" as 10.0.0.1).
std::optional<std::uint32_t> ParseDottedQuad(std::string_view text);
std::string FormatDottedQuad(std::uint32_t address);
// A dotted quad whose one bits run from the top without a gap, none and all included.
std::optional<std::uint32_t> ParseNetmask(std::string_view text);
// Twelve hex digits, or six pairs joined by one kind of separator (':', '-' or a blank), as
// labels, ip and ifconfig print them; the twelve digits in upper case, else nothing.
std::optional<std::string> NormalizeMac(std::string_view text);

// Why a Set must never go to this MAC address (twelve hex digits), or empty: every device
// listening to a group address (FFFFFFFFFFFF among them) would take one address at once.
std::string GroupMacProblem(std::string_view mac);

// Why a device must not be given address with mask, or empty when it may: not in 0/8, 127/8 or
// 224/4 and above, a netmask of /1 to /30, and neither the network nor the broadcast address of
// its subnet. A device given any of these is lost to its network until reset by hand.
std::string AddressProblem(std::uint32_t address, std::uint32_t mask);

struct AddressRefusal {
    enum Field { kIpAddress, kNetmask };
    Field field = kIpAddress;
    std::string reason;       // what is wrong, naming the text
    bool overridable = false; // readable, refused by the AddressProblem rule only
};

// Syntax of both texts first, then, unless force is set, the AddressProblem rule. Nothing when
// the pair may be sent. force never lets an unreadable text through.
std::optional<AddressRefusal> CheckDeviceAddress(std::string_view ip, std::string_view netmask,
                                                 bool force = false);

} // namespace vrel
