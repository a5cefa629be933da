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

std::size_t DeviceIndex::MacOfPosition::operator()(std::string_view mac) const {
    return std::hash<std::string_view>{}(mac);
}

std::size_t DeviceIndex::MacOfPosition::operator()(std::size_t at) const {
    return (*this)(std::string_view((*devices)[at].macAddress));
}

bool DeviceIndex::MacOfPosition::operator()(std::string_view mac, std::size_t at) const {
    return mac == (*devices)[at].macAddress;
}

bool DeviceIndex::MacOfPosition::operator()(std::size_t at, std::string_view mac) const {
    return (*this)(mac, at);
}

bool DeviceIndex::MacOfPosition::operator()(std::size_t a, std::size_t b) const {
    return a == b || (*devices)[a].macAddress == (*devices)[b].macAddress;
}

template <class D> DeviceIndex::Outcome DeviceIndex::Insert(D&& device) {
    const auto at = byMac_.find(std::string_view(device.macAddress));
    if (at == byMac_.end()) {
        devices_.push_back(std::forward<D>(device));
        byMac_.insert(devices_.size() - 1);
        return Outcome::Added;
    }
    if (devices_[*at].SameAnswer(device))
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
    const auto at = byMac_.find(std::string_view(macAddress));
    return at == byMac_.end() ? nullptr : &devices_[*at];
}

int DeviceIndex::ConflictsOf(const std::string& macAddress) const {
    const auto at = conflicts_.find(macAddress);
    return at == conflicts_.end() ? 0 : static_cast<int>(at->second.size());
}

} // namespace vrel
