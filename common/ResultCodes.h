#pragma once

// The protocol engine's result codes, named once (texts in Messages.h); 0 is success.
namespace vrel {

constexpr int kBadVariableId = -1005;
constexpr int kBadCommand = -1006;
constexpr int kBadValueType = -1007;
constexpr int kSocketNotReady = -1008;
constexpr int kSocketError = -1009;
constexpr int kBadMac = -1010;
constexpr int kPasswordError = -1011;
constexpr int kNotDone = -1012;
constexpr int kBadPacket = -1013;
constexpr int kTimeout = -1014;
constexpr int kUnknownError = -1015;
constexpr int kBadIndex = -1016;
constexpr int kBadSyntax = -1017;
constexpr int kShortImage = -1018;
constexpr int kPartOutside = -1019;
constexpr int kNoOptionList = -1020;
constexpr int kBitOutside = -1021;
constexpr int kCheckBoxType = -1022;
constexpr int kTooFewEdits = -1023;
constexpr int kBadControl = -1024;

} // namespace vrel
