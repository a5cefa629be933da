#pragma once

#include "DiscoveredDevice.h"

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace vrel {

// The devices of one list, one per MAC address: the first answer wins and keeps its place in
// the order of first answers. A later answer with the same MAC address but other content is a
// cloned or misconfigured device, a real commissioning fault; it is counted, and flagged the
// first time only, so that it is reported once per MAC address. Every operation costs a
// constant time per answer, whatever the size of the list.
class DeviceIndex {
public:
    // A deque, not a vector: a list of thousands grows without moving what it holds, and
    // touches its own size in fresh memory instead of twice that. Fresh pages are what a
    // burst of answers costs most.
    using DeviceList = std::deque<DiscoveredDevice>;

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

    DeviceIndex() = default;
    // The MAC lookup refers to this object's list.
    DeviceIndex(const DeviceIndex&) = delete;
    DeviceIndex& operator=(const DeviceIndex&) = delete;

    // In the order of first answers.
    const DeviceList& Devices() const { return devices_; }
    // The listed device with this MAC address text, or null.
    const DiscoveredDevice* Find(const std::string& macAddress) const;
    // How many distinct other answers came for this MAC address besides the listed one.
    int ConflictsOf(const std::string& macAddress) const;
    // How many MAC addresses had conflicting answers.
    std::size_t ConflictedMacCount() const { return conflicts_.size(); }

private:
    template <class D> Outcome Insert(D&& device);

    // Positions in devices_, hashed and compared by the MAC address text they hold, so that
    // the text is kept once; a MAC address text finds its position without a copy.
    struct MacOfPosition {
        using is_transparent = void;
        const DeviceList* devices;
        std::size_t operator()(std::string_view mac) const;
        std::size_t operator()(std::size_t at) const;
        bool operator()(std::string_view mac, std::size_t at) const;
        bool operator()(std::size_t at, std::string_view mac) const;
        bool operator()(std::size_t a, std::size_t b) const;
    };

    DeviceList devices_;
    std::unordered_set<std::size_t, MacOfPosition, MacOfPosition> byMac_{
        0, MacOfPosition{&devices_}, MacOfPosition{&devices_}};
    // Per conflicted MAC: the distinct contents seen besides the listed one.
    std::unordered_map<std::string, std::unordered_set<std::string>> conflicts_;
};

} // namespace vrel
