#pragma once

#include "DiscoveredDevice.h"

#include <cstddef>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vrel {

// The devices of one list, one per MAC address: the first answer wins and keeps its place in
// the order of first answers. A later answer with the same MAC address but other content is a
// cloned or misconfigured device, a real commissioning fault; it is counted, and flagged the
// first time only, so that it is reported once per MAC address. Every operation costs a
// constant time per answer, whatever the size of the list.
class DeviceIndex {
public:
    enum class Outcome {
        Added,         // a new MAC address: the device joins the list
        Repeat,        // the same answer again (a device answering twice, or two Discovers)
        FirstConflict, // other content for a listed MAC address, the first time for it
        Conflict,      // other content again for a MAC address already flagged
    };

    Outcome Add(const DiscoveredDevice& device);
    // The same, taking the device over when it joins the list (left as it was otherwise).
    Outcome Add(DiscoveredDevice&& device);
    void Clear();

    // In the order of first answers.
    const std::vector<DiscoveredDevice>& Devices() const { return devices_; }
    // The listed device with this MAC address text, or null.
    const DiscoveredDevice* Find(const std::string& macAddress) const;
    // How many distinct other answers came for this MAC address besides the listed one.
    int ConflictsOf(const std::string& macAddress) const;
    // How many MAC addresses had conflicting answers.
    std::size_t ConflictedMacCount() const { return conflicts_.size(); }

private:
    template <class D> Outcome Insert(D&& device);

    std::vector<DiscoveredDevice> devices_;
    std::unordered_map<std::string, std::size_t> byMac_;
    // Per conflicted MAC: the distinct contents seen besides the listed one.
    std::unordered_map<std::string, std::unordered_set<std::string>> conflicts_;
};

} // namespace vrel
