#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vrel::fuzz {

// Cuts a fuzzer input into texts at zero bytes, so one input carries several arguments and a
// mutation of one leaves the others in place.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size)
        : rest_(reinterpret_cast<const char*>(data), size) {}

    // The text up to the next zero byte (or the end); empty once the input is used up.
    std::string Next() {
        const std::size_t end = rest_.find('\0');
        const std::string text(rest_.substr(0, end));
        rest_ = end == std::string_view::npos ? std::string_view() : rest_.substr(end + 1);
        return text;
    }
    std::string Rest() const { return std::string(rest_); }

private:
    std::string_view rest_;
};

} // namespace vrel::fuzz
