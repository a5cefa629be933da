#include "DeviceConflicts.h"

#include "DeviceAddress.h"
#include "PopulatedMemory.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace vrel {

namespace {

bool InSubnet(std::uint32_t address, const HostAddress& a) {
    return (address & a.netmask) == (a.address & a.netmask);
}

bool IsLoopbackInterface(std::string_view name, const std::vector<HostAddress>& host) {
    for (const HostAddress& a : host) {
        if (a.interfaceName == name)
            return a.loopback;
    }
    return false;
}

// Empty when the device can be reached by unicast: its address lies in a subnet of the
// interface its answer came in on or, when that is loopback or not known, of any of the
// host's other interfaces. Else how to name the subnets it is outside of.
std::string_view OutsideOf(std::uint32_t address, const FoundDevice& device,
                           const std::vector<HostAddress>& host) {
    const bool known =
        !device.arrivalInterface.empty() && !IsLoopbackInterface(device.arrivalInterface, host);
    bool anySubnet = false;
    for (const HostAddress& a : host) {
        if (known ? a.interfaceName != device.arrivalInterface : a.loopback)
            continue;
        if (InSubnet(address, a))
            return {};
        anySubnet = true;
    }
    if (!anySubnet)
        return {};
    return known ? device.arrivalInterface : std::string_view("this host");
}

} // namespace

std::string DeviceConflict::Text() const {
    std::string notes;
    const auto add = [&](const std::string& note) { notes += (notes.empty() ? "" : "; ") + note; };
    if (sharedBy > 1)
        add("IP address used by " + std::to_string(sharedBy) + " devices");
    if (hostAddress)
        add("the host's own address");
    if (!outsideOf.empty())
        add("outside the subnets of " + outsideOf + " (reachable only by the broadcast Set)");
    return notes;
}

namespace {

// How many devices answer with each IP address. Addresses are counted as numbers: each
// device's address beside its position in one array, sorted once, so that equal addresses
// lie side by side and one walk finds every shared one. What is left is the short list of
// devices that share, usually empty, so asking for a device costs next to nothing where a
// search of the whole array per device cost a cache miss at every step. A text that is no
// address is counted as text; a device sends those only when broken.
class AddressUsers {
public:
    explicit AddressUsers(std::size_t devices) { keyed_.reserve(devices); }
    void Add(std::size_t device, std::string_view ip, const std::optional<std::uint32_t>& address) {
        if (address)
            keyed_.push_back(std::uint64_t{*address} << 32 | device);
        else
            ++others_[ip];
    }
    void Seal() {
        std::sort(keyed_.begin(), keyed_.end());
        for (std::size_t from = 0, to = 0; from < keyed_.size(); from = to) {
            while (to < keyed_.size() && keyed_[to] >> 32 == keyed_[from] >> 32)
                ++to;
            for (std::size_t i = from; to - from > 1 && i < to; ++i)
                shared_.push_back(
                    {static_cast<std::uint32_t>(keyed_[i]), static_cast<int>(to - from)});
        }
        std::sort(shared_.begin(), shared_.end());
        keyed_ = {};
    }
    // address is ip as ParseDottedQuad reads it.
    int Of(std::size_t device, std::string_view ip,
           const std::optional<std::uint32_t>& address) const {
        if (address) {
            const auto at = std::lower_bound(shared_.begin(), shared_.end(),
                                             std::pair{static_cast<std::uint32_t>(device), 0});
            return at != shared_.end() && at->first == device ? at->second : 1;
        }
        const auto at = others_.find(ip);
        return at == others_.end() ? 0 : at->second;
    }

private:
    // address << 32 | device, until sealed; reserved for every device and filled
    std::vector<std::uint64_t, PopulatingAllocator<std::uint64_t>> keyed_;
    std::vector<std::pair<std::uint32_t, int>> shared_; // device, users of its address
    std::unordered_map<std::string_view, int> others_;
};

} // namespace

std::vector<DeviceConflict> FindConflicts(const std::vector<FoundDevice>& devices,
                                          const std::vector<HostAddress>& host) {
    return FindConflicts(
        devices.size(), [&](std::size_t i) { return devices[i]; }, host);
}

std::vector<DeviceConflict> FindConflicts(std::size_t count,
                                          const std::function<FoundDevice(std::size_t)>& deviceAt,
                                          const std::vector<HostAddress>& host) {
    AddressUsers users(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view ip = deviceAt(i).ipAddress;
        users.Add(i, ip, ParseDottedQuad(ip));
    }
    users.Seal();
    std::unordered_set<std::uint32_t> own;
    for (const HostAddress& a : host)
        own.insert(a.address);

    const auto conflictOf = [&](std::size_t i) {
        const FoundDevice d = deviceAt(i);
        DeviceConflict c;
        c.device = i;
        const auto address = ParseDottedQuad(d.ipAddress);
        c.sharedBy = users.Of(i, d.ipAddress, address);
        if (address) {
            c.hostAddress = own.count(*address) != 0;
            if (!c.hostAddress)
                c.outsideOf = OutsideOf(*address, d, host); // short enough to need no allocation
        }
        return c;
    };
    // Counted first, so the result is allocated once at its size: a burst of devices that all
    // kept the factory address would otherwise grow it through fresh pages at every doubling,
    // which costs more than checking the noted devices twice. A bit per device remembers which.
    std::vector<bool> noted(count);
    std::size_t notedCount = 0;
    for (std::size_t i = 0; i < count; ++i) {
        noted[i] = conflictOf(i).Any();
        notedCount += noted[i];
    }
    std::vector<DeviceConflict> conflicts;
    conflicts.reserve(notedCount);
    for (std::size_t i = 0; i < count && conflicts.size() < notedCount; ++i) {
        if (noted[i])
            conflicts.push_back(conflictOf(i));
    }
    return conflicts;
}

std::string ConflictSummary(const std::vector<DeviceConflict>& conflicts) {
    int shared = 0, outside = 0, hostAddress = 0;
    for (const DeviceConflict& c : conflicts) {
        shared += c.sharedBy > 1;
        outside += !c.outsideOf.empty();
        hostAddress += c.hostAddress;
    }
    std::string summary;
    const auto part = [&](int count, const char* one, const char* many) {
        if (count > 0)
            summary += (summary.empty() ? "" : ", ") + std::to_string(count) + " " +
                       (count == 1 ? one : many);
    };
    part(shared, "device shares its IP address", "devices share an IP address");
    part(outside, "device is outside the host's subnets", "devices are outside the host's subnets");
    part(hostAddress, "device has the host's own address", "devices have the host's own address");
    return summary;
}

} // namespace vrel
