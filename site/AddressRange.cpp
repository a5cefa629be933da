#include "AddressRange.h"

#include "DeviceAddress.h"

#include <unordered_set>

namespace vrel {

RangePlan AssignRange(const std::vector<const Device*>& devices, std::uint32_t from,
                      std::uint32_t mask, const DeviceList& taken) {
    std::unordered_set<std::uint32_t> inUse;
    for (const Device& d : taken) {
        if (const auto ip = ParseDottedQuad(d.ipAddress))
            inUse.insert(*ip);
    }
    const std::uint32_t network = from & mask;
    const std::uint32_t broadcast = network | ~mask;
    RangePlan plan;
    std::uint64_t next = from; // 64 bits: counting past 255.255.255.255 must not wrap
    for (const Device* device : devices) {
        while (next < broadcast && (next == network || inUse.count(static_cast<std::uint32_t>(next))))
            ++next;
        if (next >= broadcast) {
            plan.error = "the range from " + FormatDottedQuad(from) + " leaves the subnet " +
                         FormatDottedQuad(network) + "/" + FormatDottedQuad(mask) + " after " +
                         std::to_string(plan.rows.size()) + " of " +
                         std::to_string(devices.size()) + " devices";
            plan.rows.clear();
            return plan;
        }
        plan.rows.push_back({device->macAddress, static_cast<std::uint32_t>(next++)});
    }
    return plan;
}

std::string RangePlanCsv(const RangePlan& plan, std::uint32_t mask) {
    std::string csv = "macAddress,ipAddress,netmask\r\n";
    for (const RangeRow& row : plan.rows)
        csv += row.mac + "," + FormatDottedQuad(row.ip) + "," + FormatDottedQuad(mask) + "\r\n";
    return csv;
}

} // namespace vrel
