#pragma once

#include <string>
#include <string_view>

namespace vrel {

// Device texts are chosen by whoever answers on the segment. Shown raw, an ESC or CSI byte
// lets a device retitle or clear the user's terminal and a line break lets it print a forged
// row. These bytes are shown as visible escapes instead; everything else stays as it is.

// True for the bytes that are never shown raw: C0 controls, DEL, and the C1 range 0x80..0x9F
// whose members 8-bit terminals take as escape-sequence starters (0x9B is CSI).
// Inline: CSV output asks it of every byte of every field.
inline bool IsHiddenByte(unsigned char c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}
// The text with every hidden byte written as \xNN (two lower-case hex digits).
std::string VisibleText(std::string_view text);

} // namespace vrel
