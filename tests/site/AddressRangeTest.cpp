#include "AddressRange.h"

#include "DeviceAddress.h"

#include <gtest/gtest.h>

namespace vrel {
namespace {

Device At(const char* mac, const char* ip) {
    return {"1", "M", mac, ip, "255.255.255.0"};
}

std::string Ips(const RangePlan& plan) {
    std::string ips;
    for (const RangeRow& row : plan.rows)
        ips += (ips.empty() ? "" : " ") + FormatDottedQuad(row.ip);
    return ips;
}

TEST(AddressRange, CountsUpSkippingAddressesInUseAndTheSubnetsOwn) {
    const DeviceList found = {At("020000000001", "192.168.0.100"),
                                       At("020000000002", "192.168.0.100"),
                                       At("020000000003", "10.0.0.12")};
    std::vector<const Device*> all;
    for (const Device& d : found)
        all.push_back(&d);
    struct Case {
        const char* name;
        const char* from;
        const char* mask;
        std::string ips; // empty: refused
    };
    const Case cases[] = {
        {"plain", "10.0.0.10", "255.255.255.0", "10.0.0.10 10.0.0.11 10.0.0.13"},
        {"from the network address", "192.168.0.0", "255.255.255.0",
         "192.168.0.1 192.168.0.2 192.168.0.3"},
        {"around the shared factory address", "192.168.0.99", "255.255.255.0",
         "192.168.0.99 192.168.0.101 192.168.0.102"},
        {"the last hosts of the subnet", "10.0.0.252", "255.255.255.0",
         "10.0.0.252 10.0.0.253 10.0.0.254"},
        {"past the broadcast address", "10.0.0.253", "255.255.255.0", ""},
        {"a /30 holds two hosts", "10.0.0.1", "255.255.255.252", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RangePlan plan =
            AssignRange(all, *ParseDottedQuad(c.from), *ParseNetmask(c.mask), found);
        EXPECT_EQ(Ips(plan), c.ips);
        EXPECT_EQ(plan.error.empty(), !c.ips.empty()) << plan.error;
    }
    const RangePlan plan = AssignRange(all, *ParseDottedQuad("10.0.0.10"),
                                       *ParseNetmask("255.255.255.0"), found);
    EXPECT_EQ(RangePlanCsv(plan, *ParseNetmask("255.255.255.0")),
              "macAddress,ipAddress,netmask\r\n020000000001,10.0.0.10,255.255.255.0\r\n"
              "020000000002,10.0.0.11,255.255.255.0\r\n020000000003,10.0.0.13,255.255.255.0\r\n");
}

} // namespace
} // namespace vrel
