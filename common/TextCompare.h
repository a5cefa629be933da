#pragma once

#include <string>

namespace vrel {

// Texts are 8-bit Latin-1 strings; letter case is folded over the Latin-1 letters, not only
// ASCII, so names such as "Zähler" and "ZÄHLER" compare equal.
bool EqualsIgnoreCase(const std::string& a, const std::string& b);
// True when text begins with prefix (byte for byte, or case-folded).
bool StartsWith(const std::string& text, const std::string& prefix, bool caseSensitive);

} // namespace vrel
