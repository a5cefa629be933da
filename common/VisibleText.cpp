#include "VisibleText.h"

namespace vrel {

std::string VisibleText(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsHiddenByte(c))
            out += {'\\', 'x', kHex[c >> 4], kHex[c & 0xF]};
        else
            out.push_back(ch);
    }
    return out;
}

} // namespace vrel
