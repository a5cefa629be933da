#pragma once

#include <stdexcept>
#include <string>

namespace vrel {

// A synchronous failure: the message is the catalogue text shown to the user, the help
// context is the result code, so a handler can tell failures apart without parsing text.
class Exception : public std::runtime_error {
public:
    Exception(const std::string& message, int helpContext)
        : std::runtime_error(message), helpContext_(helpContext) {}

    std::string Message() const { return what(); }
    int HelpContext() const { return helpContext_; }

private:
    int helpContext_;
};

// A text that cannot be read as a value of its type. These carry no result code (0), as the
// device never sees them: the request is refused before it is built.
class ConvertError : public Exception {
public:
    explicit ConvertError(const std::string& message) : Exception(message, 0) {}
};

// Throws the protocol-catalogue failure for a protocol result code (-1001..-1024).
[[noreturn]] void RaiseVrel(int code);
// Throws the common-catalogue failure for a common result code (-1..-18).
[[noreturn]] void RaiseCommon(int code);
// Throws a ConvertError whose message is the format with the offending text in place of %s.
[[noreturn]] void RaiseConvert(const char* format, const std::string& text);

} // namespace vrel
