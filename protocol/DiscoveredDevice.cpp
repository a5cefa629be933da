#include "DiscoveredDevice.h"

#include <cstdint>

namespace vrel {

namespace {

// Response variable ids of the Discovery list.
constexpr std::uint8_t kIdProductCode = 235;
constexpr std::uint8_t kIdModelName = 1;
constexpr std::uint8_t kIdMacAddress = 2;
constexpr std::uint8_t kIdIpAddress = 3;
constexpr std::uint8_t kIdNetmask = 4;

} // namespace

bool DiscoveredDevice::SameAnswer(const DiscoveredDevice& other) const {
    return productCode == other.productCode && modelName == other.modelName &&
           macAddress == other.macAddress && ipAddress == other.ipAddress &&
           netmask == other.netmask;
}

std::string ConflictText(const DiscoveredDevice& listed, const DiscoveredDevice& other) {
    return "MAC address " + listed.macAddress +
           " answered with different content (listed: " + listed.ipAddress +
           ", also: " + other.ipAddress + ")";
}

std::optional<DiscoveredDevice> DeviceFromAnswer(const KvVRELVarList& vars) {
    if (vars.count() != 1 || !vars.at(0).responseVars)
        return std::nullopt;
    const KvVRELResponseVarList& fields = *vars.at(0).responseVars;
    DiscoveredDevice device;
    bool hasMac = false;
    for (int i = 0; i < fields.count(); ++i) {
        const KvVRELResponseVar& field = fields.at(i);
        switch (field.id) {
        case kIdProductCode:
            device.productCode = field.value;
            break;
        case kIdModelName:
            device.modelName = field.value;
            break;
        case kIdMacAddress:
            device.macAddress = field.value;
            hasMac = true;
            break;
        case kIdIpAddress:
            device.ipAddress = field.value;
            break;
        case kIdNetmask:
            device.netmask = field.value;
            break;
        default:
            break;
        }
    }
    if (!hasMac)
        return std::nullopt;
    return device;
}

} // namespace vrel
