#include "DateTimeText.h"
#include "Exception.h"
#include "FormatSettings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

namespace vrel {
namespace {

// Half a millisecond in days: the resolution every conversion keeps.
constexpr double kHalfMs = 0.5 / 86400000.0;

FormatSettings UsLike() {
    return FormatSettings{};
}

FormatSettings GermanLike() {
    FormatSettings s;
    s.decimalSeparator = ',';
    s.dateSeparator = '.';
    s.shortDateOrder = FormatSettings::DateOrder::DMY;
    s.timeSeparator = ':';
    s.amText = "vorm.";
    s.pmText = "nachm.";
    return s;
}

FormatSettings IsoLikeDotTime() {
    FormatSettings s;
    s.dateSeparator = '-';
    s.shortDateOrder = FormatSettings::DateOrder::YMD;
    s.timeSeparator = '.';
    return s;
}

CivilDateTime Civil(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    return CivilDateTime{y, mo, d, h, mi, s, ms};
}

std::string Show(const CivilDateTime& c) {
    char text[128];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", c.year, c.month, c.day,
                  c.hour, c.minute, c.second, c.millisecond);
    return text;
}

class DateTimeText : public ::testing::Test {
    ScopedFormatSettings plain_{FormatSettings{}};
};

TEST_F(DateTimeText, EncodeAndDecodeExactValues) {
    struct Case {
        CivilDateTime civil;
        double value;
    };
    const Case cases[] = {
        {Civil(1899, 12, 30), 0.0},
        {Civil(1900, 1, 1), 2.0},
        {Civil(1900, 3, 1), 61.0}, // 1900 is not a leap year
        {Civil(2000, 1, 1, 12), 36526.5},
        {Civil(2024, 3, 5), 45356.0},
        {Civil(1899, 12, 29), -1.0},
        {Civil(1899, 12, 29, 6), -1.25}, // the fraction counts forward from midnight
        {Civil(1899, 12, 28, 18), -2.75},
        {Civil(1, 1, 1), -693593.0},
        {Civil(9999, 12, 31), 2958465.0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeDateTime(c.civil), c.value) << Show(c.civil);
        EXPECT_EQ(Show(DecodeDateTime(c.value)), Show(c.civil)) << c.value;
    }
}

TEST_F(DateTimeText, EncodeDecodeRoundTripKeepsMilliseconds) {
    const CivilDateTime cases[] = {
        Civil(2024, 2, 29, 23, 59, 59, 999),  Civil(2024, 3, 5, 13, 2, 3, 456),
        Civil(1850, 6, 15, 18, 30, 0, 500),   Civil(2000, 2, 29, 0, 0, 0, 1),
        Civil(1899, 12, 29, 23, 59, 59, 999),
    };
    for (const auto& c : cases)
        EXPECT_EQ(Show(DecodeDateTime(EncodeDateTime(c))), Show(c));
    EXPECT_NEAR(EncodeDateTime(Civil(2024, 3, 5, 13, 2, 3)), 45356.54309027778, kHalfMs);
    EXPECT_NEAR(EncodeDateTime(Civil(1850, 6, 15, 18)), -18095.75, kHalfMs);
}

// A fraction that rounds to a whole day is the next midnight, before the epoch as after it.
TEST_F(DateTimeText, DecodeRoundsUpToTheNextMidnight) {
    const std::pair<double, CivilDateTime> cases[] = {
        {45356.9999999999, Civil(2024, 3, 6)},   {0.9999999999, Civil(1899, 12, 31)},
        {-0.9999999999, Civil(1899, 12, 31)},    {-1.9999999999, Civil(1899, 12, 30)},
        {-18095.9999999999, Civil(1850, 6, 16)},
    };
    for (const auto& [value, civil] : cases)
        EXPECT_EQ(Show(DecodeDateTime(value)), Show(civil)) << value;
    EXPECT_EQ(FormatDateTime(-1.9999999999), "1899/12/30 12:00:00 am");
}

TEST_F(DateTimeText, EncodeRejectsFieldsOutOfRange) {
    const CivilDateTime cases[] = {
        Civil(2024, 0, 1),
        Civil(2024, 13, 1),
        Civil(2024, 1, 0),
        Civil(2024, 1, 32),
        Civil(2024, 2, 30),
        Civil(2023, 2, 29),
        Civil(1900, 2, 29),
        Civil(2024, 4, 31),
        Civil(2024, 1, 1, 24),
        Civil(2024, 1, 1, -1),
        Civil(2024, 1, 1, 0, 60),
        Civil(2024, 1, 1, 0, 0, 60),
        Civil(2024, 1, 1, 0, 0, 0, 1000),
    };
    for (const auto& c : cases)
        EXPECT_THROW(EncodeDateTime(c), ConvertError) << Show(c);
}

struct FormatCase {
    CivilDateTime civil;
    const char* us;
    const char* german;
    const char* isoDotTime;
};

const FormatCase kFormatCases[] = {
    {Civil(2024, 3, 5, 13, 2, 3), "2024/03/05 01:02:03 pm", "2024.03.05 01:02:03 pm",
     "2024-03-05 01.02.03 pm"},
    {Civil(2024, 3, 5), "2024/03/05 12:00:00 am", "2024.03.05 12:00:00 am",
     "2024-03-05 12.00.00 am"},
    {Civil(2024, 12, 31, 12), "2024/12/31 12:00:00 pm", "2024.12.31 12:00:00 pm",
     "2024-12-31 12.00.00 pm"},
    {Civil(2024, 1, 9, 0, 30, 5), "2024/01/09 12:30:05 am", "2024.01.09 12:30:05 am",
     "2024-01-09 12.30.05 am"},
    {Civil(1999, 11, 30, 23, 59, 59), "1999/11/30 11:59:59 pm", "1999.11.30 11:59:59 pm",
     "1999-11-30 11.59.59 pm"},
    {Civil(1899, 12, 30), "1899/12/30 12:00:00 am", "1899.12.30 12:00:00 am",
     "1899-12-30 12.00.00 am"},
    {Civil(1899, 12, 29, 6), "1899/12/29 06:00:00 am", "1899.12.29 06:00:00 am",
     "1899-12-29 06.00.00 am"},
};

TEST_F(DateTimeText, FormatOnTwelveHourClock) {
    for (const auto& c : kFormatCases) {
        const double value = EncodeDateTime(c.civil);
        EXPECT_EQ(FormatDateTime(value), c.us);
        {
            const ScopedFormatSettings german(GermanLike());
            EXPECT_EQ(FormatDateTime(value), c.german);
        }
        const ScopedFormatSettings iso(IsoLikeDotTime());
        EXPECT_EQ(FormatDateTime(value), c.isoDotTime);
    }
}

// What the datetime decoder shows, a user may send back unchanged.
TEST_F(DateTimeText, FormattedTextReadsBackOnEveryLocale) {
    for (const FormatSettings& settings : {UsLike(), GermanLike(), IsoLikeDotTime()}) {
        const ScopedFormatSettings scoped(settings);
        for (const auto& c : kFormatCases) {
            const double value = EncodeDateTime(c.civil);
            const std::string text = FormatDateTime(value);
            try {
                EXPECT_NEAR(ReadDateTime(text), value, kHalfMs) << text;
            } catch (const ConvertError& e) {
                ADD_FAILURE() << text << ": " << e.Message();
            }
        }
    }
}

TEST_F(DateTimeText, ReadInShortDateOrder) {
    struct Case {
        FormatSettings settings;
        const char* text;
        CivilDateTime civil;
    };
    const Case cases[] = {
        {UsLike(), "3/5/2024 13:02", Civil(2024, 3, 5, 13, 2)},
        {UsLike(), "03/05/2024 1:02:03 pm", Civil(2024, 3, 5, 13, 2, 3)},
        {UsLike(), "3/5/2024", Civil(2024, 3, 5)},
        {UsLike(), "3/5/2024 12:00 am", Civil(2024, 3, 5)},
        {UsLike(), "3/5/2024 12:30 pm", Civil(2024, 3, 5, 12, 30)},
        {UsLike(), "3/5/2024 11:15 am", Civil(2024, 3, 5, 11, 15)},
        {UsLike(), "12/31/1899 6:00", Civil(1899, 12, 31, 6)},
        {GermanLike(), "5.3.2024 1:02 pm", Civil(2024, 3, 5, 13, 2)},
        {GermanLike(), "5.3.2024 13:02:03", Civil(2024, 3, 5, 13, 2, 3)},
        {GermanLike(), "31.12.2024", Civil(2024, 12, 31)},
        {IsoLikeDotTime(), "2024-3-5 13.02", Civil(2024, 3, 5, 13, 2)},
    };
    for (const auto& c : cases) {
        const ScopedFormatSettings scoped(c.settings);
        try {
            EXPECT_NEAR(ReadDateTime(c.text), EncodeDateTime(c.civil), kHalfMs) << c.text;
        } catch (const ConvertError& e) {
            ADD_FAILURE() << c.text << ": " << e.Message();
        }
    }
}

TEST_F(DateTimeText, ReadRejectsInvalidText) {
    struct Case {
        FormatSettings settings;
        const char* text;
    };
    const Case cases[] = {
        {UsLike(), "13/5/2024"},
        {UsLike(), "2/30/2024"},
        {UsLike(), "abc"},
        {UsLike(), ""},
        {UsLike(), "3/5/2024 25:00"},
        {UsLike(), "3/5/2024 13:60"},
        {GermanLike(), "5.13.2024"},
        {GermanLike(), "30.2.2024"},
        {GermanLike(), "abc"},
    };
    for (const auto& c : cases) {
        const ScopedFormatSettings scoped(c.settings);
        try {
            ReadDateTime(c.text);
            ADD_FAILURE() << "'" << c.text << "' was read";
        } catch (const ConvertError& e) {
            EXPECT_EQ(e.Message(), "'" + std::string(c.text) + "' is not a valid date and time");
        }
    }
}

} // namespace
} // namespace vrel
