#include "DeviceRecords.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vrel::test {
namespace {

void ExpectSame(const DeviceView& got, const DiscoveredDevice& want) {
    EXPECT_EQ(got.productCode, want.productCode);
    EXPECT_EQ(got.modelName, want.modelName);
    EXPECT_EQ(got.macAddress, want.macAddress);
    EXPECT_EQ(got.ipAddress, want.ipAddress);
    EXPECT_EQ(got.netmask, want.netmask);
    EXPECT_EQ(got.interfaceName, want.interfaceName);
}

// Texts around the length where the stored form changes, one larger than a block, and bytes
// a text store must not treat as ends.
std::vector<DiscoveredDevice> Devices() {
    std::vector<DiscoveredDevice> devices;
    const std::string odd("a\0b\xFF", 4);
    for (const std::size_t size : {0u, 1u, 254u, 255u, 256u, 70000u}) {
        const std::string text(size, 'x');
        devices.push_back({text, text + "m", odd + text, "10.0.0.1", text + odd, text});
    }
    for (int n = 0; n < 3000; ++n) // several blocks
        devices.push_back({std::to_string(n), "Model", "0A" + std::to_string(100000 + n),
                           "10.0.0." + std::to_string(n % 256), "255.255.255.0", "eth0"});
    return devices;
}

TEST(DeviceRecords, DevicesComeBackByteExactAndViewsOutliveLaterAppends) {
    const auto devices = Devices();
    DeviceRecords records;
    records.push_back(devices[0]);
    const DeviceView first = records[0];
    for (std::size_t i = 1; i < devices.size(); ++i)
        records.push_back(devices[i]);
    ASSERT_EQ(records.size(), devices.size());
    ExpectSame(first, devices[0]);
    std::size_t i = 0;
    for (const DeviceView device : records)
        ExpectSame(device, devices[i++]);

    const DeviceRecords copy = records;
    records.clear();
    EXPECT_TRUE(records.empty());
    ASSERT_EQ(copy.size(), devices.size());
    ExpectSame(copy.back(), devices.back());
    ExpectSame(copy[4], devices[4]);
}

} // namespace
} // namespace vrel::test
