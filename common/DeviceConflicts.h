#pragma once

#include "Device.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
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

// The conflicts of the count devices deviceAt(i) hands out, in order: an IP address several
// answer with (devices leave the factory with one default), an address outside the arrival
// interface's subnets (only the broadcast Set reaches it), the host's own address. Answers over
// loopback or an unknown interface are held against all the host's other subnets, if any.
// deviceAt's reference holds until its next call, so a packed list can hand out one scratch
// device for all.
using DeviceAt = std::function<const Device&(std::size_t)>;
std::vector<DeviceConflict> FindConflicts(std::size_t count, const DeviceAt& deviceAt,
                                          const std::vector<HostAddress>& host);

// "2 devices share an IP address, 1 device is outside ..." for stderr, or empty.
std::string ConflictSummary(const std::vector<DeviceConflict>& conflicts);

} // namespace vrel
