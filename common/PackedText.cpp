#include "PackedText.h"

#include <cstdint>
#include <cstring>

namespace vrel {

constexpr unsigned char kLongText = 0xFF;

std::size_t PackedSize(std::string_view text) {
    return (text.size() < kLongText ? 1 : 1 + sizeof(std::uint32_t)) + text.size();
}

char* PackText(char* at, std::string_view text) {
    if (text.size() < kLongText) {
        *at++ = static_cast<char>(text.size());
    } else {
        *at++ = static_cast<char>(kLongText);
        const auto size = static_cast<std::uint32_t>(text.size());
        std::memcpy(at, &size, sizeof size);
        at += sizeof size;
    }
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
}

std::string_view UnpackText(const char*& at) {
    std::uint32_t size = static_cast<unsigned char>(*at++);
    if (size == kLongText) {
        std::memcpy(&size, at, sizeof size);
        at += sizeof size;
    }
    const std::string_view text(at, size);
    at += size;
    return text;
}

} // namespace vrel
