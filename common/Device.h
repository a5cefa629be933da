#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace vrel {

// One device as a Discover answer describes it, as the value texts the codec made of it, and
// the host interface the answer came in on. The command line, the window, plans and checks all
// take their devices in this form.
struct Device {
    std::string productCode, modelName, macAddress, ipAddress, netmask;
    // Where the answer came in; empty (index 0) where the receive path does not say. A Set
    // for this device goes out of the same interface.
    std::string interfaceName = {};
    int interfaceIndex = 0;
};

// The devices of a list in the order of first answers. A deque: a burst of thousands of
// answers grows it without moving the devices, where a vector's doublings would touch twice
// its size in fresh memory, and fresh pages cost a burst more than handling its answers.
using DeviceList = std::deque<Device>;

// What the device says about itself. The arrival interface is left out: one device heard
// through two interfaces of this host is not a second device with its MAC address.
bool SameAnswer(const Device& a, const Device& b);

// The report of an answer that contradicts the listed device with the same MAC address. It
// names the addresses only: those texts come from the codec, not from the device.
std::string ConflictText(const Device& listed, const Device& other);

// A MAC address text as the 48-bit number it stands for, the key of device lists. The codec
// writes twelve upper-case hex digits; any other text (it cannot come off the wire) gets a
// key above 48 bits from its hash, so it still finds its own entry.
std::uint64_t MacKey(std::string_view macText);

} // namespace vrel
