#include "DeviceConflicts.h"

#include "DeviceAddress.h"

#include <gtest/gtest.h>

#include <iterator>

namespace vrel {
namespace {

HostAddress Host(const char* name, const char* ip, const char* mask, bool loopback = false) {
    return {name, ParseDottedQuad(ip).value(), ParseDottedQuad(mask).value(), loopback};
}

std::vector<DeviceConflict> FindConflicts(const DeviceList& devices,
                                          const std::vector<HostAddress>& host) {
    return vrel::FindConflicts(
        devices.size(), [&](std::size_t i) -> const Device& { return devices[i]; }, host);
}

// A host on two networks, as a commissioning laptop often is, and its loopback.
const std::vector<HostAddress> kHost = {
    Host("lo", "127.0.0.1", "255.0.0.0", true),
    Host("eth0", "192.168.1.10", "255.255.255.0"),
    Host("eth1", "10.0.0.100", "255.255.0.0"),
};

TEST(DeviceConflicts, MarksSharedForeignAndHostAddresses) {
    struct Case {
        const char* name;
        Device device;
        std::string notes;
    };
    const std::string outsideEth0 =
        "outside the subnets of eth0 (reachable only by the broadcast Set)";
    const Case cases[] = {
        {"in the subnet it answered on", {"", "", "A1", "192.168.1.20", "255.255.255.0", "eth0"}, ""},
        {"in the subnet of another interface",
         {"", "", "A2", "10.0.3.4", "255.255.0.0", "eth0"},
         outsideEth0},
        {"foreign subnet", {"", "", "A3", "172.16.0.5", "255.255.0.0", "eth0"}, outsideEth0},
        {"the host's own address",
         {"", "", "A4", "192.168.1.10", "255.255.255.0", "eth0"},
         "the host's own address"},
        // Interface unknown, or a simulator answering over loopback: any subnet of the host.
        {"unknown interface, some subnet", {"", "", "A5", "10.0.9.9", "255.255.0.0", ""}, ""},
        {"loopback, some subnet", {"", "", "A6", "192.168.1.30", "255.255.255.0", "lo"}, ""},
        {"unknown interface, no subnet",
         {"", "", "A7", "172.16.0.6", "255.255.0.0", ""},
         "outside the subnets of this host (reachable only by the broadcast Set)"},
        // A broken or hostile device: a Set to its MAC would reach every device.
        {"a group MAC",
         {"", "", "FFFFFFFFFFFF", "192.168.1.21", "255.255.255.0", "eth0"},
         "a group MAC address: no Set is sent to it"},
        {"an answer that is no address", {"", "", "A8", "garbage", "255.255.0.0", "eth0"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto conflicts = FindConflicts(DeviceList{c.device}, kHost);
        // A device with nothing to note has no entry.
        ASSERT_EQ(conflicts.size(), c.notes.empty() ? 0u : 1u);
        if (!conflicts.empty()) {
            EXPECT_EQ(conflicts[0].device, 0u);
            EXPECT_EQ(conflicts[0].Text(), c.notes);
            EXPECT_TRUE(conflicts[0].Any());
        }
    }
}

// Devices leave the factory with one default address; every holder of it is marked, others
// are not, and the summary counts devices.
TEST(DeviceConflicts, SharedAddressMarksEveryHolder) {
    const DeviceList devices = {
        {"", "", "B1", "192.168.1.200", "255.255.255.0", "eth0"},
        {"", "", "B2", "192.168.1.201", "255.255.255.0", "eth0"},
        {"", "", "B3", "192.168.1.200", "255.255.255.0", "eth0"},
        {"", "", "B4", "172.16.0.1", "255.255.0.0", "eth0"},
        {"", "", "B5", "192.168.1.200", "255.255.255.0", "eth0"},
        // A broken device's text that is no address is shared by text.
        {"", "", "B6", "none", "255.255.0.0", "eth0"},
        {"", "", "B7", "none", "255.255.0.0", "eth0"},
        // Shared and outside: both notes on one entry.
        {"", "", "B8", "172.16.0.1", "255.255.0.0", "eth0"},
    };
    const auto conflicts = FindConflicts(devices, kHost);
    // Every device but B2 has something to note, the first and the last among them; each
    // entry names its device by position.
    const std::size_t noted[] = {0, 2, 3, 4, 5, 6, 7};
    const int shared[] = {3, 1, 3, 2, 3, 2, 2, 2};
    ASSERT_EQ(conflicts.size(), std::size(noted));
    for (std::size_t k = 0; k < conflicts.size(); ++k) {
        const std::size_t i = conflicts[k].device;
        EXPECT_EQ(i, noted[k]);
        EXPECT_EQ(conflicts[k].sharedBy, shared[i]) << devices[i].macAddress;
    }
    EXPECT_EQ(conflicts[0].Text(), "IP address used by 3 devices");
    EXPECT_EQ(conflicts[2].Text(), "IP address used by 2 devices; outside the subnets of eth0 "
                                   "(reachable only by the broadcast Set)");
    EXPECT_EQ(ConflictSummary(conflicts),
              "7 devices share an IP address, 2 devices are outside the host's subnets");
    EXPECT_EQ(ConflictSummary(FindConflicts(DeviceList{devices[1]}, kHost)), "");
}

// A host with nothing but loopback (a sandbox, a laptop off the network) is no measure of
// reachability.
TEST(DeviceConflicts, LoopbackOnlyHostMarksNoSubnet) {
    const auto conflicts = FindConflicts(
        DeviceList{{"", "", "C1", "10.0.0.1", "255.255.255.0", "lo"}, {"", "", "C2", "10.0.1.2", "255.255.0.0", ""}},
        {Host("lo", "127.0.0.1", "255.0.0.0", true)});
    for (const DeviceConflict& c : conflicts)
        ADD_FAILURE() << c.Text();
}

} // namespace
} // namespace vrel
