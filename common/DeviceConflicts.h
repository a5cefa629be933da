#pragma once

#include "Device.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vrel {

// One IPv4 address of this host, with the interface it belongs to.
struct HostAddress {
    std::string interfaceName;
    std::uint32_t address = 0;
    std::uint32_t netmask = 0;
    bool loopback = false;
};

// What is wrong with one device's address as found.
struct DeviceConflict {
    std::size_t device = 0;   // the device's position in the list that was checked
    int sharedBy = 0;         // devices answering with this IP address, when more than one
    bool hostAddress = false; // the device has one of this host's own addresses
    std::string outsideOf;    // the interface (or "this host") whose subnets it is outside of
    bool groupMac = false;    // a broken or hostile device: no Set may be sent to its MAC

    bool Any() const { return sharedBy > 1 || !outsideOf.empty() || hostAddress || groupMac; }
    // The notes joined by "; ", empty when there is nothing to note.
    std::string Text() const;
};

// The conflicts of the devices that have any, in the order of devices; a device with nothing
// to note has no entry, so a list of thousands of healthy devices costs no record each.
// Marked are an IP address that more than one device answers with (devices leave the factory
// with the same default), an address outside the subnets of the interface the answer came in
// on (the device can then be reached only by the broadcast Set), and a device holding one of
// the host's own addresses. Answers that came in over loopback, or on an unknown interface,
// are held against every subnet of the host's other interfaces; a host without any is no
// measure. One sort of the addresses, then one walk.
std::vector<DeviceConflict> FindConflicts(const DeviceList& devices,
                                          const std::vector<HostAddress>& host);
// The same over count devices that deviceAt(i) hands out, for a list kept in another order
// (the rows of a sorted table).
using DeviceAt = std::function<Device(std::size_t)>;
std::vector<DeviceConflict> FindConflicts(std::size_t count, const DeviceAt& deviceAt,
                                          const std::vector<HostAddress>& host);

// "2 devices share an IP address, 1 device is outside ..." for stderr, or empty.
std::string ConflictSummary(const std::vector<DeviceConflict>& conflicts);

} // namespace vrel
