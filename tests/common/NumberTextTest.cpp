#include "TestLocales.h"
#include "NumberText.h"
#include "Exception.h"
#include "FormatSettings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace vrel {
namespace {

// Every test starts from the built-in settings, whatever the machine's locale filled in.
class NumberText : public ::testing::Test {
    ScopedFormatSettings plain_{FormatSettings{}};
};

TEST_F(NumberText, ReadIntegerAcceptedForms) {
    struct Case {
        const char* text;
        std::int32_t value;
    };
    const Case cases[] = {
        {"12", 12},
        {"  12", 12},
        {"+12", 12},
        {"-12", -12},
        {"0012", 12},
        {"-0", 0},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"$FF", 255},
        {"$ff", 255},
        {"xFF", 255},
        {"XfF", 255},
        {"0x10", 16},
        {"0X10", 16},
        {"$7FFFFFFF", 2147483647},
        {"$FFFFFFFF", -1},
        {"$80000000", INT32_MIN},
        {"$0000000F", 15},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadInteger(c.text), c.value) << "'" << c.text << "'";
}

TEST_F(NumberText, ReadIntegerRejectedForms) {
    const char* const texts[] = {
        "",           " ", "12 ", "12a", "1.5", "abc",  "2147483648", "-2147483649", "4294967295",
        "$100000000", "$", "0x",  "x",   "-$1", "+0x1", "--1",        "1 2",         "$G",
        "$000000001", "0x00000000F"}; // at most eight hex digits, leading zeros included
    for (const char* text : texts) {
        try {
            ReadInteger(text);
            ADD_FAILURE() << "'" << text << "' was read";
        } catch (const ConvertError& e) {
            EXPECT_EQ(e.Message(), "'" + std::string(text) + "' is not a valid integer value");
            EXPECT_EQ(e.HelpContext(), 0);
        }
    }
}

TEST_F(NumberText, ReadFloat) {
    struct Case {
        const char* text;
        double value;
    };
    const Case cases[] = {
        {"1", 1.0},   {"1.5", 1.5},       {"-2.25", -2.25}, {" 0.5 ", 0.5},
        {"1e3", 1e3}, {"1.5E-7", 1.5e-7}, {"+4", 4.0},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(ReadFloat(c.text), c.value) << "'" << c.text << "'";

    for (const char* text : {"", "abc", "1,5", "1.5x", "nan", "inf", "0x10", "1e"}) {
        try {
            ReadFloat(text);
            ADD_FAILURE() << "'" << text << "' was read";
        } catch (const ConvertError& e) {
            EXPECT_EQ(e.Message(),
                      "'" + std::string(text) + "' is not a valid floating point value");
        }
    }
}

TEST_F(NumberText, ReadFloatWithCommaSeparator) {
    const ScopedFormatSettings comma(test::GermanLike());
    EXPECT_DOUBLE_EQ(ReadFloat("1,5"), 1.5);
    EXPECT_DOUBLE_EQ(ReadFloat("-2,5E3"), -2500.0);
    EXPECT_THROW(ReadFloat("abc"), ConvertError);
}

TEST_F(NumberText, FormatFloatGeneralFormat) {
    struct Case {
        double value;
        const char* dot;
        const char* comma;
    };
    const Case cases[] = {
        {0.0, "0", "0"},
        {1.0, "1", "1"},
        {-1.0, "-1", "-1"},
        {0.5, "0.5", "0,5"},
        {100.0, "100", "100"},
        {123.456, "123.456", "123,456"},
        {0.1 + 0.2, "0.3", "0,3"},
        {1.0 / 3.0, "0.333333333333333", "0,333333333333333"},
        {2.0 / 3.0, "0.666666666666667", "0,666666666666667"},
        {0.0001, "0.0001", "0,0001"},
        {1.5e-7, "1.5E-7", "1,5E-7"},
        {1e-10, "1E-10", "1E-10"},
        {1e14, "100000000000000", "100000000000000"},
        {999999999999999.0, "999999999999999", "999999999999999"},
        {1e20, "1E20", "1E20"},
        {-1e20, "-1E20", "-1E20"},
        {123456789012345678.0, "1.23456789012346E17", "1,23456789012346E17"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatFloat(c.value), c.dot) << c.value;
    const ScopedFormatSettings comma(test::GermanLike());
    for (const auto& c : cases)
        EXPECT_EQ(FormatFloat(c.value), c.comma) << c.value;
}

TEST_F(NumberText, FormatFloatReadsBack) {
    const double values[] = {0.5, -2.75, 123.456, 1e20, 1.5e-7, 36526.5, 999999999999999.0};
    for (const double v : values)
        EXPECT_EQ(ReadFloat(FormatFloat(v)), v) << FormatFloat(v);
    const ScopedFormatSettings comma(test::GermanLike());
    for (const double v : values)
        EXPECT_EQ(ReadFloat(FormatFloat(v)), v) << FormatFloat(v);
}

TEST_F(NumberText, ScopedSettingsRestore) {
    const FormatSettings before = CurrentFormatSettings();
    {
        const ScopedFormatSettings comma(test::GermanLike());
        EXPECT_EQ(CurrentFormatSettings().decimalSeparator, ',');
        EXPECT_EQ(FormatFloat(0.5), "0,5");
    }
    EXPECT_EQ(CurrentFormatSettings().decimalSeparator, before.decimalSeparator);
    EXPECT_EQ(CurrentFormatSettings().dateSeparator, before.dateSeparator);
}

} // namespace
} // namespace vrel
