#include "VisibleText.h"

namespace vrel {

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
