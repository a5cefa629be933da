#include "DeviceIndex.h"

namespace vrel {

namespace {

// The content of an answer as one key. A device that puts the separator into its texts can
// at worst merge two of its own conflicting answers into one count.
std::string ContentKey(const Device& d) {
    const char sep = '\x1f';
    return d.productCode + sep + d.modelName + sep + d.ipAddress + sep + d.netmask;
}

} // namespace

DeviceIndex::Outcome DeviceIndex::Add(Device&& device) {
    const std::uint64_t key = MacKey(device.macAddress);
    const auto listed = byMac_.constFind(key);
    if (listed == byMac_.cend()) {
        byMac_.insert(key, devices_.size());
        devices_.push_back(std::move(device));
        return Outcome::Added;
    }
    if (SameAnswer(devices_[*listed], device))
        return Outcome::Repeat;
    auto& others = conflicts_[key];
    const bool first = others.empty();
    others.insert(ContentKey(device));
    return first ? Outcome::FirstConflict : Outcome::Conflict;
}

void DeviceIndex::Clear() {
    devices_.clear();
    byMac_.clear();
    conflicts_.clear();
}

const Device* DeviceIndex::Find(std::string_view macAddress) const {
    const auto listed = byMac_.constFind(MacKey(macAddress));
    return listed == byMac_.cend() ? nullptr : &devices_[*listed];
}

bool DeviceIndex::SetAddress(std::string_view macAddress, const std::string& ip,
                             const std::string& netmask) {
    const auto listed = byMac_.constFind(MacKey(macAddress));
    if (listed == byMac_.cend())
        return false;
    Device& device = devices_[*listed];
    device.ipAddress = ip;
    device.netmask = netmask;
    return true;
}

int DeviceIndex::ConflictsOf(std::string_view macAddress) const {
    const auto at = conflicts_.constFind(MacKey(macAddress));
    return at == conflicts_.cend() ? 0 : static_cast<int>(at->size());
}

} // namespace vrel
