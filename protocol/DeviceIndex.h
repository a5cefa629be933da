#pragma once

#include "Device.h"

#include <QHash>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace vrel {

// The devices of one list, one per MAC address: the first answer wins and keeps its place in
// the order of first answers. A later answer with the same MAC address but other content is a
// cloned or misconfigured device, a real commissioning fault; it is counted, and flagged the
// first time only, so that it is reported once per MAC address. A repeat answer is one lookup.
class DeviceIndex {
public:
    enum class Outcome {
        Added,         // a new MAC address: the device joins the list
        Repeat,        // the same answer again (a device answering twice, or two Discovers)
        FirstConflict, // other content for a listed MAC address, the first time for it
        Conflict,      // other content again for a MAC address already flagged
    };

    // Takes the device (moves from it) only when it is added.
    Outcome Add(Device&& device);
    void Clear();

    // In the order of first answers.
    const DeviceList& Devices() const { return devices_; }
    // The listed device with this MAC address text; valid until the next Add or Clear.
    const Device* Find(std::string_view macAddress) const;
    // A Set the device took: it answers with this address from now on. False when no device
    // with this MAC address is listed.
    bool SetAddress(std::string_view macAddress, const std::string& ip, const std::string& netmask);
    // How many distinct other answers came for this MAC address besides the listed one.
    int ConflictsOf(std::string_view macAddress) const;
    // How many MAC addresses had conflicting answers.
    std::size_t ConflictedMacCount() const { return conflicts_.size(); }

private:
    DeviceList devices_;
    QHash<std::uint64_t, std::size_t> byMac_; // position in devices_
    // Per conflicted MAC: the distinct contents seen besides the listed one.
    QHash<std::uint64_t, std::unordered_set<std::string>> conflicts_;
};

} // namespace vrel
