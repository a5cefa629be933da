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

bool SameAnswer(const DeviceView& a, const DeviceView& b) {
    return a.productCode == b.productCode && a.modelName == b.modelName &&
           a.macAddress == b.macAddress && a.ipAddress == b.ipAddress && a.netmask == b.netmask;
}

std::string ConflictText(const DeviceView& listed, const DeviceView& other) {
    std::string text = "MAC address ";
    text.append(listed.macAddress).append(" answered with different content (listed: ");
    text.append(listed.ipAddress).append(", also: ").append(other.ipAddress).append(")");
    return text;
}

std::optional<DeviceView> DeviceViewFromAnswer(const KvVRELVarList& vars) {
    if (vars.count() != 1 || !vars.at(0).responseVars)
        return std::nullopt;
    const KvVRELResponseVarList& fields = *vars.at(0).responseVars;
    DeviceView device;
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

std::optional<DiscoveredDevice> DeviceFromAnswer(const KvVRELVarList& vars) {
    const auto device = DeviceViewFromAnswer(vars);
    if (!device)
        return std::nullopt;
    return device->Owned();
}

} // namespace vrel
