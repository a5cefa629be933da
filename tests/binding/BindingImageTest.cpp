#include "BindingImage.h"
#include "BindingTestSupport.h"
#include "FormatSettings.h"
#include "VrelTypes.h"

#include "../protocol/HexBytes.h"

#include <gtest/gtest.h>

namespace vrel {
namespace {

using test::FailureCode;
using test::HexBytes;
using test::HexOf;

class BindingImage : public ::testing::Test {
    ScopedFormatSettings plain_{FormatSettings{}};
};

struct ImageCase {
    std::uint8_t type;
    std::string text;
    std::string hex;
};

TEST_F(BindingImage, TextToBytesKeepsTheLeastSignificantByteFirst) {
    const ImageCase cases[] = {
        {kBool8, "true", "01"},
        {kBool8, "True", "00"},
        {kBool16, "true", "01 00"},
        {kBool32, "false", "00 00 00 00"},
        {kInt8, "-1", "FF"},
        {kUint8, "  +300", "2C"},
        {kInt16, "-2", "FE FF"},
        {kUint16, "70000", "70 11"},
        {kInt32, "258", "02 01 00 00"},
        {kUint32, "4294967295", "FF FF FF FF"},
        {kUint32, "4294967296", "00 00 00 00"},
        {kUint32, "12abc", "0C 00 00 00"},
        {kInt32, "abc", "00 00 00 00"},
        {kDouble, "1", "00 00 00 00 00 00 F0 3F"},
        {kDouble, "", "00 00 00 00 00 00 00 00"},
        {kTimeticks, "1 day 2:03:04.05", "65 1A 8F 00"},
        {kDatetime, "1900/01/01 12:00:00 am", "00 00 00 00 00 00 00 40"},
        {kDatetime, " ", "00 00 00 00 00 00 00 00"},
        {kIpAddress, "192.168.1.2", "C0 A8 01 02"},
        {kIpAddress, "1.256", "01 00"},
        {kIpAddress, "", ""},
        {kMacAddress, "0011223344AA", "00 11 22 33 44 AA"},
        {kOctetStr, "ABC", "0A BC"},
        {kBitStr, "", ""},
        {kDisplayStr, std::string("A\0B", 3), "41 00 42"},
    };
    for (const ImageCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + " '" + c.text + "'");
        EXPECT_EQ(HexOf(TextToBytes(c.text, c.type)), HexOf(HexBytes(c.hex)));
    }
}

TEST_F(BindingImage, BytesToTextReadsOnlyWhatTheTypeNeeds) {
    const ImageCase cases[] = {
        {kBool8, "false", "00"},
        {kBool16, "true", "00 01"},
        {kBool32, "false", "00 00 00 00 FF"},
        {kInt8, "-1", "FF"},
        {kUint8, "255", "FF"},
        {kInt16, "-2", "FE FF"},
        {kUint16, "65534", "FE FF"},
        {kInt32, "-1", "FF FF FF FF"},
        {kUint32, "258", "02 01 00 00 99"},
        {kDouble, "1.5", "00 00 00 00 00 00 F8 3F"},
        {kTimeticks, "1 day 2:03:04.05", "65 1A 8F 00"},
        {kDatetime, "1900/01/01 12:00:00 pm", "00 00 00 00 00 00 04 40"},
        {kIpAddress, "192.168.1.2", "C0 A8 01 02 07"},
        {kMacAddress, "0011223344AA0B", "00 11 22 33 44 AA 0B"},
        {kBitStr, "", ""},
        {kDisplayStr, "AB", "41 42 00 43"},
    };
    for (const ImageCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + " " + c.hex);
        EXPECT_EQ(BytesToText(HexBytes(c.hex), c.type), c.text);
    }
}

TEST_F(BindingImage, CanonicalTextsSurviveTheRoundTrip) {
    const std::pair<std::uint8_t, std::string> cases[] = {
        {kBool16, "true"},
        {kInt8, "-128"},
        {kUint16, "65535"},
        {kInt32, "-2147483648"},
        {kDouble, "-0.125"},
        {kTimeticks, "3 days, 0:00:00.99"},
        {kDatetime, "2024/02/29 11:59:58 pm"},
        {kIpAddress, "10.0.0.255"},
        {kMacAddress, "FFFFFFFFFFFF"},
        {kDisplayStr, "name"},
    };
    for (const auto& [type, text] : cases)
        EXPECT_EQ(BytesToText(TextToBytes(text, type), type), text) << int(type);
}

TEST_F(BindingImage, FailuresOfTheConversions) {
    const std::pair<std::function<void()>, int> cases[] = {
        {[] { TextToBytes("1", 0); }, -1007},
        {[] { TextToBytes("1", 18); }, -1007},
        {[] { BytesToText("", 0); }, -1007},
        {[] { ExtractPart("1234", 0, 18); }, -1007},
        {[] { BytesToText(HexBytes("01"), kBool16); }, -1018},
        {[] { BytesToText(HexBytes("01 02 03"), kInt32); }, -1018},
        {[] { BytesToText(HexBytes("01 02 03"), kIpAddress); }, -1018},
        {[] { BytesToText(HexBytes("01 02 03 04 05"), kMacAddress); }, -1018},
        {[] { BytesToText(HexBytes("00 00 00 00 00 00 F0"), kDouble); }, -1018},
        // Eight arbitrary bytes bound as a date: not a number, and far beyond the year 9999.
        {[] { BytesToText(HexBytes("00 00 00 00 00 00 F8 7F"), kDatetime); }, -1018},
        {[] { BytesToText(HexBytes("9C 75 00 88 3C E4 37 7E"), kDatetime); }, -1018},
        {[] { TextToBytes("1,5x", kDouble); }, 0}, // conversion failure
    };
    for (const auto& [action, code] : cases)
        EXPECT_EQ(FailureCode(action), code);
}

TEST_F(BindingImage, ExtractPartStaysWithinTheImage) {
    const std::string image = HexBytes("01 02 03 04 05");
    const std::tuple<std::uint32_t, std::uint8_t, std::string> parts[] = {
        {1, kUint16, "02 03"},      {3, kInt16, "04 05"}, {0, kUint32, "01 02 03 04"},
        {2, kOctetStr, "03 04 05"}, {5, kDisplayStr, ""}, {4, kBool8, "05"},
    };
    for (const auto& [start, type, hex] : parts)
        EXPECT_EQ(HexOf(ExtractPart(image, start, type)), hex) << start << " " << int(type);
    const std::pair<std::uint32_t, std::uint8_t> outside[] = {
        {4, kUint16}, {6, kDisplayStr}, {0, kDouble}, {0, kMacAddress}, {0xFFFFFFFFu, kUint8},
    };
    for (const auto& part : outside) {
        EXPECT_EQ(FailureCode([&] { ExtractPart(image, part.first, part.second); }), -1019)
            << part.first;
    }
}

} // namespace
} // namespace vrel
