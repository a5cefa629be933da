#include "TestLocales.h"
#include "ValueCodec.h"
#include "DeviceAddress.h"
#include "Exception.h"
#include "FormatSettings.h"
#include "HexBytes.h"
#include "VrelTypes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

namespace vrel {
namespace {

using test::HexBytes;
using test::HexOf;
using test::Raw;

constexpr std::uint8_t kId = 0x07;

using test::GermanLike;

class ValueCodec : public ::testing::Test {
    ScopedFormatSettings plain_{FormatSettings{}};
};

std::string Encode(std::uint8_t type, const std::string& text) {
    std::string out;
    const int length = encode_item(kId, type, text, out);
    EXPECT_EQ(length, static_cast<int>(out.size()));
    return out;
}

// Decodes a whole item, expecting success; "(failed)" otherwise.
std::string Decode(std::uint8_t type, const std::string& item) {
    std::string text = "(failed)";
    EXPECT_EQ(decode_item(kId, type, text, Raw(item), item.size()), static_cast<int>(item.size()))
        << HexOf(item);
    return text;
}

TEST_F(ValueCodec, FixedValueSizes) {
    const std::size_t sizes[] = {0, 1, 1, 1, 2, 2, 2, 4, 4, 4, 8, 4, 8, 4, 6, 0, 0, 0, 0};
    for (int type = 0; type <= 18; ++type)
        EXPECT_EQ(fixed_value_size(static_cast<std::uint8_t>(type)), sizes[type]) << type;
    EXPECT_EQ(fixed_value_size(255), 0u);
}

enum Way { kBoth, kEncodeOnly, kDecodeOnly };

struct Golden {
    std::uint8_t type;
    const char* text;
    const char* item;
    Way way;
};

// Wire forms of every type. Texts that do not come back as written are one-way rows.
const Golden kGolden[] = {
    {kBool8, "true", "07 00 04 01", kBoth},
    {kBool8, "false", "07 00 04 00", kBoth},
    {kBool8, "False", "07 00 04 01", kEncodeOnly},
    {kBool8, "0", "07 00 04 01", kEncodeOnly},
    {kBool8, "", "07 00 04 01", kEncodeOnly},
    {kBool8, "true", "07 00 04 02", kDecodeOnly},
    // The 1 of a wide boolean travels in the first byte; any non-zero value reads as true.
    {kBool16, "true", "07 00 05 01 00", kBoth},
    {kBool16, "false", "07 00 05 00 00", kBoth},
    {kBool16, "true", "07 00 05 00 01", kDecodeOnly},
    {kBool32, "true", "07 00 07 01 00 00 00", kBoth},
    {kBool32, "false", "07 00 07 00 00 00 00", kBoth},
    {kBool32, "true", "07 00 07 00 00 00 01", kDecodeOnly},
    {kInt8, "-1", "07 00 04 FF", kBoth},
    {kInt8, "-128", "07 00 04 80", kBoth},
    {kInt8, " 12", "07 00 04 0C", kEncodeOnly},
    {kInt8, "200", "07 00 04 C8", kEncodeOnly},
    {kUint8, "255", "07 00 04 FF", kBoth},
    {kUint8, "$7f", "07 00 04 7F", kEncodeOnly},
    {kInt16, "-2", "07 00 05 FF FE", kBoth},
    {kInt16, "-32768", "07 00 05 80 00", kBoth},
    {kUint16, "65535", "07 00 05 FF FF", kBoth},
    {kUint16, "258", "07 00 05 01 02", kBoth},
    {kUint16, "70000", "07 00 05 11 70", kEncodeOnly},
    {kUint16, "0xABCD", "07 00 05 AB CD", kEncodeOnly},
    {kInt32, "305419896", "07 00 07 12 34 56 78", kBoth},
    {kInt32, "-2147483648", "07 00 07 80 00 00 00", kBoth},
    {kUint32, "4294967295", "07 00 07 FF FF FF FF", kDecodeOnly},
    {kUint32, "$FFFFFFFF", "07 00 07 FF FF FF FF", kEncodeOnly},
    // A double goes as two big-endian halves, the low half first.
    {kDouble, "1", "07 00 0B 00 00 00 00 3F F0 00 00", kBoth},
    {kDouble, "-2.5", "07 00 0B 00 00 00 00 C0 04 00 00", kBoth},
    {kDouble, "0.1", "07 00 0B 99 99 99 9A 3F B9 99 99", kBoth},
    {kTimeticks, "1 day 2:03:04.05", "07 00 07 00 8F 1A 65", kBoth},
    {kTimeticks, "0:00:00.00", "07 00 07 00 00 00 00", kBoth},
    {kTimeticks, "497 days, 2:27:52.95", "07 00 07 FF FF FF FF", kBoth},
    {kTimeticks, "12345", "07 00 07 00 00 00 00", kEncodeOnly},
    {kDatetime, "2024/03/05 12:00:00 am", "07 00 0B 00 00 00 00 40 E6 25 80", kBoth},
    {kDatetime, "3/5/2024", "07 00 0B 00 00 00 00 40 E6 25 80", kEncodeOnly},
    // 13:02:03 is a little below its nearest double; the text still shows whole seconds.
    {kDatetime, "2024/03/05 01:02:03 pm", "07 00 0B 60 FE DC BB 40 E6 25 91", kDecodeOnly},
    {kIpAddress, "192.168.0.10", "07 00 07 C0 A8 00 0A", kBoth},
    {kIpAddress, "255.255.255.255", "07 00 07 FF FF FF FF", kBoth},
    {kMacAddress, "020000000001", "07 00 09 02 00 00 00 00 01", kBoth},
    {kMacAddress, "00 11 22 33 44 55", "07 00 09 00 11 22 33 44 55", kEncodeOnly},
    {kMacAddress, "aabbccddeeff", "07 00 09 AA BB CC DD EE FF", kEncodeOnly},
    {kMacAddress, "00-11-22-33-44-55", "07 00 09 00 00 11 02 20 33", kEncodeOnly},
    {kMacAddress, "00112233445566", "07 00 09 00 11 22 33 44 55", kEncodeOnly},
    {kBitStr, "0ABC", "07 00 05 0A BC", kBoth},
    {kBitStr, "1", "07 00 04 01", kEncodeOnly},
    {kOctetStr, "000ABCFF", "07 00 07 00 0A BC FF", kBoth},
    {kOctetStr, "", "07 00 03", kBoth},
    {kOctetStr, "ABC", "07 00 05 0A BC", kEncodeOnly},
    {kOctetStr, "a b c", "07 00 05 0A BC", kEncodeOnly},
    {kOctetStr, "zz", "07 00 04 00", kEncodeOnly},
    {kDisplayStr, "SIM", "07 00 06 53 49 4D", kBoth},
    {kDisplayStr, "", "07 00 03", kBoth},
    {kDisplayStr, "Z\xE4hler", "07 00 09 5A E4 68 6C 65 72", kBoth},
    {kDisplayStr, "AB", "07 00 07 41 42 00 43", kDecodeOnly}, // up to the first zero byte
};

TEST_F(ValueCodec, GoldenItems) {
    for (const auto& g : kGolden) {
        SCOPED_TRACE("type " + std::to_string(g.type) + " '" + g.text + "' " + g.item);
        if (g.way != kDecodeOnly) {
            EXPECT_EQ(HexOf(Encode(g.type, g.text)), HexOf(HexBytes(g.item)));
        }
        if (g.way != kEncodeOnly) {
            EXPECT_EQ(Decode(g.type, HexBytes(g.item)), g.text);
        }
    }
}

TEST_F(ValueCodec, EncodeAppendsAndRefusesTypesWithoutWireForm) {
    std::string out = HexBytes("03 00 04 01");
    EXPECT_EQ(encode_item(4, kUint16, "258", out), 5);
    EXPECT_EQ(HexOf(out), "03 00 04 01 04 00 05 01 02");
    for (int type : {0, 18, 255})
        EXPECT_EQ(encode_item(kId, static_cast<std::uint8_t>(type), "1", out), -1007) << type;
}

TEST_F(ValueCodec, EncodeConversionFailures) {
    const std::pair<std::uint8_t, const char*> cases[] = {
        {kInt8, ""},
        {kInt16, "12 "},
        {kUint32, "4294967295"},
        {kUint8, "ff"},
        {kDouble, "abc"},
        {kDouble, "1,5"},
        {kDatetime, "abc"},
        {kDatetime, "13/5/2024"},
        {kIpAddress, "1.2.3.256"},
        {kIpAddress, "abc"},
        {kIpAddress, ""},
        {kIpAddress, "10.0.0.1x"},
        {kMacAddress, "0011223344"},
        {kMacAddress, "00-11-22"},
        {kMacAddress, ""},
    };
    auto message = [](std::uint8_t type, const std::string& text) {
        const char* what = type == kDouble       ? "floating point value"
                           : type == kDatetime   ? "date and time"
                           : type == kIpAddress  ? "IP address"
                           : type == kMacAddress ? "MAC address"
                                                 : "integer value";
        return "'" + text + "' is not a valid " + what;
    };
    for (const auto& [type, text] : cases) {
        std::string out = "keep";
        try {
            encode_item(kId, type, text, out);
            ADD_FAILURE() << "type " << int(type) << " '" << text << "' was encoded";
        } catch (const ConvertError& e) {
            EXPECT_EQ(e.Message(), message(type, text));
            EXPECT_EQ(out, "keep") << e.Message();
        }
    }
}

TEST_F(ValueCodec, DecodeFailuresLeaveTextUnchanged) {
    struct Case {
        std::uint8_t type;
        const char* bytes;
        int avail; // -1: all bytes
        int result;
    };
    const Case cases[] = {
        {kUint8, "08 00 04 01", -1, -1005},
        {kUint8, "08 00 01", -1, -1005}, // id before length
        {kUint8, "08", -1, -1005},
        {kUint16, "07 00 04 01", -1, -1013},
        {kUint16, "07 00 06 01 02 03", -1, -1013},
        {kMacAddress, "07 00 07 01 02 03 04", -1, -1013},
        {kDouble, "07 00 07 01 02 03 04", -1, -1013},
        // An item length below its own three head bytes.
        {kDisplayStr, "07 00 02", -1, -1013},
        {kOctetStr, "07 00 00", -1, -1013},
        {kBool8, "07 00 01", -1, -1013},
        // Items that run past the datagram.
        {kDisplayStr, "07 00 0A 41 42 43 44", -1, -1013},
        {kOctetStr, "07 00 0A 41 42 43 44", -1, -1013},
        {kBitStr, "07 FF FF 41", -1, -1013},
        {kUint16, "07 00 05 01", -1, -1013},
        {kUint16, "07 00 05 01 02", 4, -1013},
        {kUint16, "07 00", -1, -1013},
        {kUint16, "07 00 05 01 02", 0, -1013},
    };
    for (const auto& c : cases) {
        const std::string bytes = HexBytes(c.bytes);
        const std::size_t avail = c.avail < 0 ? bytes.size() : static_cast<std::size_t>(c.avail);
        std::string text = "old";
        EXPECT_EQ(decode_item(kId, c.type, text, Raw(bytes), avail), c.result) << c.bytes;
        EXPECT_EQ(text, "old") << c.bytes;
    }
    // One item is taken; what follows belongs to the next variable.
    const std::string two = HexBytes("07 00 05 01 02 08 00 04 01");
    std::string text;
    EXPECT_EQ(decode_item(kId, kUint16, text, Raw(two), two.size()), 5);
}

TEST_F(ValueCodec, LocaleDependentTextsRoundTrip) {
    const std::string us = Encode(kDatetime, "3/5/2024 13:02");
    EXPECT_EQ(Decode(kDatetime, us), "2024/03/05 01:02:00 pm");
    EXPECT_EQ(HexOf(Encode(kDatetime, Decode(kDatetime, us))), HexOf(us));

    const ScopedFormatSettings german(GermanLike());
    EXPECT_EQ(HexOf(Encode(kDatetime, "5.3.2024 13:02")), HexOf(us));
    EXPECT_EQ(Decode(kDatetime, us), "2024.03.05 01:02:00 pm");
    EXPECT_EQ(HexOf(Encode(kDatetime, Decode(kDatetime, us))), HexOf(us));
    EXPECT_EQ(Decode(kDouble, HexBytes("07 00 0B 00 00 00 00 3F F8 00 00")), "1,5");
    EXPECT_EQ(HexOf(Encode(kDouble, "0,1")), "07 00 0B 99 99 99 9A 3F B9 99 99");
}

TEST_F(ValueCodec, HexText) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"A", "0A"},
        {"ABC", "0A BC"},
        {"a b c", "0A BC"},
        {"  ", ""},
        {"zz", "00"},
        {"0-1", "00 01"},
        {"FFFFFFFFFFFF", "FF FF FF FF FF FF"},
        {"00-11-22-33-44-55", "00 00 11 02 20 33 04 40 55"},
    };
    for (const auto& [text, bytes] : cases)
        EXPECT_EQ(HexOf(hex_to_bytes(text)), HexOf(HexBytes(bytes))) << "'" << text << "'";
    EXPECT_EQ(bytes_to_hex(HexBytes("0A BC 00 ff")), "0ABC00FF");
    EXPECT_EQ(bytes_to_hex(""), "");
}

TEST_F(ValueCodec, TicksText) {
    const std::pair<std::uint32_t, const char*> both[] = {
        {0, "0:00:00.00"},
        {1, "0:00:00.01"},
        {100, "0:00:01.00"},
        {6000, "0:01:00.00"},
        {360000, "1:00:00.00"},
        {8639999, "23:59:59.99"},
        {8640000, "1 day 0:00:00.00"},
        {9378405, "1 day 2:03:04.05"},
        {17280000, "2 days, 0:00:00.00"},
        {4294967295u, "497 days, 2:27:52.95"},
    };
    for (const auto& [ticks, text] : both) {
        EXPECT_EQ(ticks_to_text(ticks), text);
        EXPECT_EQ(ticks_from_text(text), ticks) << text;
    }
    const std::pair<std::uint32_t, const char*> readOnly[] = {
        {0, "12345"},
        {0, ""},
        {25920000, "3 days"},
        {25920000, "3 day"},
        {372000, "1:02:03"}, // seconds without "." are dropped
        {105, "0:00:01.5"},  // the digits after "." are plain hundredths
        {8640000 + 360000, "1 day, 1:00:00.00"},
        {17280000 + 360000, "2 days 1:00:00.00"},
        {0u - 360000u, "-1:00:00.00"},
        {25032704, "500 days, 0:00:00.00"}, // modulo 2^32
        // Any white space may stand before a number, a line end of pasted text too.
        {9378405, "1 day\n2:03:04.05"},
        {9378405, "\r\n1 day 2:\v03:04.\f05"},
    };
    for (const auto& [ticks, text] : readOnly)
        EXPECT_EQ(ticks_from_text(text), ticks) << "'" << text << "'";
}

// An IP text that is sent is read by the grammar of the address check and no other: C
// notation (shorthand, octal, hexadecimal, one 32-bit number) and surrounding blanks, which
// the socket library would take as some address, are refused.
TEST_F(ValueCodec, IpAddressGrammarIsTheAddressChecks) {
    const std::pair<const char*, const char*> read[] = {
        {"192.168.0.10", "C0 A8 00 0A"}, {"255.255.255.255", "FF FF FF FF"},
        {"0.0.0.0", "00 00 00 00"},      {"10.0.0.100", "0A 00 00 64"},
    };
    for (const auto& [text, bytes] : read) {
        EXPECT_TRUE(ParseDottedQuad(text)) << text;
        EXPECT_EQ(HexOf(read_ip_address(text)), HexOf(HexBytes(bytes))) << text;
    }
    for (const char* text :
         {"10.1", "1.2.3", "1", "0x7f.1", "0X7F.0.0.1", "010.0.0.1", "0xC0A8000A", "4294967295",
          "1.16777215", "1.2.65535", "10.0.0.1 ", " \t10.0.0.1\r\n", "", "abc", "1.2.3.256",
          "1.2.3.4.5", "10.0.0.1x", "1.2.3.4.", "1..2", "08.0.0.1", "-1", ".1.2.3", "0x", " ",
          "10.0. 0.1", "+1.2.3.4", "1.2.3.04"}) {
        EXPECT_FALSE(ParseDottedQuad(text)) << "'" << text << "'";
        try {
            read_ip_address(text);
            ADD_FAILURE() << "'" << text << "' was read";
        } catch (const ConvertError& e) {
            EXPECT_EQ(e.Message(), "'" + std::string(text) + "' is not a valid IP address");
        }
    }
}

} // namespace
} // namespace vrel
