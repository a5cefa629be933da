#pragma once

#include "KvVRELVarList.h"

#include <array>
#include <optional>

namespace vrel {

// Builds the payload of a request into out (cleared first) and returns its length, or -1006
// for a command other than Discover, Set and Get, -1007 for an unencodable Set value type.
// Throws ConvertError for a Set value text its type cannot read.
int build_payload(const KvVRELVarList& vars, std::uint8_t command, std::string& out);

// Assembles a request into datagram and returns 0, or -1010 for a target MAC text that is not
// six bytes, the codes of build_payload, -1013 when header, payload and password exceed the
// 8192-byte send area. Throws ConvertError as build_payload does.
int build_request(std::uint8_t command, std::uint8_t sequence, const std::string& targetMac,
                  const std::string& password, const KvVRELVarList& vars,
                  std::string& datagram);

// MD5 over the datagram with a zero digest field, then the password up to its first NUL (a C
// string on both sides). The password itself never goes on the wire.
std::string datagram_digest(std::string datagram, const std::string& password);

// A datagram of header, payload and digest; status goes into the low four bits of its byte.
std::string build_datagram(std::uint8_t command, std::uint8_t sequence, std::uint8_t status,
                           const std::string& mac, const std::string& payload,
                           const std::string& password);

struct ResponseHeader { // what the client matches an answer by
    std::uint8_t sequence = 0;
    std::uint8_t status = 0; // low four bits of the status byte
    std::array<std::uint8_t, 6> mac{};
};

// Why a datagram is not an answer, in the order the checks run.
enum class ResponseDrop { kNone, kSourcePort, kShort, kMagic, kLength };
const char* response_drop_text(ResponseDrop drop);

// Source port 64512, a full header, the magic, a length field equal to the bytes received.
std::optional<ResponseHeader> check_response(const std::uint8_t* data, std::size_t count,
                                             std::uint16_t sourcePort,
                                             ResponseDrop* why = nullptr);

// Decodes into the readable variables (structured ones through their response variables) in
// list order; returns the bytes consumed or -1005 / -1013. Earlier values keep their new text.
int decode_payload(KvVRELVarList& vars, const std::uint8_t* payload, std::size_t count);

// The result an accepted answer completes its request with: -1011, -1012, -1006 for status
// 1..3, -1015 for 4..15; for status 0, 0 for a Set, else the decode result (0 for 0 or more).
int response_result(std::uint8_t command, std::uint8_t status, KvVRELVarList& vars,
                    const std::uint8_t* payload, std::size_t count);

} // namespace vrel
