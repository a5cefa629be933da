#pragma once

#include <string>

namespace vrel {

constexpr int kProtocolMessageCount = 25;
constexpr int kCommonMessageCount = 19;

enum LogFormatIndex { kLogDiscover = 0, kLogGet = 1, kLogSet = 2 };

// Protocol catalogue text for 0 or -1001..-1024. Codes outside the table get the text of
// "unknown error" rather than a read outside it.
std::string MessageForCode(int code);
// Common catalogue text for 0..-18; other codes as MessageForCode.
std::string CommonMessageForCode(int code);
std::string LogFormat(int index);

// Replaces every occurrence of pattern from left to right; a replacement is never searched
// again, and an empty pattern matches nothing.
std::string ReplaceAll(const std::string& source, const std::string& pattern,
                       const std::string& replacement);

} // namespace vrel
