#include "Device.h"

#include <charconv>

namespace vrel {

constexpr std::uint64_t kNotAMac = std::uint64_t{1} << 63;

bool SameAnswer(const Device& a, const Device& b) {
    return a.productCode == b.productCode && a.modelName == b.modelName &&
           a.macAddress == b.macAddress && a.ipAddress == b.ipAddress && a.netmask == b.netmask;
}

std::string ConflictText(const Device& listed, const Device& other) {
    return "MAC address " + listed.macAddress + " answered with different content (listed: " +
           listed.ipAddress + ", also: " + other.ipAddress + ")";
}

std::uint64_t MacKey(std::string_view macText) {
    // Upper-case digits only: a list tells MAC texts apart exactly, and "0A" is not "0a".
    const bool codecForm = macText.size() == 12 &&
                           macText.find_first_not_of("0123456789ABCDEF") == std::string_view::npos;
    if (!codecForm)
        return kNotAMac | std::hash<std::string_view>{}(macText);
    std::uint64_t key = 0;
    std::from_chars(macText.data(), macText.data() + macText.size(), key, 16);
    return key;
}

} // namespace vrel
