#pragma once

#include <cstdint>
#include <string>

namespace vrel::test {

// Golden wire bytes are written as hex pairs with blanks for reading: "09 2B 13 38". This
// reader is deliberately separate from the codec's hex_to_bytes so that a fault there cannot
// hide in the expectations.
inline std::string HexBytes(const std::string& hex) {
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    std::string bytes;
    int high = -1;
    for (char c : hex) {
        const int n = nibble(c);
        if (n < 0)
            continue;
        if (high < 0) {
            high = n;
        } else {
            bytes.push_back(static_cast<char>(high * 16 + n));
            high = -1;
        }
    }
    return bytes;
}

// The inverse, for readable failure messages.
inline std::string HexOf(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char b : bytes) {
        if (!text.empty())
            text.push_back(' ');
        text.push_back(digits[b >> 4]);
        text.push_back(digits[b & 15]);
    }
    return text;
}

inline const std::uint8_t* Raw(const std::string& bytes) {
    return reinterpret_cast<const std::uint8_t*>(bytes.data());
}

} // namespace vrel::test
