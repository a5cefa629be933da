#include "DeviceConflicts.h"

#include "DeviceAddress.h"

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

// How many devices answer with each IP address. Addresses are counted as numbers, in one
// sorted array: a few bytes per device instead of a map node each. A text that is no address
// is counted as text; a device sends those only when broken.
class AddressUsers {
public:
    explicit AddressUsers(std::size_t devices) { addresses_.reserve(devices); }
    void Add(std::string_view ip) {
        if (const auto address = ParseDottedQuad(ip))
            addresses_.push_back(*address);
        else
            ++others_[ip];
    }
    void Seal() { std::sort(addresses_.begin(), addresses_.end()); }
    // address is ip as ParseDottedQuad reads it.
    int Of(std::string_view ip, const std::optional<std::uint32_t>& address) const {
        if (address) {
            const auto [from, to] = std::equal_range(addresses_.begin(), addresses_.end(), *address);
            return static_cast<int>(to - from);
        }
        const auto at = others_.find(ip);
        return at == others_.end() ? 0 : at->second;
    }

private:
    std::vector<std::uint32_t> addresses_;
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
    for (std::size_t i = 0; i < count; ++i)
        users.Add(deviceAt(i).ipAddress);
    users.Seal();
    std::unordered_set<std::uint32_t> own;
    for (const HostAddress& a : host)
        own.insert(a.address);

    const auto conflictOf = [&](std::size_t i) {
        const FoundDevice d = deviceAt(i);
        DeviceConflict c;
        c.device = i;
        const auto address = ParseDottedQuad(d.ipAddress);
        c.sharedBy = users.Of(d.ipAddress, address);
        if (address) {
            c.hostAddress = own.count(*address) != 0;
            if (!c.hostAddress)
                c.outsideOf = OutsideOf(*address, d, host); // short enough to need no allocation
        }
        return c;
    };
    // Counted first, so the result is allocated once at its size: a burst of devices that all
    // kept the factory address would otherwise grow it through fresh pages at every doubling,
    // which costs more than checking the devices twice.
    std::size_t noted = 0;
    for (std::size_t i = 0; i < count; ++i)
        noted += conflictOf(i).Any();
    std::vector<DeviceConflict> conflicts;
    conflicts.reserve(noted);
    for (std::size_t i = 0; i < count && conflicts.size() < noted; ++i) {
        if (DeviceConflict c = conflictOf(i); c.Any())
            conflicts.push_back(std::move(c));
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
