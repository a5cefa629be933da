#include "DeviceConflicts.h"

#include "DeviceAddress.h"

#include <algorithm>
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

// How many devices answer with each address: equal (address, position) pairs sort into runs,
// and only the devices of a run longer than one need a count.
std::vector<int> UsersOfAddresses(std::vector<std::pair<std::uint64_t, std::size_t>>& keys) {
    std::ranges::sort(keys);
    std::vector<int> users(keys.size(), 1);
    for (auto run = keys.begin(); run != keys.end();) {
        const auto end = std::ranges::find_if(
            run, keys.end(), [key = run->first](const auto& entry) { return entry.first != key; });
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

// Each device is read once: its own notes at once, the shared addresses once all are known.
std::vector<DeviceConflict> FindConflicts(std::size_t count, const DeviceAt& deviceAt,
                                          const std::vector<HostAddress>& host) {
    std::vector<std::pair<std::uint64_t, std::size_t>> keys;
    keys.reserve(count);
    std::vector<DeviceConflict> own;
    for (std::size_t i = 0; i < count; ++i) {
        const Device& d = deviceAt(i);
        DeviceConflict c;
        c.device = i;
        c.groupMac = !GroupMacProblem(d.macAddress).empty();
        if (const auto address = ParseDottedQuad(d.ipAddress)) {
            keys.emplace_back(*address, i);
            c.hostAddress = std::ranges::find(host, *address, &HostAddress::address) != host.end();
            if (!c.hostAddress)
                c.outsideOf = OutsideOf(*address, d, host);
        } else { // a broken device's text that is no address counts as the text, above 32 bits
            keys.emplace_back((std::uint64_t{1} << 32) + std::hash<std::string>{}(d.ipAddress), i);
        }
        if (c.Any())
            own.push_back(std::move(c));
    }
    const std::vector<int> users = UsersOfAddresses(keys);
    std::vector<DeviceConflict> conflicts;
    auto next = own.begin();
    for (std::size_t i = 0; i < count; ++i) {
        if (next != own.end() && next->device == i)
            conflicts.push_back(std::move(*next++));
        else if (users[i] > 1)
            conflicts.emplace_back().device = i;
        else
            continue;
        conflicts.back().sharedBy = users[i];
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
