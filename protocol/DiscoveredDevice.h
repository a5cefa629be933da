#pragma once

#include "KvVRELVarList.h"

#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace vrel {

// One device as a Discover answer describes it, as value texts: owned (Text = std::string)
// where a device is built, or viewed (std::string_view) where a list hands out its devices.
template <class Text> struct BasicDevice {
    Text productCode, modelName, macAddress, ipAddress, netmask;
    // The host interface the answer came in on; empty where the receive path does not say.
    Text interfaceName = {};

    // A view of an owned device.
    operator BasicDevice<std::string_view>() const
        requires(!std::is_same_v<Text, std::string_view>) {
        return {productCode, modelName, macAddress, ipAddress, netmask, interfaceName};
    }
    // An owned copy, which outlives the list it was viewed in.
    BasicDevice<std::string> Owned() const {
        return {std::string(productCode), std::string(modelName), std::string(macAddress),
                std::string(ipAddress),   std::string(netmask),   std::string(interfaceName)};
    }
};

using DiscoveredDevice = BasicDevice<std::string>;
using DeviceView = BasicDevice<std::string_view>;

// What the device says about itself. The arrival interface is left out: one device heard
// through two interfaces of this host is not a second device with its MAC address.
bool SameAnswer(const DeviceView& a, const DeviceView& b);

// The report of an answer that contradicts the listed device with the same MAC address. It
// names the addresses only: those texts come from the codec, not from the device.
std::string ConflictText(const DeviceView& listed, const DeviceView& other);

// The device of an answer decoded into the Discovery list (one structured variable whose
// response variables carry the ids below); nothing for any other list.
std::optional<DiscoveredDevice> DeviceFromAnswer(const KvVRELVarList& vars);
// The same as views into vars, for a list that stores the device itself: no texts copied
// twice per answer.
std::optional<DeviceView> DeviceViewFromAnswer(const KvVRELVarList& vars);

} // namespace vrel
