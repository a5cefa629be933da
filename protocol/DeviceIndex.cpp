#include "DeviceIndex.h"

#include "PackedText.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vrel {

namespace {

// Large enough that a block holds hundreds of devices, small enough that malloc serves it
// from the heap it reuses rather than a mapping of its own.
constexpr std::size_t kBlockBytes = 64 * 1024;

// The texts of a device in the order of its record, behind the interface index.
template <class D> auto TextsOf(D& d) {
    return std::array{&d.productCode, &d.modelName, &d.macAddress,
                      &d.ipAddress,   &d.netmask,   &d.interfaceName};
}

} // namespace

DeviceIndex::Where DeviceIndex::Pack(const Device& d) {
    std::size_t size = sizeof d.interfaceIndex;
    for (const std::string* text : TextsOf(d))
        size += PackedSize(*text);
    if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < size) {
        blocks_.emplace_back();
        blocks_.back().reserve(std::max(kBlockBytes, size));
    }
    std::string& block = blocks_.back();
    const Where where{static_cast<std::uint32_t>(blocks_.size() - 1),
                      static_cast<std::uint32_t>(block.size())};
    block.resize(block.size() + size);
    char* at = block.data() + where.offset;
    std::memcpy(at, &d.interfaceIndex, sizeof d.interfaceIndex);
    at += sizeof d.interfaceIndex;
    for (const std::string* text : TextsOf(d))
        at = PackText(at, *text);
    return where;
}

Device DeviceIndex::At(std::size_t position) const {
    Device d;
    Read(position, d);
    return d;
}

void DeviceIndex::Read(std::size_t position, Device& into) const {
    const Where where = at_[position];
    const char* p = blocks_[where.block].data() + where.offset;
    std::memcpy(&into.interfaceIndex, p, sizeof into.interfaceIndex);
    p += sizeof into.interfaceIndex;
    for (std::string* text : TextsOf(into))
        *text = UnpackText(p);
}

DeviceIndex::Outcome DeviceIndex::Add(const Device& device) {
    const std::uint64_t key = MacKey(device.macAddress);
    // One lookup whether the MAC is new or not: a new key grows the table.
    const qsizetype known = byMac_.size();
    std::size_t& listed = byMac_[key];
    if (byMac_.size() != known) {
        listed = at_.size();
        at_.push_back(Pack(device));
        return Outcome::Added;
    }
    if (SameAnswer(At(listed), device))
        return Outcome::Repeat;
    auto& others = conflicts_[key];
    const bool first = others.empty();
    // The content as one key. A device that puts the separator into its texts can at worst
    // merge two of its own conflicting answers into one count.
    const char sep = '\x1f';
    others.insert(device.productCode + sep + device.modelName + sep + device.ipAddress + sep +
                  device.netmask);
    return first ? Outcome::FirstConflict : Outcome::Conflict;
}

void DeviceIndex::Clear() {
    blocks_.clear();
    at_.clear();
    byMac_.clear();
    conflicts_.clear();
}

std::optional<Device> DeviceIndex::Find(std::string_view macAddress) const {
    const auto listed = byMac_.constFind(MacKey(macAddress));
    if (listed == byMac_.cend())
        return std::nullopt;
    return At(*listed);
}

DeviceList DeviceIndex::Devices() const {
    DeviceList devices;
    for (std::size_t i = 0; i < Count(); ++i)
        devices.push_back(At(i));
    return devices;
}

bool DeviceIndex::SetAddress(std::string_view macAddress, const std::string& ip,
                             const std::string& netmask) {
    const auto listed = byMac_.constFind(MacKey(macAddress));
    if (listed == byMac_.cend())
        return false;
    // The old record stays behind, unused: Sets are few against the answers of a burst.
    Device device = At(*listed);
    device.ipAddress = ip;
    device.netmask = netmask;
    at_[*listed] = Pack(device);
    return true;
}

int DeviceIndex::ConflictsOf(std::string_view macAddress) const {
    const auto at = conflicts_.constFind(MacKey(macAddress));
    return at == conflicts_.cend() ? 0 : static_cast<int>(at->size());
}

} // namespace vrel
