#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vrel {

// Number of value bytes of a fixed-size type (1..14); 0 for the variable-length string types
// and for codes that are not value types.
std::size_t fixed_value_size(std::uint8_t valueType);

// Appends one item (id, 16-bit big-endian length, value bytes) to out and returns its length;
// -1007 for a type outside 1..17, -1013 for a value too long for the length field. Throws
// ConvertError for a text its type cannot read (a MAC address of fewer than six bytes too).
int encode_item(std::uint8_t id, std::uint8_t valueType, const std::string& text,
                std::string& out);

// Decodes the item at in (avail bytes to the end of the datagram) into text and returns the
// bytes consumed; -1005 for another id, -1013 for an item length that does not fit the type or
// runs past the datagram. text changes only on success.
int decode_item(std::uint8_t expectedId, std::uint8_t valueType, std::string& text,
                const std::uint8_t* in, std::size_t avail);

// Blanks dropped; an odd count makes the first digit a byte of its own; non-hex digits are 0.
std::string hex_to_bytes(const std::string& text);
std::string bytes_to_hex(const std::string& bytes);

std::string ticks_to_text(std::uint32_t ticks);
std::uint32_t ticks_from_text(const std::string& text);

// Four bytes in network order of an address ParseDottedQuad accepts; throws ConvertError for
// any other text.
std::string read_ip_address(const std::string& text);

} // namespace vrel
