#pragma once

#include <cstddef>
#include <string_view>

namespace vrel {

// Texts one after another, each behind its length (one byte for the short texts devices send,
// else a marker byte and four): one allocation for the texts of thousands of devices or rows.
std::size_t PackedSize(std::string_view text);
// Writes text at `at` (PackedSize(text) bytes) and returns the end.
char* PackText(char* at, std::string_view text);
// The text at `at`, which is moved past it.
std::string_view UnpackText(const char*& at);

} // namespace vrel
