#include "TextCompare.h"

namespace vrel {

char FoldCase(char c) {
    const auto u = static_cast<unsigned char>(c);
    // ASCII capitals and the Latin-1 capitals À..Þ except the multiplication sign.
    if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7))
        return static_cast<char>(u + 0x20);
    return c;
}

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    }
    return true;
}

bool StartsWith(const std::string& text, const std::string& prefix, bool caseSensitive) {
    if (text.size() < prefix.size())
        return false;
    const std::string head = text.substr(0, prefix.size());
    return caseSensitive ? head == prefix : EqualsIgnoreCase(head, prefix);
}

} // namespace vrel
