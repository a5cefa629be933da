#pragma once

#include <cstdint>
#include <string>

namespace vrel {

// The value of a hexadecimal digit, or -1.
int HexDigit(char c);

// Reads a signed 32-bit integer: leading blanks, an optional sign and decimal digits, or,
// without a sign, up to eight hexadecimal digits after "$", "x", "X", "0x" or "0X"; nothing may
// follow. Throws ConvertError "'%s' is not a valid integer value".
std::int32_t ReadInteger(const std::string& text);

// Reads a decimal number with the current decimal separator and an optional exponent, blanks
// around it allowed. Throws ConvertError "'%s' is not a valid floating point value".
double ReadFloat(const std::string& text);

// Writes a double in general number format: at most 15 significant digits, trailing zeros
// dropped, the current decimal separator; scientific form ("1.5E20", "1E-7") when the value
// has more than 15 integer digits or is below 0.00001.
std::string FormatFloat(double value);

} // namespace vrel
