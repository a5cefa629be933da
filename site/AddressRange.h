#pragma once

#include "Device.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vrel {

// One row of a plan that a range of addresses makes.
struct RangeRow {
    std::string mac;
    std::uint32_t ip = 0;
};

struct RangePlan {
    std::vector<RangeRow> rows;
    std::string error; // why no plan could be made; rows are then empty
};

// Addresses counting up from `from` for the devices, in the order given: an address that any
// of the taken devices answers with already (factory defaults, devices kept as they are) is
// skipped, and so are the network and broadcast addresses of the subnet. Refused, with no row,
// when the devices do not fit between `from` and the end of its subnet; `from` and `mask` must
// have passed the address check.
RangePlan AssignRange(const std::vector<const Device*>& devices, std::uint32_t from,
                      std::uint32_t mask, const DeviceList& taken);

// The plan as CSV with the header macAddress,ipAddress,netmask, as apply reads it.
std::string RangePlanCsv(const RangePlan& plan, std::uint32_t mask);

} // namespace vrel
