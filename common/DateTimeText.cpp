#include "DateTimeText.h"

#include "Exception.h"
#include "FormatSettings.h"
#include "TextCompare.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

namespace vrel {

namespace {

constexpr const char* kDateTimeMessage = "'%s' is not a valid date and time";
constexpr double kMsPerDay = 86400000.0;
// Days from 1970-01-01 back to the date-time epoch 1899-12-30.
constexpr long kEpochOffsetDays = 25569;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
long DaysFromCivil(long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

void CivilFromDays(long z, int& year, int& month, int& day) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long y = static_cast<long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

bool IsValid(const CivilDateTime& c) {
    return c.year >= 1 && c.year <= 9999 && c.month >= 1 && c.month <= 12 && c.day >= 1 &&
           c.day <= DaysInMonth(c.year, c.month) && c.hour >= 0 && c.hour <= 23 &&
           c.minute >= 0 && c.minute <= 59 && c.second >= 0 && c.second <= 59 &&
           c.millisecond >= 0 && c.millisecond <= 999;
}

// A small scanner over the text being read as a date and time.
class Scanner {
public:
    explicit Scanner(const std::string& text) : text_(text) {}

    void SkipBlanks() {
        while (pos_ < text_.size() && text_[pos_] == ' ')
            ++pos_;
    }
    bool AtEnd() const { return pos_ >= text_.size(); }
    bool Take(char c) {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    // Reads up to six decimal digits; false when there is none.
    bool Number(int& value, int& digits) {
        value = 0;
        digits = 0;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9' && digits < 6) {
            value = value * 10 + (text_[pos_++] - '0');
            ++digits;
        }
        return digits > 0;
    }
    bool TakeWord(const std::string& word) {
        if (word.empty() || !StartsWith(text_.substr(pos_), word, false))
            return false;
        pos_ += word.size();
        return true;
    }

private:
    const std::string& text_;
    std::size_t pos_ = 0;
};

int ExpandTwoDigitYear(int year, int digits) {
    if (digits > 2)
        return year;
    return year < 50 ? 2000 + year : 1900 + year;
}

bool ScanDate(Scanner& s, CivilDateTime& c) {
    const FormatSettings& fs = CurrentFormatSettings();
    int n[3], d[3];
    for (int i = 0; i < 3; ++i) {
        if (i > 0 && !s.Take(fs.dateSeparator))
            return false;
        if (!s.Number(n[i], d[i]))
            return false;
    }
    // A first number of more than two digits is a year whatever the locale's order.
    if (d[0] > 2 || fs.shortDateOrder == FormatSettings::DateOrder::YMD) {
        c.year = ExpandTwoDigitYear(n[0], d[0]);
        c.month = n[1];
        c.day = n[2];
    } else if (fs.shortDateOrder == FormatSettings::DateOrder::DMY) {
        c.day = n[0];
        c.month = n[1];
        c.year = ExpandTwoDigitYear(n[2], d[2]);
    } else {
        c.month = n[0];
        c.day = n[1];
        c.year = ExpandTwoDigitYear(n[2], d[2]);
    }
    return true;
}

// hours sep minutes [sep seconds [. milliseconds]] [am/pm marker]
bool ScanTime(Scanner& s, CivilDateTime& c) {
    const FormatSettings& fs = CurrentFormatSettings();
    int digits = 0;
    if (!s.Number(c.hour, digits) || !s.Take(fs.timeSeparator) || !s.Number(c.minute, digits))
        return false;
    if (s.Take(fs.timeSeparator)) {
        if (!s.Number(c.second, digits))
            return false;
        if (s.Take('.')) {
            if (!s.Number(c.millisecond, digits) || digits > 3)
                return false;
            for (; digits < 3; ++digits)
                c.millisecond *= 10;
        }
    }
    s.SkipBlanks();
    int marker = 0; // 1 am, 2 pm
    if (s.TakeWord(fs.amText) || s.TakeWord("am") || s.TakeWord("a"))
        marker = 1;
    else if (s.TakeWord(fs.pmText) || s.TakeWord("pm") || s.TakeWord("p"))
        marker = 2;
    if (marker != 0) {
        if (c.hour < 1 || c.hour > 12)
            return false;
        if (marker == 1 && c.hour == 12)
            c.hour = 0;
        else if (marker == 2 && c.hour != 12)
            c.hour += 12;
    }
    return true;
}

std::string TwoDigits(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

} // namespace

double EncodeDateTime(const CivilDateTime& c) {
    if (!IsValid(c)) {
        char text[64];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day,
                      c.hour, c.minute, c.second);
        RaiseConvert(kDateTimeMessage, text);
    }
    const double days = static_cast<double>(
        DaysFromCivil(c.year, static_cast<unsigned>(c.month), static_cast<unsigned>(c.day)) +
        kEpochOffsetDays);
    const double time =
        (((c.hour * 60.0 + c.minute) * 60.0 + c.second) * 1000.0 + c.millisecond) / kMsPerDay;
    // Before the epoch the fraction still counts forward within the day.
    return days < 0 ? days - time : days + time;
}

bool IsRepresentableDateTime(double value) {
    // 0001-01-01 00:00 and 9999-12-31 24:00 as day counts.
    return std::isfinite(value) && value > -693594.0 && value < 2958466.0;
}

CivilDateTime DecodeDateTime(double value) {
    if (!IsRepresentableDateTime(value))
        RaiseConvert(kDateTimeMessage, std::to_string(value));
    CivilDateTime c;
    double whole = std::trunc(value);
    long long ms = std::llround(std::fabs(value - whole) * kMsPerDay);
    // Rounding reached the next midnight. Before the epoch the fraction counts forward within
    // the day too, so the next day is whole + 1 on both sides.
    if (ms >= static_cast<long long>(kMsPerDay)) {
        ms -= static_cast<long long>(kMsPerDay);
        whole += 1;
    }
    CivilFromDays(static_cast<long>(whole) - kEpochOffsetDays, c.year, c.month, c.day);
    c.millisecond = static_cast<int>(ms % 1000);
    c.second = static_cast<int>(ms / 1000 % 60);
    c.minute = static_cast<int>(ms / 60000 % 60);
    c.hour = static_cast<int>(ms / 3600000);
    return c;
}

std::string FormatDateTime(double value) {
    const FormatSettings& fs = CurrentFormatSettings();
    const CivilDateTime c = DecodeDateTime(value);
    char year[16];
    std::snprintf(year, sizeof year, "%04d", c.year);
    const int hour12 = c.hour % 12 == 0 ? 12 : c.hour % 12;
    std::string out = year;
    out += fs.dateSeparator + TwoDigits(c.month) + fs.dateSeparator + TwoDigits(c.day);
    out += ' ' + TwoDigits(hour12) + fs.timeSeparator + TwoDigits(c.minute) + fs.timeSeparator +
           TwoDigits(c.second);
    out += c.hour < 12 ? " am" : " pm";
    return out;
}

double ReadDateTime(const std::string& text) {
    Scanner s(text);
    CivilDateTime c;
    c.hour = c.minute = c.second = c.millisecond = 0;
    s.SkipBlanks();
    if (!ScanDate(s, c))
        RaiseConvert(kDateTimeMessage, text);
    s.SkipBlanks();
    if (!s.AtEnd() && !ScanTime(s, c))
        RaiseConvert(kDateTimeMessage, text);
    s.SkipBlanks();
    if (!s.AtEnd() || !IsValid(c))
        RaiseConvert(kDateTimeMessage, text);
    return EncodeDateTime(c);
}

double NowAsDateTime() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        now.time_since_epoch()) % 1000;
    CivilDateTime c;
    c.year = local.tm_year + 1900;
    c.month = local.tm_mon + 1;
    c.day = local.tm_mday;
    c.hour = local.tm_hour;
    c.minute = local.tm_min;
    c.second = local.tm_sec > 59 ? 59 : local.tm_sec;
    c.millisecond = static_cast<int>(ms.count());
    return EncodeDateTime(c);
}

} // namespace vrel
