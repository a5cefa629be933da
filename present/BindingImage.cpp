#include "BindingImage.h"

#include "DateTimeText.h"
#include "Exception.h"
#include "NumberText.h"
#include "ResultCodes.h"
#include "ValueCodec.h"
#include "VrelTypes.h"

#include <bit>
#include <ranges>

namespace vrel {

namespace {

void CheckType(std::uint8_t type) {
    if (!IsEncodableType(type))
        RaiseVrel(kBadValueType);
}

std::string LittleEndian(std::uint64_t value, std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

std::uint64_t FromLittleEndian(const std::string& bytes, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = size; i-- > 0;)
        value = value << 8 | static_cast<unsigned char>(bytes[i]);
    return value;
}

} // namespace

std::uint32_t ReadWrappedDecimal(const std::string& text) {
    std::size_t pos = text.find_first_not_of(' ');
    if (pos == std::string::npos)
        return 0;
    const bool negative = text[pos] == '-';
    if (text[pos] == '+' || text[pos] == '-')
        ++pos;
    std::uint32_t value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos)
        value = value * 10u + static_cast<std::uint32_t>(text[pos] - '0');
    return negative ? 0u - value : value;
}

std::string TextToBytes(const std::string& text, std::uint8_t type) {
    CheckType(type);
    switch (type) {
    case kBool8:
    case kBool16:
    case kBool32:
        return LittleEndian(text == "true" ? 1 : 0, fixed_value_size(type));
    case kDouble:
    case kDatetime: {
        // Blank is zero, as for a number: the presenter clears every text before reading back.
        double value = 0.0;
        if (text.find_first_not_of(' ') != std::string::npos)
            value = type == kDatetime ? ReadDateTime(text) : ReadFloat(text);
        return LittleEndian(std::bit_cast<std::uint64_t>(value), 8);
    }
    case kTimeticks:
        return LittleEndian(ticks_from_text(text), 4);
    case kIpAddress: {
        std::string bytes;
        for (const auto part : std::views::split(text, '.'))
            bytes.push_back(
                static_cast<char>(ReadWrappedDecimal({part.begin(), part.end()}) & 0xFF));
        return bytes;
    }
    case kMacAddress:
    case kBitStr:
    case kOctetStr:
        return hex_to_bytes(text);
    case kDisplayStr:
        return text;
    default: // the integers
        return LittleEndian(ReadWrappedDecimal(text), fixed_value_size(type));
    }
}

std::string BytesToText(const std::string& bytes, std::uint8_t type) {
    CheckType(type);
    const std::size_t size = fixed_value_size(type);
    if (bytes.size() < size)
        RaiseVrel(kShortImage);
    const std::uint64_t raw = FromLittleEndian(bytes, size);
    switch (type) {
    case kBool8:
    case kBool16:
    case kBool32:
        return bytes.find_first_not_of('\0') < size ? "true" : "false";
    case kInt8:
        return std::to_string(static_cast<std::int8_t>(raw));
    case kInt16:
        return std::to_string(static_cast<std::int16_t>(raw));
    case kInt32:
        return std::to_string(static_cast<std::int32_t>(raw));
    case kDouble:
        return FormatFloat(std::bit_cast<double>(raw));
    case kTimeticks:
        return ticks_to_text(static_cast<std::uint32_t>(raw));
    case kDatetime:
        return FormatDateTime(ImageDateTime(bytes));
    case kIpAddress: {
        std::string text;
        for (std::size_t i = 0; i < 4; ++i)
            text += (i ? "." : "") + std::to_string(static_cast<unsigned char>(bytes[i]));
        return text;
    }
    case kMacAddress:
    case kBitStr:
    case kOctetStr:
        return bytes_to_hex(bytes);
    case kDisplayStr:
        return bytes.substr(0, bytes.find('\0'));
    default: // the unsigned integers
        return std::to_string(raw);
    }
}

std::string ExtractPart(const std::string& bytes, std::uint32_t startByte, std::uint8_t type) {
    CheckType(type);
    const std::size_t size = fixed_value_size(type); // 0: the string types take the rest
    if (startByte > bytes.size() || bytes.size() - startByte < size)
        RaiseVrel(kPartOutside);
    return size == 0 ? bytes.substr(startByte) : bytes.substr(startByte, size);
}

double ImageDateTime(const std::string& bytes) {
    if (bytes.size() < 8)
        RaiseVrel(kShortImage);
    const double value = std::bit_cast<double>(FromLittleEndian(bytes, 8));
    // Any eight bytes may be bound as a date-time part; only real dates reach the calendar.
    if (!IsRepresentableDateTime(value))
        RaiseVrel(kShortImage);
    return value;
}

} // namespace vrel
