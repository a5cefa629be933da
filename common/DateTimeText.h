#pragma once

#include <string>

namespace vrel {

// A date-time value is a double: days since 30 December 1899 00:00 in the integer part, the
// time of day as the fraction. Before that day the fraction still counts forward in the day,
// so -1.25 is 29 December 1899 06:00.
struct CivilDateTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Throws ConvertError "'%s' is not a valid date and time" when a field is out of range.
double EncodeDateTime(const CivilDateTime& civil);
// True for a finite value within the years 1 to 9999.
bool IsRepresentableDateTime(double value);
// Throws ConvertError for a value that is not representable.
CivilDateTime DecodeDateTime(double value);

// The text "yyyy/mm/dd hh:nn:ss am/pm" on a 12-hour clock, with the current date and time
// separators and "am"/"pm" in lower case.
std::string FormatDateTime(double value);

// Reads a date in the current short date order, then optionally hours, minutes, seconds and
// am/pm. A first number of more than two digits is always the year, so the text FormatDateTime
// writes is read back on every locale. Throws ConvertError as EncodeDateTime.
double ReadDateTime(const std::string& text);

// The current local date and time as a date-time value.
double NowAsDateTime();

} // namespace vrel
