#include "ValueCodec.h"

#include "DateTimeText.h"
#include "DeviceAddress.h"
#include "Exception.h"
#include "NumberText.h"
#include "ResultCodes.h"
#include "VrelTypes.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

namespace vrel {

namespace {

constexpr std::size_t kItemHead = 3;
constexpr std::size_t kMaxItemLength = 0xFFFF;

std::string BigEndian(std::uint64_t value, int bytes) {
    std::string out;
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
    return out;
}

std::uint64_t GetBig(const std::uint8_t* in, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | in[i];
    return value;
}

// Devices take a double as two big-endian 32-bit halves, the low half first.
std::string DoubleBytes(double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    return BigEndian(bits & 0xFFFFFFFFu, 4) + BigEndian(bits >> 32, 4);
}

double GetDouble(const std::uint8_t* in) {
    return std::bit_cast<double>(GetBig(in, 4) | (GetBig(in + 4, 4) << 32));
}

std::string ValueBytes(std::uint8_t type, const std::string& text) {
    const std::size_t width = fixed_value_size(type);
    std::string v;
    switch (type) {
    case kBool8:
    case kBool16:
    case kBool32:
        v.assign(width, '\0');
        // The device reads its boolean flag from the first byte, whatever the width.
        v[0] = text != "false" ? 1 : 0;
        return v;
    case kInt8:
    case kUint8:
    case kInt16:
    case kUint16:
    case kInt32:
    case kUint32:
        return BigEndian(static_cast<std::uint32_t>(ReadInteger(text)), static_cast<int>(width));
    case kDouble:
        return DoubleBytes(ReadFloat(text));
    case kTimeticks:
        return BigEndian(ticks_from_text(text), 4);
    case kDatetime:
        return DoubleBytes(ReadDateTime(text));
    case kIpAddress:
        return read_ip_address(text);
    case kMacAddress:
        v = hex_to_bytes(text);
        // A short address would be padded with zeros and set a device to a MAC nobody typed.
        if (v.size() < kMacSize)
            RaiseConvert("'%s' is not a valid MAC address", text);
        return v.substr(0, kMacSize);
    case kBitStr:
    case kOctetStr:
        return hex_to_bytes(text);
    default: // kDisplayStr
        return text;
    }
}

std::string ValueText(std::uint8_t type, const std::uint8_t* in, std::size_t n) {
    switch (type) {
    case kBool8:
    case kBool16:
    case kBool32:
        return GetBig(in, static_cast<int>(n)) != 0 ? "true" : "false";
    case kInt8:
        return std::to_string(static_cast<std::int8_t>(in[0]));
    case kUint8:
    case kUint16:
    case kUint32:
        return std::to_string(GetBig(in, static_cast<int>(n)));
    case kInt16:
        return std::to_string(static_cast<std::int16_t>(GetBig(in, 2)));
    case kInt32:
        return std::to_string(static_cast<std::int32_t>(GetBig(in, 4)));
    case kDouble:
        return FormatFloat(GetDouble(in));
    case kTimeticks:
        return ticks_to_text(static_cast<std::uint32_t>(GetBig(in, 4)));
    case kDatetime:
        return FormatDateTime(GetDouble(in));
    case kIpAddress:
        return FormatDottedQuad(static_cast<std::uint32_t>(GetBig(in, 4)));
    case kMacAddress:
    case kBitStr:
    case kOctetStr:
        return bytes_to_hex(std::string(reinterpret_cast<const char*>(in), n));
    default: { // kDisplayStr: up to the first zero byte
        const auto* end = static_cast<const std::uint8_t*>(std::memchr(in, 0, n));
        return std::string(reinterpret_cast<const char*>(in), end ? end - in : n);
    }
    }
}

// Devices and users write MACs and octet strings loosely: a stray character counts as 0.
int HexValue(char c) { return HexDigit(c) < 0 ? 0 : HexDigit(c); }

// Reads one decimal integer behind leading white space and an optional sign, ending at the
// first other character; no digits give 0. Arithmetic wraps as the 32-bit count does.
std::uint32_t LeadingInteger(const std::string& text) {
    std::size_t pos = std::min(text.find_first_not_of(" \t\n\v\f\r"), text.size());
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';
    std::uint32_t value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos)
        value = value * 10u + static_cast<std::uint32_t>(text[pos] - '0');
    return negative ? 0u - value : value;
}

} // namespace

std::size_t fixed_value_size(std::uint8_t valueType) {
    static const std::size_t sizes[] = {0, 1, 1, 1, 2, 2, 2, 4, 4, 4, 8, 4, 8, 4, 6};
    return valueType < sizeof sizes / sizeof sizes[0] ? sizes[valueType] : 0;
}

int encode_item(std::uint8_t id, std::uint8_t valueType, const std::string& text,
                std::string& out) {
    if (!IsEncodableType(valueType))
        return kBadValueType;
    const std::string value = ValueBytes(valueType, text);
    const std::size_t length = kItemHead + value.size();
    if (length > kMaxItemLength)
        return kBadPacket; // the 16-bit length field cannot describe it
    out += static_cast<char>(id) + BigEndian(length, 2);
    out += value;
    return static_cast<int>(length);
}

int decode_item(std::uint8_t expectedId, std::uint8_t valueType, std::string& text,
                const std::uint8_t* in, std::size_t avail) {
    if (avail > 0 && in[0] != expectedId)
        return kBadVariableId;
    if (avail < kItemHead)
        return kBadPacket;
    const std::size_t length = GetBig(in + 1, 2);
    // An item must hold its own head and end inside the datagram.
    if (length < kItemHead || length > avail)
        return kBadPacket;
    if (!IsEncodableType(valueType))
        return static_cast<int>(kItemHead);
    const std::size_t v = length - kItemHead;
    const std::size_t fixed = fixed_value_size(valueType);
    if (fixed != 0 && v != fixed)
        return kBadPacket;
    // Eight bytes that are no date at all (NaN, or beyond the year 9999) have no text.
    if (valueType == kDatetime && !IsRepresentableDateTime(GetDouble(in + kItemHead)))
        return kBadPacket;
    text = ValueText(valueType, in + kItemHead, v);
    return static_cast<int>(length);
}

std::string hex_to_bytes(const std::string& text) {
    std::string digits = text;
    std::erase(digits, ' ');
    if (digits.size() % 2 == 1)
        digits.insert(0, 1, '0');
    std::string bytes;
    for (std::size_t pos = 0; pos < digits.size(); pos += 2)
        bytes += static_cast<char>(HexValue(digits[pos]) * 16 + HexValue(digits[pos + 1]));
    return bytes;
}

std::string bytes_to_hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 0x0F];
    }
    return text;
}

std::string ticks_to_text(std::uint32_t t) {
    const std::uint32_t days = t / 8640000u;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%u:%02u:%02u.%02u", t % 8640000u / 360000u, t % 360000u / 6000u,
                  t % 6000u / 100u, t % 100u);
    return (days == 0 ? "" : days == 1 ? "1 day " : std::to_string(days) + " days, ") + buf;
}

std::uint32_t ticks_from_text(const std::string& text) {
    std::string rest = text;
    std::uint32_t ticks = 0;
    // Takes the integer before the first marker and continues behind it.
    auto take_before = [&rest](const std::string& marker, std::uint32_t& value) {
        const auto at = rest.find(marker);
        if (at == std::string::npos)
            return false;
        value = LeadingInteger(rest.substr(0, at));
        rest.erase(0, at + marker.size());
        return true;
    };
    std::uint32_t n = 0;
    if (take_before("days", n) || take_before("day", n))
        ticks = n * 8640000u;
    if (const auto comma = rest.find(','); comma != std::string::npos)
        rest.erase(0, comma + 1);
    if (take_before(":", n)) {
        ticks += n * 360000u;
        if (take_before(":", n))
            ticks += n * 6000u;
    }
    if (take_before(".", n))
        ticks += n * 100u + LeadingInteger(rest);
    return ticks;
}

std::string read_ip_address(const std::string& text) {
    // The grammar of the address check, so that what goes out is what was checked: read in C
    // notation, "010.0.0.1" would go out as 8.0.0.1.
    const auto address = ParseDottedQuad(text);
    if (!address)
        RaiseConvert("'%s' is not a valid IP address", text);
    return BigEndian(*address, 4);
}

} // namespace vrel
