#include "DeviceAddress.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace vrel {
namespace {

using ::testing::HasSubstr;

TEST(DeviceAddress, MacIsTwelveHexDigitsOrSixSeparatedPairs) {
    const std::pair<const char*, const char*> good[] = {
        {"0A1B2C3D4E5F", "0A1B2C3D4E5F"},      {"0a1b2c3d4e5f", "0A1B2C3D4E5F"},
        {"0a:1b:2c:3d:4e:5f", "0A1B2C3D4E5F"}, {"0a-1b-2c-3d-4e-5f", "0A1B2C3D4E5F"},
        {"0a 1b 2c 3d 4e 5f", "0A1B2C3D4E5F"}, {"ffffffffffff", "FFFFFFFFFFFF"},
    };
    for (const auto& [text, mac] : good)
        EXPECT_EQ(NormalizeMac(text), std::optional<std::string>(mac)) << text;
    const char* const bad[] = {
        "",
        "0A1B2C3D4E5",       // 11 digits
        "0A1B2C3D4E5F0",     // 13 digits
        "0A:1B:2C:3D:4E",    // five pairs
        "0A1B2C3D4E5G",      // not hex
        "0x0A1B2C3D4E",      // 'x'
        "0A.1B.2C.3D.4E.5F", // '.' is no separator
        "0A1B2C3D4E5F\n",    // a line end from a script
        "0A1B2C3D4E5F;rm",   // trailing junk
        "0A:1B-2C:3D:4E:5F", // separators mixed
        "0A1:B2C:3D4:E5F",   // not in pairs
        "0A:1B:2C:3D:4E:5F:",
        "\300A1B2C3D4E5F", // a byte above 127
    };
    for (const char* text : bad)
        EXPECT_EQ(NormalizeMac(text), std::nullopt) << text;
}

// The low bit of the first octet makes a group address: every device listening takes it.
TEST(DeviceAddress, GroupMacsAreNeverASetTarget) {
    const std::pair<const char*, bool> cases[] = {
        {"FFFFFFFFFFFF", true},  {"01005E000001", true},  {"333300000001", true},
        {"0A0000000001", false}, {"020000000001", false}, {"FE0000000001", false},
    };
    for (const auto& [mac, group] : cases)
        EXPECT_EQ(!GroupMacProblem(mac).empty(), group) << mac;
}

TEST(DeviceAddress, DottedQuadIsFourDecimalBytesWithoutLeadingZeros) {
    for (const char* text :
         {"0.0.0.0", "10.0.0.1", "192.168.1.255", "255.255.255.255", "1.22.133.0"})
        EXPECT_TRUE(ParseDottedQuad(text)) << text;
    const char* const bad[] = {
        "",           "10.0.0.053", "010.0.0.1",  "10.0.0.00",  "256.0.0.1", "10.0.0.256",
        "1000.0.0.1", "10.1",       "10.0.1",     "10.0.0.1.5", "10.0.0.",   ".10.0.0.1",
        "10..0.1",    "10.0.0.1 ",  " 10.0.0.1",  "10.0.0.+1",  "10.0.0.-1", "10.0.0.0x1",
        "a.b.c.d",    "10,0,0,1",   "4294967295", "10.0.0.1\n",
    };
    for (const char* text : bad)
        EXPECT_FALSE(ParseDottedQuad(text)) << text;
}

TEST(DeviceAddress, NetmaskHasItsOnesFromTheTop) {
    // Every prefix length from /0 to /32 is a netmask.
    for (int bits = 0; bits <= 32; ++bits) {
        const std::uint32_t mask = bits == 0 ? 0 : ~std::uint32_t(0) << (32 - bits);
        const std::string text =
            std::to_string(mask >> 24) + "." + std::to_string((mask >> 16) & 255) + "." +
            std::to_string((mask >> 8) & 255) + "." + std::to_string(mask & 255);
        EXPECT_TRUE(ParseNetmask(text)) << text;
    }
    for (const char* text :
         {"255.0.255.0", "0.255.255.255", "255.255.255.1", "255.255.0.255", "254.255.255.0",
          "255.255.253.0", "128.0.0.1", "255.255.255.00", "255.255.255", "", "255.255.255.256"})
        EXPECT_FALSE(ParseNetmask(text)) << text;
}

TEST(DeviceAddress, DottedQuadReadsBackAsWritten) {
    for (const char* text : {"0.0.0.0", "10.0.0.1", "192.168.100.255", "255.255.255.255"})
        EXPECT_EQ(FormatDottedQuad(ParseDottedQuad(text).value()), text);
}

// Addresses that would strand a device: it could no longer be reached on its network.
TEST(DeviceAddress, PlausibilityRefusesAddressesADeviceCannotLiveAt) {
    struct Case {
        const char* ip;
        const char* netmask;
        const char* problem; // nullptr: usable
    };
    const Case cases[] = {
        {"10.0.0.1", "255.255.255.0", nullptr},
        {"192.168.1.254", "255.255.255.0", nullptr},
        {"10.0.0.1", "255.255.255.252", nullptr}, // /30 still has two hosts
        {"10.200.0.0", "255.0.0.0", nullptr},     // host part non-zero across the bytes
        {"1.0.0.1", "128.0.0.0", nullptr},
        {"223.255.255.254", "255.255.255.0", nullptr},
        {"0.0.0.0", "255.255.255.0", "0.0.0.0/8"},
        {"0.1.2.3", "255.0.0.0", "0.0.0.0/8"},
        {"127.0.0.1", "255.0.0.0", "loopback"},
        {"127.10.0.1", "255.255.255.0", "loopback"},
        {"224.0.0.1", "255.255.255.0", "multicast"},
        {"239.255.255.250", "255.255.255.0", "multicast"},
        {"240.0.0.1", "255.255.255.0", "reserved"},
        {"255.255.255.255", "255.255.255.0", "broadcast"},
        {"10.0.0.0", "255.255.255.0", "network address of its subnet 10.0.0.0/24"},
        {"10.0.0.255", "255.255.255.0", "broadcast address of its subnet 10.0.0.0/24"},
        {"10.0.255.255", "255.255.0.0", "broadcast address of its subnet 10.0.0.0/16"},
        {"172.16.0.0", "255.240.0.0", "network address of its subnet 172.16.0.0/12"},
        {"10.0.0.1", "0.0.0.0", "netmask 0.0.0.0"},
        {"10.0.0.1", "255.255.255.254", "/31"},
        {"10.0.0.1", "255.255.255.255", "/32"},
        {"10.0.0.1", "255.0.255.0", "holes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.ip) + "/" + c.netmask);
        const std::string problem =
            AddressProblem(ParseDottedQuad(c.ip).value(), ParseDottedQuad(c.netmask).value());
        if (c.problem == nullptr)
            EXPECT_EQ(problem, "");
        else
            EXPECT_THAT(problem, HasSubstr(c.problem));
    }
}

// A refusal names the field at fault; only the plausibility rule gives way to force.
TEST(DeviceAddress, CheckNamesTheFieldAndYieldsToForceOnlyForPlausibility) {
    struct Case {
        const char* ip;
        const char* netmask;
        bool refused;
        AddressRefusal::Field field;
        bool overridable;
        const char* reason;
    };
    using F = AddressRefusal;
    const Case cases[] = {
        {"10.0.0.9", "255.255.255.0", false, F::kIpAddress, false, ""},
        {"192.168.11", "255.255.255.0", true, F::kIpAddress, false,
         "'192.168.11' is not a valid IP"},
        {"010.0.0.1", "255.255.255.0", true, F::kIpAddress, false, "'010.0.0.1' is not a valid IP"},
        {"10.0.0.9", "255.255.0.255", true, F::kNetmask, false,
         "'255.255.0.255' is not a valid netmask"},
        {"10.0.0.9", "255.255.255", true, F::kNetmask, false, "is not a valid netmask"},
        {"10.0.0.255", "255.255.255.0", true, F::kIpAddress, true, "broadcast address"},
        {"127.0.0.1", "255.0.0.0", true, F::kIpAddress, true, "loopback"},
        {"10.0.0.9", "0.0.0.0", true, F::kNetmask, true, "netmask 0.0.0.0"},
        {"10.0.0.9", "255.255.255.255", true, F::kNetmask, true, "/32"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.ip) + "/" + c.netmask);
        const auto refusal = CheckDeviceAddress(c.ip, c.netmask);
        ASSERT_EQ(refusal.has_value(), c.refused);
        if (refusal) {
            EXPECT_EQ(refusal->field, c.field);
            EXPECT_EQ(refusal->overridable, c.overridable);
            EXPECT_THAT(refusal->reason, HasSubstr(c.reason));
        }
        // Forcing lets the plausible through, never an unreadable text.
        EXPECT_EQ(CheckDeviceAddress(c.ip, c.netmask, true).has_value(),
                  c.refused && !c.overridable);
    }
}

} // namespace
} // namespace vrel
