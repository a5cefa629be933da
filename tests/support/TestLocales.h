#pragma once

#include "FormatSettings.h"

namespace vrel::test {

// A locale that writes 1,5 and 5.3.2024: decimal comma, dotted day-first dates.
inline FormatSettings GermanLike() {
    FormatSettings s;
    s.decimalSeparator = ',';
    s.dateSeparator = '.';
    s.shortDateOrder = FormatSettings::DateOrder::DMY;
    return s;
}

} // namespace vrel::test
