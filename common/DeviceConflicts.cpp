#include "DeviceConflicts.h"

#include "DeviceAddress.h"

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

// The subnets the device must be in to be reached by unicast, and how to name them.
std::vector<const HostAddress*>
SubnetsFor(const FoundDevice& device, const std::vector<HostAddress>& host, std::string& where) {
    std::vector<const HostAddress*> subnets;
    const bool known =
        !device.arrivalInterface.empty() && !IsLoopbackInterface(device.arrivalInterface, host);
    for (const HostAddress& a : host) {
        if (known ? a.interfaceName == device.arrivalInterface : !a.loopback)
            subnets.push_back(&a);
    }
    where = known ? device.arrivalInterface : std::string_view("this host");
    return subnets;
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

std::vector<DeviceConflict> FindConflicts(const std::vector<FoundDevice>& devices,
                                          const std::vector<HostAddress>& host) {
    std::unordered_map<std::string_view, int> users;
    for (const FoundDevice& d : devices)
        ++users[d.ipAddress];
    std::unordered_set<std::uint32_t> own;
    for (const HostAddress& a : host)
        own.insert(a.address);

    std::vector<DeviceConflict> conflicts(devices.size());
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const FoundDevice& d = devices[i];
        DeviceConflict& c = conflicts[i];
        c.sharedBy = users[d.ipAddress];
        const auto address = ParseDottedQuad(d.ipAddress);
        if (!address)
            continue;
        c.hostAddress = own.count(*address) != 0;
        if (c.hostAddress)
            continue;
        std::string where;
        const auto subnets = SubnetsFor(d, host, where);
        bool inside = subnets.empty();
        for (const HostAddress* a : subnets)
            inside = inside || InSubnet(*address, *a);
        if (!inside)
            c.outsideOf = where;
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
