#pragma once

#include "DeviceRecords.h"
#include "HashedPositions.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
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
    using DeviceList = DeviceRecords;

    enum class Outcome {
        Added,         // a new MAC address: the device joins the list
        Repeat,        // the same answer again (a device answering twice, or two Discovers)
        FirstConflict, // other content for a listed MAC address, the first time for it
        Conflict,      // other content again for a MAC address already flagged
    };

    Outcome Add(const DeviceView& device);
    void Clear();

    // In the order of first answers.
    const DeviceList& Devices() const { return devices_; }
    // The listed device with this MAC address text; its views live as long as the list.
    std::optional<DeviceView> Find(std::string_view macAddress) const;
    // How many distinct other answers came for this MAC address besides the listed one.
    int ConflictsOf(std::string_view macAddress) const;
    // How many MAC addresses had conflicting answers.
    std::size_t ConflictedMacCount() const { return conflicts_.size(); }

private:
    // The position of the listed device with this MAC address, or HashedPositions::kNone.
    std::uint32_t PositionOf(std::string_view macAddress) const;

    DeviceList devices_;
    // Positions in devices_ by the MAC address text stored there, which is kept only once.
    HashedPositions byMac_;
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const;
    };
    // Per conflicted MAC: the distinct contents seen besides the listed one.
    std::unordered_map<std::string, std::unordered_set<std::string>, TextHash, std::equal_to<>>
        conflicts_;
};

} // namespace vrel
