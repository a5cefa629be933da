#include "DeviceConflicts.h"

#include "DeviceAddress.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace vrel {

namespace {

// Empty when unicast reaches the device; else how to name the subnets it is outside of.
std::string_view OutsideOf(std::uint32_t address, const Device& device,
                           const std::vector<HostAddress>& host) {
    const auto arrival = std::ranges::find(host, device.interfaceName, &HostAddress::interfaceName);
    const bool known =
        !device.interfaceName.empty() && (arrival == host.end() || !arrival->loopback);
    bool anySubnet = false;
    for (const HostAddress& a : host) {
        if (known ? a.interfaceName != device.interfaceName : a.loopback)
            continue;
        if ((address & a.netmask) == (a.address & a.netmask))
            return {};
        anySubnet = true;
    }
    if (!anySubnet)
        return {};
    return known ? std::string_view(device.interfaceName) : std::string_view("this host");
}

// How many devices answer with each device's IP address: equal addresses sort into runs, and
// only the devices of a run longer than one need an entry.
std::vector<int> UsersOfAddresses(const std::vector<std::uint64_t>& keys) {
    std::vector<std::pair<std::uint64_t, std::size_t>> sorted;
    sorted.reserve(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        sorted.emplace_back(keys[i], i);
    std::ranges::sort(sorted);
    std::vector<int> users(keys.size(), 1);
    for (auto run = sorted.begin(); run != sorted.end();) {
        const auto end =
            std::ranges::find_if(run, sorted.end(), [key = run->first](const auto& entry) {
                return entry.first != key;
            });
        for (auto at = run; end - run > 1 && at != end; ++at)
            users[at->second] = static_cast<int>(end - run);
        run = end;
    }
    return users;
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

std::vector<DeviceConflict> FindConflicts(std::size_t count, const DeviceAt& deviceAt,
                                          const std::vector<HostAddress>& host) {
    std::vector<std::uint64_t> keys(count);
    for (std::size_t i = 0; i < count; ++i) {
        // A text that is no address (a broken device's) counts as the text, above 32 bits.
        const std::string& ip = deviceAt(i).ipAddress;
        const auto address = ParseDottedQuad(ip);
        keys[i] = address ? *address : (std::uint64_t{1} << 32) + std::hash<std::string_view>{}(ip);
    }
    const std::vector<int> users = UsersOfAddresses(keys);

    std::vector<DeviceConflict> conflicts;
    for (std::size_t i = 0; i < count; ++i) {
        const Device& d = deviceAt(i);
        DeviceConflict c;
        c.device = i;
        c.sharedBy = users[i];
        c.groupMac = !GroupMacProblem(d.macAddress).empty();
        if (keys[i] <= std::numeric_limits<std::uint32_t>::max()) {
            const auto address = static_cast<std::uint32_t>(keys[i]);
            c.hostAddress = std::ranges::find(host, address, &HostAddress::address) != host.end();
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
