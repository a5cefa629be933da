#include "DeviceIndex.h"

namespace vrel {

namespace {

// The content of an answer as one key. A device that puts the separator into its texts can
// at worst merge two of its own conflicting answers into one count.
std::string ContentKey(const DiscoveredDevice& d) {
    const char sep = '\x1f';
    return d.productCode + sep + d.modelName + sep + d.ipAddress + sep + d.netmask;
}

} // namespace

DeviceIndex::Outcome DeviceIndex::Add(const DiscoveredDevice& device) {
    return Insert(device);
}

DeviceIndex::Outcome DeviceIndex::Add(DiscoveredDevice&& device) {
    return Insert(std::move(device));
}

template <class D> DeviceIndex::Outcome DeviceIndex::Insert(D&& device) {
    const auto [at, added] = byMac_.try_emplace(device.macAddress, devices_.size());
    if (added) {
        devices_.push_back(std::forward<D>(device));
        return Outcome::Added;
    }
    if (devices_[at->second].SameAnswer(device))
        return Outcome::Repeat;
    auto [others, firstForMac] = conflicts_.try_emplace(device.macAddress);
    others->second.insert(ContentKey(device));
    return firstForMac ? Outcome::FirstConflict : Outcome::Conflict;
}

void DeviceIndex::Clear() {
    devices_.clear();
    byMac_.clear();
    conflicts_.clear();
}

const DiscoveredDevice* DeviceIndex::Find(const std::string& macAddress) const {
    const auto at = byMac_.find(macAddress);
    return at == byMac_.end() ? nullptr : &devices_[at->second];
}

int DeviceIndex::ConflictsOf(const std::string& macAddress) const {
    const auto at = conflicts_.find(macAddress);
    return at == conflicts_.end() ? 0 : static_cast<int>(at->second.size());
}

} // namespace vrel
