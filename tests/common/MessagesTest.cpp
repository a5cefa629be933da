#include "Messages.h"
#include "Exception.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace vrel {
namespace {

struct CodeText {
    int code;
    const char* text;
};

// The catalogues are shown to users and matched by support staff, so every text is pinned
// byte for byte, typos and missing blanks included.
const CodeText kProtocolTexts[] = {
    {0, "(KvVREL) Ok!"},
    {-1001, "(KvVREL) Fail to read VREL variables from file([FILENAME])!"},
    {-1002, "(KvVREL) Bad format at line([LINENO])in VREL variables file([FILENAME])!"},
    {-1003, "(KvVREL) Bad syntax at line([LINENO])in VREL variables file([FILENAME])!"},
    {-1004, "(KvVREL) Bad access type at line([LINENO])in VREL variables file([FILENAME])!"},
    {-1005, "(KvVREL) Bad variable ID!"},
    {-1006, "(KvVREL) Bad command type!"},
    {-1007, "(KvVREL) Bad value type!"},
    {-1008, "(KvVREL) Socket not ready!Please check if the network is ready."},
    {-1009, "(KvVREL) Socket read/write error!"},
    {-1010, "(KvVREL) Bad MAC address!"},
    {-1011, "(KvVREL) Password Error!"},
    {-1012, "(KvVREL) Not Done!"},
    {-1013, "(KvVREL) Bad packet!"},
    {-1014, "(KvVREL) Timeout!"},
    {-1015, "(KvVREL) Unknown error!"},
    {-1016, "(KvVREL) Bad VREL response variable index in the expression!"},
    {-1017, "(KvVREL) Bad VREL syntax in the expression!"},
    {-1018, "(KvVREL) Bad value of VREL variable's (partial) data!"},
    {-1019, "(KvVREL) Out of range about the starting byte index of the VREL variable's "
            "(partial) data related to a edit!"},
    {-1020, "(KvVREL) No reference option list for ComboBox or RadioGroup control!"},
    {-1021, "(KvVREL) Out of range about the bit index of the VREL variable's (partial) data "
            "related to a edit!"},
    {-1022, "(KvVREL) Bad syntax of the VREL variable's (partial) data which is no reference "
            "option list and related a checkbox!"},
    {-1023, "(KvVREL) Count of the edits is not enough to put the VREL variable's partial value "
            "on them!"},
    {-1024, "(KvVREL) Bad type of the VCL controls to be the edits related with a VREL "
            "variable's (partial) data!"},
};

const CodeText kCommonTexts[] = {
    {0, "(KvCommon) Ok!"},
    {-1, "(KvCommon) Bad logic operand!"},
    {-2, "(KvCommon) Bad format specifier of edit's constraint!"},
    {-3, "(KvCommon) Empty value is not allowed!"},
    {-4, "(KvCommon) Please enter a string whose length is less than [MAXLEN]!"},
    {-5, "(KvCommon) Please enter a string whose length is [LEN]!"},
    {-6, "(KvCommon) Please enter a hex string whose length is less than [MAXLEN]!"},
    {-7, "(KvCommon) Please enter a hex string whose length is [LEN]!"},
    {-8, "(KvCommon) Please enter a number between [MIN] and [MAX]!"},
    {-9, "(KvCommon) Please enter a delimited number string with delimiter '[DELIMITER]'.\n"
         "Here,the count of the number is less than [MAXCOUNT]!"},
    {-10, "(KvCommon) Please enter a delimited number string with delimiter '[DELIMITER]'.\n"
          "Here,the count of the number is equal to [COUNT]!"},
    {-11, "(KvCommon) Please enter a delimited number string with delimiter '[DELIMITER]'.\n"
          "Here,each number is between [MIN] and [MAX]!"},
    {-12, "(KvCommon) Out of range at index of array or list!"},
    {-13, "(KvCommon) Destination buffer is undersize!"},
    {-14, "(KvCommon) The source to dncrypt is not encrypted!"},
    {-15, "(KvCommon) Fail to read data from file([FILENAME])!"},
    {-16, "(KvCommon) Fail to write data to file([FILENAME])!"},
    {-17, "(KvCommon) Fail to write value in ini file([FILENAME])!"},
    {-18, "(KvCommon) Fail to read option data from file([FILENAME])!"},
};

static_assert(std::size(kProtocolTexts) == kProtocolMessageCount);
static_assert(std::size(kCommonTexts) == kCommonMessageCount);

const char* const kUnknown = "(KvVREL) Unknown error!";

TEST(Messages, ProtocolCatalogue) {
    for (const auto& [code, text] : kProtocolTexts)
        EXPECT_EQ(MessageForCode(code), text) << "code " << code;
}

TEST(Messages, CommonCatalogue) {
    for (const auto& [code, text] : kCommonTexts)
        EXPECT_EQ(CommonMessageForCode(code), text) << "code " << code;
}

TEST(Messages, CommonLookupFallsBackToProtocolCatalogue) {
    EXPECT_EQ(CommonMessageForCode(-1014), "(KvVREL) Timeout!");
    EXPECT_EQ(CommonMessageForCode(-1024), kProtocolTexts[24].text);
}

// No code produces these, but a lookup with one must stay inside the tables.
TEST(Messages, CodesOutsideTheTablesGiveUnknownError) {
    for (int code : {1, -19, -1000, -1025, -2000, INT_MIN, INT_MAX}) {
        EXPECT_EQ(MessageForCode(code), kUnknown) << "code " << code;
        EXPECT_EQ(CommonMessageForCode(code), kUnknown) << "code " << code;
    }
}

TEST(Messages, LogFormats) {
    EXPECT_EQ(LogFormat(kLogDiscover), "Discover:[ERROR]Request:[VARLIST].Receive at [TIME].");
    EXPECT_EQ(LogFormat(kLogGet), "Get:[ERROR]Request:[VARLIST].Receive at [TIME].");
    EXPECT_EQ(LogFormat(kLogSet), "Set:[ERROR]Request:[VARLIST].Receive at [TIME].");
}

TEST(Messages, ReplaceAll) {
    struct Case {
        const char* source;
        const char* pattern;
        const char* replacement;
        const char* expected;
    };
    const Case cases[] = {
        {"[ERROR] and [ERROR]", "[ERROR]", "x", "x and x"},
        {"no placeholder", "[ERROR]", "x", "no placeholder"},
        {"abc", "", "x", "abc"},
        {"", "", "x", ""},
        {"", "a", "x", ""},
        {"Error ERROR", "error", "x", "Error ERROR"},
        {"[ERROR]", "[ERROR]", "<[ERROR]>", "<[ERROR]>"},
        {"aaa", "aa", "b", "ba"},
        {"aa", "a", "aa", "aaaa"},
        {"[A][B]", "[A]", "", "[B]"},
        {"line1\nline2", "\n", " / ", "line1 / line2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplaceAll(c.source, c.pattern, c.replacement), c.expected)
            << "source '" << c.source << "' pattern '" << c.pattern << "'";
}

TEST(Messages, RaisersCarryTextAndCode) {
    try {
        RaiseVrel(-1007);
        FAIL() << "RaiseVrel returned";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "(KvVREL) Bad value type!");
        EXPECT_EQ(e.HelpContext(), -1007);
    }
    try {
        RaiseCommon(-1);
        FAIL() << "RaiseCommon returned";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "(KvCommon) Bad logic operand!");
        EXPECT_EQ(e.HelpContext(), -1);
    }
    try {
        RaiseConvert("'%s' is not a valid integer value", "12 ");
        FAIL() << "RaiseConvert returned";
    } catch (const ConvertError& e) {
        EXPECT_EQ(e.Message(), "'12 ' is not a valid integer value");
        EXPECT_EQ(e.HelpContext(), 0);
    }
    // The offending text is user input: a "%s" inside it must come through as it is.
    try {
        RaiseConvert("'%s' is not a valid IP address", "%s%n");
        FAIL() << "RaiseConvert returned";
    } catch (const ConvertError& e) {
        EXPECT_EQ(e.Message(), "'%s%n' is not a valid IP address");
    }
}

} // namespace
} // namespace vrel
