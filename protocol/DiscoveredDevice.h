#pragma once

#include "KvVRELVarList.h"

#include <optional>
#include <string>

namespace vrel {

// One device as a Discover answer describes it, as value texts.
struct DiscoveredDevice {
    std::string productCode, modelName, macAddress, ipAddress, netmask;
    // The host interface the answer came in on; empty where the receive path does not say.
    std::string interfaceName = {};

    // What the device says about itself. The arrival interface is left out: one device heard
    // through two interfaces of this host is not a second device with its MAC address.
    bool SameAnswer(const DiscoveredDevice& other) const;
};

// The report of an answer that contradicts the listed device with the same MAC address. It
// names the addresses only: those texts come from the codec, not from the device.
std::string ConflictText(const DiscoveredDevice& listed, const DiscoveredDevice& other);

// The device of an answer decoded into the Discovery list (one structured variable whose
// response variables carry the ids below); nothing for any other list.
std::optional<DiscoveredDevice> DeviceFromAnswer(const KvVRELVarList& vars);

} // namespace vrel
