#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace vrel {

// One device as a Discover answer describes it, in the codec's value texts, and the host
// interface the answer came in on.
struct Device {
    std::string productCode, modelName, macAddress, ipAddress, netmask;
    // Where the answer came in (empty, index 0: not known); a Set for the device goes out there.
    std::string interfaceName = {};
    int interfaceIndex = 0;
};

// A deque: a burst of thousands of answers grows it without moving the devices or touching
// twice its size in fresh pages, which cost a burst more than handling its answers.
using DeviceList = std::deque<Device>;

// What the device says about itself, without the arrival interface: one device heard through
// two interfaces of this host is not a second device with its MAC address.
bool SameAnswer(const Device& a, const Device& b);

// The report of an answer that contradicts the listed device with the same MAC address.
std::string ConflictText(const Device& listed, const Device& other);

// A MAC address text as its 48-bit number, the key of device lists. Any text other than the
// codec's twelve upper-case hex digits gets a key above 48 bits from its hash.
std::uint64_t MacKey(std::string_view macText);

} // namespace vrel
