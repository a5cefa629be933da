#include "NumberText.h"

#include "Exception.h"
#include "FormatSettings.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace vrel {

constexpr const char* kIntegerMessage = "'%s' is not a valid integer value";
constexpr const char* kFloatMessage = "'%s' is not a valid floating point value";

int HexDigit(char c) {
    const std::size_t at = std::string_view("0123456789abcdefABCDEF").find(c);
    return at == std::string_view::npos ? -1 : static_cast<int>(at < 16 ? at : at - 6);
}

std::int32_t ReadInteger(const std::string& text) {
    std::size_t pos = text.find_first_not_of(' ');
    if (pos == std::string::npos)
        RaiseConvert(kIntegerMessage, text);
    // Unsigned and digits only: from_chars takes no "+", and no "-" for an unsigned type.
    const auto readDigits = [&](int base) {
        std::uint64_t value = 0;
        const auto [ptr, ec] =
            std::from_chars(text.data() + pos, text.data() + text.size(), value, base);
        if (ec != std::errc() || ptr != text.data() + text.size())
            RaiseConvert(kIntegerMessage, text);
        return value;
    };
    const std::string_view rest = std::string_view(text).substr(pos);
    std::size_t prefix = rest.find_first_of("$xX") == 0 ? 1 : 0;
    if (rest.starts_with("0x") || rest.starts_with("0X"))
        prefix = 2;
    if (prefix > 0) {
        pos += prefix;
        // Eight digits at most, leading zeros included: "$000000001" is refused.
        if (text.size() - pos > 8)
            RaiseConvert(kIntegerMessage, text);
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(readDigits(16)));
    }
    const bool negative = text[pos] == '-';
    if (negative || text[pos] == '+')
        ++pos;
    const std::uint64_t value = readDigits(10);
    if (value > (negative ? 2147483648ULL : 2147483647ULL))
        RaiseConvert(kIntegerMessage, text);
    return static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(value)
                                              : static_cast<std::int64_t>(value));
}

double ReadFloat(const std::string& text) {
    const char sep = CurrentFormatSettings().decimalSeparator;
    std::size_t pos = text.find_first_not_of(' ');
    if (pos == std::string::npos)
        RaiseConvert(kFloatMessage, text);

    // Rewrite into the one form from_chars reads, checking the grammar on the way:
    // [sign] digits [sep digits] [(e|E) [sign] digits], with at least one mantissa digit.
    std::string plain;
    const std::size_t end = text.find_last_not_of(' ') + 1;
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
    std::string digits = s.substr(0, e);
    std::erase_if(digits, [](char c) { return c < '0' || c > '9'; });
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    // The separator goes after the first `whole` digits; zeros fill in before or after.
    const bool scientific = exponent >= kPrecision || exponent < -5;
    std::size_t whole = 1;
    if (!scientific && exponent < 0)
        digits.insert(0, static_cast<std::size_t>(-exponent), '0');
    else if (!scientific)
        whole = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() < whole)
        digits.append(whole - digits.size(), '0');
    std::string out = (value < 0 ? "-" : "") + digits.substr(0, whole);
    if (digits.size() > whole)
        out += CurrentFormatSettings().decimalSeparator + digits.substr(whole);
    return scientific ? out + "E" + std::to_string(exponent) : out;
}

} // namespace vrel
