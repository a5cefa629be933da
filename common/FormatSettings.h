#pragma once

#include <string>

namespace vrel {

// The locale facts the value texts depend on: how numbers, dates and times are written.
// One process-wide instance, filled from the system locale at start-up and set by tests.
struct FormatSettings {
    enum class DateOrder { MDY, DMY, YMD };

    char decimalSeparator = '.';
    char dateSeparator = '/';
    DateOrder shortDateOrder = DateOrder::MDY;
    char timeSeparator = ':';
    std::string amText = "AM";
    std::string pmText = "PM";
};

inline FormatSettings& CurrentFormatSettings() {
    static FormatSettings settings;
    return settings;
}

// Sets the process-wide settings for the life of a scope, then restores the old ones.
class ScopedFormatSettings {
public:
    explicit ScopedFormatSettings(const FormatSettings& settings)
        : saved_(CurrentFormatSettings()) {
        CurrentFormatSettings() = settings;
    }
    ~ScopedFormatSettings() { CurrentFormatSettings() = saved_; }
    ScopedFormatSettings(const ScopedFormatSettings&) = delete;
    ScopedFormatSettings& operator=(const ScopedFormatSettings&) = delete;

private:
    FormatSettings saved_;
};

} // namespace vrel
