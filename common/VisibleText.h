#pragma once

#include <string>
#include <string_view>

namespace vrel {

// Any device on the segment chooses its texts: shown raw, an ESC or CSI byte would let it
// retitle or clear the user's terminal, a line break print a forged row. Never shown raw: C0
// controls, DEL and C1 (0x80..0x9F, escape-sequence starters on 8-bit terminals; 0x9B is CSI).
inline bool IsHiddenByte(unsigned char c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}
// The text with every hidden byte written as \xNN (two lower-case hex digits).
std::string VisibleText(std::string_view text);

} // namespace vrel
