#pragma once

#include <cstddef>
#include <cstdint>

namespace vrel {

enum VrelValueType : std::uint8_t {
    kNoValueType = 0, // a structured variable, which has no value of its own
    kBool8 = 1,
    kInt8 = 2,
    kUint8 = 3,
    kBool16 = 4,
    kInt16 = 5,
    kUint16 = 6,
    kBool32 = 7,
    kInt32 = 8,
    kUint32 = 9,
    kDouble = 10,
    kTimeticks = 11,
    kDatetime = 12,
    kIpAddress = 13,
    kMacAddress = 14,
    kBitStr = 15,
    kOctetStr = 16,
    kDisplayStr = 17,
};

constexpr bool IsEncodableType(std::uint8_t type) { return type >= kBool8 && type <= kDisplayStr; }

enum VrelAccess : std::uint32_t {
    kReadable = 1,
    kWritable = 2,
    kReadOnly = 1,
    kWriteOnly = 2,
    kReadWrite = 3,
};

enum VrelCommand : std::uint8_t {
    kDiscover = 1,
    kSet = 3,
    kGet = 5,
};

enum VrelStatus : std::uint8_t {
    kStatusOk = 0,
    kStatusPasswordError = 1,
    kStatusNotDone = 2,
    kStatusBadCommand = 3,
};

// Wire facts of the protocol.
constexpr std::uint16_t kVrelPort = 64512;
constexpr std::size_t kHeaderSize = 36;
constexpr std::size_t kSendAreaSize = 8192;    // header + payload + password while digesting
constexpr std::size_t kReceiveAreaSize = 8912; // largest datagram taken from the socket
constexpr std::uint8_t kMagic[4] = {0x09, 0x2B, 0x13, 0x38};
constexpr std::size_t kMacSize = 6;

// Header offsets.
constexpr std::size_t kOffMagic = 0;
constexpr std::size_t kOffCommand = 4;
constexpr std::size_t kOffSequence = 5;
constexpr std::size_t kOffLength = 6;
constexpr std::size_t kOffStatus = 10;
constexpr std::size_t kOffDigest = 12;
constexpr std::size_t kDigestSize = 16;
constexpr std::size_t kOffMac = 28;
constexpr std::size_t kOffConstant = 34;

} // namespace vrel
