#include "DeviceConflicts.h"

#include "DeviceAddress.h"

#include <algorithm>
#include <limits>
#include <optional>
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
std::string_view OutsideOf(std::uint32_t address, const Device& device,
                           const std::vector<HostAddress>& host) {
    const bool known =
        !device.interfaceName.empty() && !IsLoopbackInterface(device.interfaceName, host);
    bool anySubnet = false;
    for (const HostAddress& a : host) {
        if (known ? a.interfaceName != device.interfaceName : a.loopback)
            continue;
        if (InSubnet(address, a))
            return {};
        anySubnet = true;
    }
    if (!anySubnet)
        return {};
    return known ? std::string_view(device.interfaceName) : std::string_view("this host");
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
    if (groupMac)
        add("a group MAC address: no Set is sent to it");
    return notes;
}

namespace {

// The key of an IP address text for counting its users: the address as a number, so that
// "10.0.0.1" is one address however it is counted; a text that is no address (a device sends
// those only when broken) is counted as the text, above the 32 bits an address takes.
std::uint64_t AddressKey(std::string_view ip, const std::optional<std::uint32_t>& address) {
    return address ? *address : (std::uint64_t{1} << 32) + std::hash<std::string_view>{}(ip);
}

} // namespace

std::vector<DeviceConflict> FindConflicts(const DeviceList& devices,
                                          const std::vector<HostAddress>& host) {
    return FindConflicts(devices.size(), [&](std::size_t i) { return devices[i]; }, host);
}

namespace {

// How many devices answer with each device's IP address: the (address, device) pairs
// sorted, so that the users of one address lie side by side, then one walk. One array, where
// a hash map would make a node per device of a burst.
std::vector<int> UsersOfAddresses(const std::vector<std::uint64_t>& keys) {
    std::vector<std::pair<std::uint64_t, std::size_t>> sorted(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        sorted[i] = {keys[i], i};
    std::sort(sorted.begin(), sorted.end());
    std::vector<int> users(keys.size());
    for (std::size_t from = 0, to = 0; from < sorted.size(); from = to) {
        while (to < sorted.size() && sorted[to].first == sorted[from].first)
            ++to;
        for (std::size_t i = from; i < to; ++i)
            users[sorted[i].second] = static_cast<int>(to - from);
    }
    return users;
}

} // namespace

std::vector<DeviceConflict> FindConflicts(std::size_t count, const DeviceAt& deviceAt,
                                          const std::vector<HostAddress>& host) {
    std::vector<std::uint64_t> keys(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string ip = deviceAt(i).ipAddress;
        keys[i] = AddressKey(ip, ParseDottedQuad(ip));
    }
    const std::vector<int> users = UsersOfAddresses(keys);
    std::unordered_set<std::uint32_t> own;
    for (const HostAddress& a : host)
        own.insert(a.address);

    std::vector<DeviceConflict> conflicts;
    for (std::size_t i = 0; i < count; ++i) {
        const Device d = deviceAt(i);
        DeviceConflict c;
        c.device = i;
        c.sharedBy = users[i];
        c.groupMac = !GroupMacProblem(d.macAddress).empty();
        if (keys[i] <= std::numeric_limits<std::uint32_t>::max()) {
            const auto address = static_cast<std::uint32_t>(keys[i]);
            c.hostAddress = own.count(address) != 0;
            if (!c.hostAddress)
                c.outsideOf = OutsideOf(address, d, host);
        }
        if (c.Any())
            conflicts.push_back(std::move(c));
    }
    return conflicts;
}

std::string ConflictSummary(const std::vector<DeviceConflict>& conflicts) {
    int shared = 0, outside = 0, hostAddress = 0, groupMac = 0;
    for (const DeviceConflict& c : conflicts) {
        shared += c.sharedBy > 1;
        outside += !c.outsideOf.empty();
        hostAddress += c.hostAddress;
        groupMac += c.groupMac;
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
    part(groupMac, "device answers with a group MAC address",
         "devices answer with a group MAC address");
    return summary;
}

} // namespace vrel
