#include "CsvRecords.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vrel {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

const std::vector<std::string> kKnown = {"macAddress", "ipAddress", "netmask"};

TEST(CsvRecords, SeparatorComesFromTheHeader) {
    const std::pair<std::string, char> cases[] = {
        {"macAddress,ipAddress,netmask\n", ','},
        {"macAddress;ipAddress;netmask\r\n1,2;3,4;5\n", ';'}, // decimal commas in the rows
        {"macAddress\tipAddress\tnetmask\n", '\t'},
        {"\xEF\xBB\xBF" "MACADDRESS;netmask\n", ';'},
        {"\"a,b\";macAddress\n", ';'},  // a comma inside quotes is no separator
        {"location;name,x\n", ';'},     // no known name: the first one outside quotes
        {"location;name,macAddress\n", ','}, // ',' finds a known name, ';' none
        {"macAddress\n", ','},
        {"", ','},
    };
    for (const auto& [text, separator] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(DetectCsvSeparator(text, kKnown), separator);
    }
}

TEST(CsvRecords, TableFindsColumnsByNameInAnyCaseAndOrder) {
    const CsvTable table = ReadCsvTable("\n Netmask ;Location;MACADDRESS;;ipaddress\r\n"
                                        "255.0.0.0;\"Hall; door 2\";0A0000000001;;10.0.0.1\r\n",
                                        kKnown);
    ASSERT_FALSE(table.empty);
    EXPECT_EQ(table.headerLine, 2);
    EXPECT_EQ(table.headerFields, 5u);
    EXPECT_THAT(table.position, ElementsAre(2, 4, 0));
    EXPECT_THAT(table.ignoredColumns, ElementsAre("Location")) << "empty header cells are not named";
    ASSERT_EQ(table.rows.size(), 1u);
    EXPECT_EQ(table.rows[0].line, 3);
    EXPECT_EQ(table.rows[0].fields[1], "Hall; door 2");
    EXPECT_TRUE(ReadCsvTable("\r\n\n", kKnown).empty);
}

TEST(CsvRecords, BrokenTablesNameTheirLine) {
    const std::pair<std::string, const char*> cases[] = {
        {"macAddress;NETMASK;netmask\n", "line 1: unexpected column 'netmask', which appears twice"},
        {"macAddress;netmask\n1;\"2\n", "line 2: quoted field not closed"},
        {"macAddress\tnetmask\n1\t2\n3\t\"4\"x\n", "line 3: text after the closing quote"},
        {"macAddress;netmask\n\n1;2\"\n", "line 3: quote inside an unquoted field"},
    };
    for (const auto& [text, error] : cases) {
        SCOPED_TRACE(text);
        try {
            ReadCsvTable(text, kKnown);
            ADD_FAILURE() << "no error";
        } catch (const CsvError& e) {
            EXPECT_THAT(e.what(), HasSubstr(error));
        }
    }
}

// A device names itself; its texts must neither run as formulas nor break the row apart.
TEST(CsvRecords, CellsAreSafeForSpreadsheets) {
    const std::pair<std::string, std::string> cases[] = {
        {"Relay 4", "Relay 4"},
        {"", ""},
        {"Gate, \"North\"", "\"Gate, \"\"North\"\"\""},
        {"=cmd|' /C calc'!A0", "'=cmd|' /C calc'!A0"},
        {"+1", "'+1"},
        {"-2", "'-2"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tx", "'\\x09x"},
        {"\r=1", "'\\x0d=1"},
        {"a\nb,c", "\"a\\x0ab,c\""},
        {"\x1b]0;owned\x07", "\\x1b]0;owned\\x07"},
        {"1;2", "1;2"},
    };
    for (const auto& [raw, cell] : cases) {
        SCOPED_TRACE(raw);
        EXPECT_EQ(CsvCell(raw), cell);
        EXPECT_EQ(PlainCsvCell(raw), raw == cell);
    }
}

} // namespace
} // namespace vrel
