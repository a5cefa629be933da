#include "DeviceIndex.h"

#include <functional>

namespace vrel {

namespace {

// The content of an answer as one key. A device that puts the separator into its texts can
// at worst merge two of its own conflicting answers into one count.
std::string ContentKey(const DeviceView& d) {
    const char sep = '\x1f';
    std::string key(d.productCode);
    key.append(1, sep).append(d.modelName).append(1, sep).append(d.ipAddress);
    key.append(1, sep).append(d.netmask);
    return key;
}

} // namespace

std::size_t DeviceIndex::TextHash::operator()(std::string_view text) const {
    return std::hash<std::string_view>{}(text);
}

std::uint32_t DeviceIndex::PositionOf(std::string_view macAddress) const {
    return byMac_.Find(TextHash{}(macAddress),
                       [&](std::uint32_t at) { return devices_[at].macAddress == macAddress; });
}

DeviceIndex::Outcome DeviceIndex::Add(const DeviceView& device) {
    const std::uint32_t at = PositionOf(device.macAddress);
    if (at == HashedPositions::kNone) {
        byMac_.Insert(TextHash{}(device.macAddress), static_cast<std::uint32_t>(devices_.size()));
        devices_.push_back(device);
        return Outcome::Added;
    }
    if (SameAnswer(devices_[at], device))
        return Outcome::Repeat;
    auto [others, firstForMac] = conflicts_.try_emplace(std::string(device.macAddress));
    others->second.insert(ContentKey(device));
    return firstForMac ? Outcome::FirstConflict : Outcome::Conflict;
}

void DeviceIndex::Clear() {
    devices_.clear();
    byMac_.Clear();
    conflicts_.clear();
}

std::optional<DeviceView> DeviceIndex::Find(std::string_view macAddress) const {
    const std::uint32_t at = PositionOf(macAddress);
    if (at == HashedPositions::kNone)
        return std::nullopt;
    return devices_[at];
}

int DeviceIndex::ConflictsOf(std::string_view macAddress) const {
    const auto at = conflicts_.find(macAddress);
    return at == conflicts_.end() ? 0 : static_cast<int>(at->second.size());
}

} // namespace vrel
