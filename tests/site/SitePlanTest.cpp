#include "SitePlan.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vrel {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

const std::string kHeader = "macAddress,ipAddress,netmask\n";

TEST(SitePlan, ReadsRowsInAnyColumnOrderWithOptionalPasswords) {
    const SitePlan plan = ReadSitePlan("netmask,password,macAddress,ipAddress\r\n"
                                       "255.255.255.0,pw1,0a:00:00:00:00:01,10.0.0.11\r\n"
                                       "255.255.0.0,,0A0000000002,10.0.1.12\r\n",
                                       false);
    ASSERT_THAT(plan.errors, ElementsAre());
    ASSERT_EQ(plan.rows.size(), 2u);
    EXPECT_EQ(plan.rows[0].mac, "0A0000000001");
    EXPECT_EQ(plan.rows[0].ip, "10.0.0.11");
    EXPECT_EQ(plan.rows[0].password, std::optional<std::string>("pw1"));
    EXPECT_EQ(plan.rows[1].line, 3);
    EXPECT_EQ(plan.rows[1].netmask, "255.255.0.0");
    EXPECT_EQ(plan.rows[1].password, std::nullopt) << "an empty cell leaves it to the options";
}

// Every mistake of a plan is found before anything is sent, each with its line.
TEST(SitePlan, ErrorsNameTheirLine) {
    const std::string row2 = "0A0000000001,10.0.0.11,255.255.255.0\n";
    const std::pair<std::string, const char*> cases[] = {
        {"", "line 1: empty plan"},
        {"macAddress,ipAddress\n", "line 1: the column netmask is missing"},
        {"macAddress,ipAddress,netmask,netmask\n", "line 1: unexpected column 'netmask'"},
        {kHeader + "0A00000000,10.0.0.11,255.255.255.0\n", "line 2: MAC address '0A00000000'"},
        {kHeader + "0A0000000001,10.0.0.11\n", "line 2: expected 3 fields, found 2"},
        {kHeader + "0A0000000001,192.168.11,255.255.255.0\n",
         "line 2: ipAddress: '192.168.11' is not a valid IP address"},
        {kHeader + "0A0000000001,10.0.0.11,255.0.255.0\n", "line 2: netmask: '255.0.255.0'"},
        {kHeader + "0A0000000001,10.0.0.255,255.255.255.0\n",
         "line 2: ipAddress: 10.0.0.255 is the broadcast address of its subnet 10.0.0.0/24; "
         "--force sends it anyway"},
        {kHeader + "FF:FF:FF:FF:FF:FF,10.0.0.11,255.255.255.0\n",
         "line 2: MAC address FFFFFFFFFFFF is a group address"},
        {kHeader + row2 + "0a-00-00-00-00-01,10.0.0.12,255.255.255.0\n",
         "line 3: MAC address 0A0000000001 appears twice (line 2)"},
        {kHeader + row2 + "0A0000000002,10.0.0.11,255.255.255.0\n",
         "line 3: IP address 10.0.0.11 appears twice (line 2)"},
        {kHeader + "\"0A0000000001,10.0.0.11,255.255.255.0\n", "line 2: quoted field not closed"},
    };
    for (const auto& [text, error] : cases) {
        SCOPED_TRACE(text);
        const SitePlan plan = ReadSitePlan(text, false);
        ASSERT_EQ(plan.errors.size(), 1u) << ::testing::PrintToString(plan.errors);
        EXPECT_THAT(plan.errors[0], HasSubstr(error));
    }
    // Forcing lets the implausible through, and nothing else.
    EXPECT_THAT(ReadSitePlan(kHeader + "0A0000000001,10.0.0.255,255.255.255.0\n", true).errors,
                ElementsAre());
    EXPECT_EQ(ReadSitePlan(kHeader + "0A0000000001,10.0.0.1,255.0.255.0\n", true).errors.size(),
              1u);
}

// Spreadsheets save plans with the separator of their locale, columns as the user laid them
// out, and columns of their own (where a device hangs, its name).
TEST(SitePlan, ReadsPlansAsSpreadsheetsSaveThem) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"macAddress;ipAddress;netmask\r\n0A0000000001;10.0.0.11;255.255.255.0\r\n", {}},
        {"macAddress\tipAddress\tnetmask\n0A0000000001\t10.0.0.11\t255.255.255.0\n", {}},
        {"NETMASK;IpAddress;MacAddress\n255.255.255.0;10.0.0.11;0A0000000001\n", {}},
        {"\xEF\xBB\xBFlocation;macAddress;name;ipAddress;netmask\r\n"
         "\"Hall 2; door\";0A0000000001;\"Gate \"\"A\"\"\";10.0.0.11;255.255.255.0\r\n",
         {"location", "name"}},
        {"macAddress,ipAddress,netmask,location\n0A0000000001,10.0.0.11,255.255.255.0,\"a,b\"\n",
         {"location"}},
    };
    for (const auto& [text, ignored] : cases) {
        SCOPED_TRACE(text);
        const SitePlan plan = ReadSitePlan(text, false);
        ASSERT_THAT(plan.errors, ElementsAre());
        ASSERT_EQ(plan.rows.size(), 1u);
        EXPECT_EQ(plan.rows[0].mac, "0A0000000001");
        EXPECT_EQ(plan.rows[0].ip, "10.0.0.11");
        EXPECT_EQ(plan.rows[0].netmask, "255.255.255.0");
        EXPECT_EQ(plan.rows[0].line, 2);
        EXPECT_EQ(plan.ignoredColumns, ignored);
    }
    EXPECT_EQ(IgnoredColumnsNotice(ReadSitePlan(cases[3].first, false)),
              "vrel: ignoring column 'location'\nvrel: ignoring column 'name'\n");
}

TEST(SitePlan, BrokenSemicolonPlansNameTheirLine) {
    const std::string header = "location;macAddress;ipAddress;netmask\n";
    const std::pair<std::string, const char*> cases[] = {
        {"location;macAddress;ipAddress\n", "line 1: the column netmask is missing"},
        {header + "a;0A0000000001;10.0.0.11\n", "line 2: expected 4 fields, found 3"},
        {header + "\n\"a;b\";0A00000001;10.0.0.11;255.255.255.0\n", "line 3: MAC address"},
        {header + "\"x\ny\";0A0000000001;10.0.0.11;255.255.255.0\n"
                  "z;0A0000000002;10.0.0.11;255.255.255.0\n",
         "line 4: IP address 10.0.0.11 appears twice (line 2)"},
        {header + "a;0A0000000001;10.0.0.11,255.255.255.0\n", "line 2: expected 4 fields"},
    };
    for (const auto& [text, error] : cases) {
        SCOPED_TRACE(text);
        const SitePlan plan = ReadSitePlan(text, false);
        ASSERT_EQ(plan.errors.size(), 1u) << ::testing::PrintToString(plan.errors);
        EXPECT_THAT(plan.errors[0], HasSubstr(error));
    }
}

TEST(SitePlan, AddressHeldByADeviceOutsideThePlanIsAnError) {
    const SitePlan plan = ReadSitePlan(kHeader + "0A0000000001,10.0.0.2,255.255.255.0\n"
                                                 "0A0000000002,10.0.0.1,255.255.255.0\n"
                                                 "0A0000000003,10.0.0.9,255.255.255.0\n",
                                       false);
    const DeviceList found = {
        {"1", "A", "0A0000000001", "10.0.0.1", "255.255.255.0", ""}, // two planned devices swap
        {"2", "B", "0A0000000002", "10.0.0.2", "255.255.255.0", ""},
        {"9", "X", "0A0000000009", "10.0.0.9", "255.255.255.0", ""}, // not in the plan
    };
    EXPECT_THAT(AddressesTakenOutside(plan, found),
                ElementsAre("line 4: IP address 10.0.0.9 is used by 0A0000000009, which is not "
                            "in the plan"));
}

} // namespace
} // namespace vrel
