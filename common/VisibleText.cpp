#include "VisibleText.h"

namespace vrel {

bool IsHiddenByte(unsigned char c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

std::string VisibleText(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (!IsHiddenByte(c)) {
            out.push_back(ch);
            continue;
        }
        out.append("\\x");
        out.push_back(kHex[c >> 4]);
        out.push_back(kHex[c & 0xF]);
    }
    return out;
}

} // namespace vrel
