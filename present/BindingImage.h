#pragma once

#include <cstdint>
#include <string>

namespace vrel {

// Byte images of value texts, as the control bindings address them. Unlike the wire codec,
// multi-byte numbers are held least significant byte first (the machine's order), so a byte
// range or a bit of a value means the same on every variable type.

// Reads a decimal number: leading blanks, one optional sign, digits up to the first other
// character; no digits give 0; the value wraps modulo 2^32. Never fails.
std::uint32_t ReadWrappedDecimal(const std::string& text);

// The byte image of a value text. Throws -1007 for a type outside 1..17, and the conversion
// failure of a double or date-time text that cannot be read (a blank text gives zero).
std::string TextToBytes(const std::string& text, std::uint8_t valueType);
// The value text of a byte image. Throws -1018 for too few bytes, -1007 for a bad type.
std::string BytesToText(const std::string& bytes, std::uint8_t valueType);
// The part of the type at startByte: its fixed size, or the rest for the string types. Throws
// -1019 when the part does not lie within the bytes, -1007 for a type outside 1..17.
std::string ExtractPart(const std::string& bytes, std::uint32_t startByte, std::uint8_t valueType);

// The date-time value of a datetime image. Throws -1018 for fewer than eight bytes or a value
// that is no date of the years 1 to 9999 (not a number, or days far outside that range).
double ImageDateTime(const std::string& bytes);

} // namespace vrel
