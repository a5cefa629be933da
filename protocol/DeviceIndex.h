#pragma once

#include "Device.h"

#include <QHash>

#include <cstddef>
#include <optional>
#include <unordered_set>
#include <vector>

namespace vrel {

// The devices of one list, one per MAC address: the first answer wins and keeps its place in
// the order of first answers. A later answer with the same MAC address but other content is a
// cloned or misconfigured device, a real commissioning fault; it is counted, and flagged the
// first time only, so that it is reported once per MAC address. A repeat answer is one lookup.
//
// The texts of each device are kept end to end in large blocks and handed out as a Device
// copy: a device takes about a third of the memory of its struct of strings, and a burst of
// thousands of answers costs more in fresh pages than in handling the answers.
class DeviceIndex {
public:
    enum class Outcome {
        Added,         // a new MAC address: the device joins the list
        Repeat,        // the same answer again (a device answering twice, or two Discovers)
        FirstConflict, // other content for a listed MAC address, the first time for it
        Conflict,      // other content again for a MAC address already flagged
    };

    Outcome Add(const Device& device);
    void Clear();

    std::size_t Count() const { return at_.size(); }
    // The device at this place in the order of first answers.
    Device At(std::size_t position) const;
    // The same into a device whose strings are reused: a walk over thousands of devices then
    // allocates nothing after the first few.
    void Read(std::size_t position, Device& into) const;
    std::optional<Device> Find(std::string_view macAddress) const;
    // Every device, in the order of first answers.
    DeviceList Devices() const;
    // A Set the device took: it answers with this address from now on. False when no device
    // with this MAC address is listed.
    bool SetAddress(std::string_view macAddress, const std::string& ip, const std::string& netmask);
    // How many distinct other answers came for this MAC address besides the listed one.
    int ConflictsOf(std::string_view macAddress) const;
    // How many MAC addresses had conflicting answers.
    std::size_t ConflictedMacCount() const { return conflicts_.size(); }

private:
    struct Where {
        std::uint32_t block, offset;
    };
    Where Pack(const Device& device);

    std::vector<std::string> blocks_;
    std::deque<Where> at_;                    // by place in the order of first answers
    QHash<std::uint64_t, std::size_t> byMac_; // place in at_
    // Per conflicted MAC: the distinct contents seen besides the listed one.
    QHash<std::uint64_t, std::unordered_set<std::string>> conflicts_;
};

} // namespace vrel
