#include "NumberText.h"

#include "Exception.h"
#include "FormatSettings.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace vrel {

namespace {

constexpr const char* kIntegerMessage = "'%s' is not a valid integer value";
constexpr std::size_t kMaxHexDigits = 8;
constexpr const char* kFloatMessage = "'%s' is not a valid floating point value";

// Length of the hexadecimal prefix at pos ("$", "x", "X", "0x", "0X"), or 0.
std::size_t HexPrefixLength(const std::string& text, std::size_t pos) {
    if (pos >= text.size())
        return 0;
    const char c = text[pos];
    if (c == '$' || c == 'x' || c == 'X')
        return 1;
    if (c == '0' && pos + 1 < text.size() && (text[pos + 1] == 'x' || text[pos + 1] == 'X'))
        return 2;
    return 0;
}

} // namespace

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::int32_t ReadInteger(const std::string& text) {
    std::size_t pos = text.find_first_not_of(' ');
    if (pos == std::string::npos)
        RaiseConvert(kIntegerMessage, text);

    if (const std::size_t prefix = HexPrefixLength(text, pos)) {
        pos += prefix;
        if (pos == text.size())
            RaiseConvert(kIntegerMessage, text);
        // Eight digits at most, leading zeros included: "$000000001" is refused.
        if (text.size() - pos > kMaxHexDigits)
            RaiseConvert(kIntegerMessage, text);
        std::uint32_t value = 0;
        for (; pos < text.size(); ++pos) {
            const int digit = HexDigit(text[pos]);
            if (digit < 0)
                RaiseConvert(kIntegerMessage, text);
            value = value * 16 + static_cast<unsigned>(digit);
        }
        return static_cast<std::int32_t>(value);
    }

    bool negative = false;
    if (text[pos] == '+' || text[pos] == '-') {
        negative = text[pos] == '-';
        ++pos;
    }
    if (pos == text.size())
        RaiseConvert(kIntegerMessage, text);
    std::int64_t value = 0;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c < '0' || c > '9')
            RaiseConvert(kIntegerMessage, text);
        value = value * 10 + (c - '0');
        if (value > 2147483648LL)
            RaiseConvert(kIntegerMessage, text);
    }
    if (negative)
        value = -value;
    if (value > 2147483647LL)
        RaiseConvert(kIntegerMessage, text);
    return static_cast<std::int32_t>(value);
}

double ReadFloat(const std::string& text) {
    const char sep = CurrentFormatSettings().decimalSeparator;
    const std::size_t first = text.find_first_not_of(' ');
    const std::size_t last = text.find_last_not_of(' ');
    if (first == std::string::npos)
        RaiseConvert(kFloatMessage, text);

    // Rewrite into the one form from_chars reads, checking the grammar on the way:
    // [sign] digits [sep digits] [(e|E) [sign] digits], with at least one mantissa digit.
    std::string plain;
    std::size_t pos = first;
    const std::size_t end = last + 1;
    auto take_digits = [&] {
        std::size_t n = 0;
        while (pos < end && text[pos] >= '0' && text[pos] <= '9') {
            plain += text[pos++];
            ++n;
        }
        return n;
    };
    bool negative = false;
    if (text[pos] == '+' || text[pos] == '-')
        negative = text[pos++] == '-';
    std::size_t mantissa = take_digits();
    if (pos < end && text[pos] == sep) {
        ++pos;
        plain += '.';
        mantissa += take_digits();
    }
    if (mantissa == 0)
        RaiseConvert(kFloatMessage, text);
    if (pos < end && (text[pos] == 'e' || text[pos] == 'E')) {
        plain += text[pos++];
        if (pos < end && (text[pos] == '+' || text[pos] == '-'))
            plain += text[pos++];
        if (take_digits() == 0)
            RaiseConvert(kFloatMessage, text);
    }
    if (pos != end)
        RaiseConvert(kFloatMessage, text);

    double value = 0;
    const auto [ptr, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (ec != std::errc() || ptr != plain.data() + plain.size() || !std::isfinite(value))
        RaiseConvert(kFloatMessage, text);
    return negative ? -value : value;
}

std::string FormatFloat(double value) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0)
        return "0";

    constexpr int kPrecision = 15;
    // Fifteen significant digits: d.dddddddddddddde±x
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", kPrecision - 1, value);
    std::string s = buf;
    const std::size_t e = s.find('e');
    const int exponent = std::atoi(s.c_str() + e + 1);
    std::string digits;
    for (std::size_t i = 0; i < e; ++i) {
        if (s[i] >= '0' && s[i] <= '9')
            digits += s[i];
    }
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const bool negative = value < 0;
    const char sep = CurrentFormatSettings().decimalSeparator;

    std::string out = negative ? "-" : "";
    if (exponent >= kPrecision || exponent < -5) {
        out += digits[0];
        if (digits.size() > 1) {
            out += sep;
            out += digits.substr(1);
        }
        out += 'E';
        out += std::to_string(exponent);
        return out;
    }
    if (exponent < 0) {
        out += '0';
        out += sep;
        out += std::string(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
        return out;
    }
    const std::size_t intDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= intDigits) {
        out += digits + std::string(intDigits - digits.size(), '0');
    } else {
        out += digits.substr(0, intDigits);
        out += sep;
        out += digits.substr(intDigits);
    }
    return out;
}

} // namespace vrel
