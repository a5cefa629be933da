#include "TextCompare.h"

#include <algorithm>

namespace vrel {

namespace {

char FoldCase(char c) {
    const auto u = static_cast<unsigned char>(c);
    // ASCII capitals and the Latin-1 capitals À..Þ except the multiplication sign.
    if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7))
        return static_cast<char>(u + 0x20);
    return c;
}

} // namespace

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
    return std::ranges::equal(a, b, {}, FoldCase, FoldCase);
}

bool StartsWith(const std::string& text, const std::string& prefix, bool caseSensitive) {
    const std::string_view head = std::string_view(text).substr(0, prefix.size());
    return caseSensitive ? head == prefix
                         : std::ranges::equal(head, prefix, {}, FoldCase, FoldCase);
}

} // namespace vrel
