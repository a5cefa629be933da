#include "DateTimeText.h"

#include "Exception.h"
#include "FormatSettings.h"
#include "TextCompare.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace vrel {

namespace {

namespace chrono = std::chrono;

constexpr const char* kDateTimeMessage = "'%s' is not a valid date and time";
constexpr double kMsPerDay = 86400000.0;
constexpr chrono::sys_days kEpoch = chrono::year(1899) / 12 / 30;

bool IsValid(const CivilDateTime& c) {
    return c.year >= 1 && c.year <= 9999 && c.month >= 1 && c.month <= 12 && c.day >= 1 &&
           c.day <=
               static_cast<int>(unsigned((chrono::year(c.year) / c.month / chrono::last).day())) &&
           c.hour >= 0 && c.hour <= 23 && c.minute >= 0 && c.minute <= 59 && c.second >= 0 &&
           c.second <= 59 && c.millisecond >= 0 && c.millisecond <= 999;
}

class Scanner {
public:
    explicit Scanner(const std::string& text) : text_(text) {}

    void SkipBlanks() {
        while (pos_ < text_.size() && text_[pos_] == ' ')
            ++pos_;
    }
    bool AtEnd() const { return pos_ >= text_.size(); }
    bool Take(char c) {
        const bool taken = pos_ < text_.size() && text_[pos_] == c;
        pos_ += taken;
        return taken;
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
        const bool taken = !word.empty() && StartsWith(text_.substr(pos_), word, false);
        pos_ += taken ? word.size() : 0;
        return taken;
    }

private:
    const std::string& text_;
    std::size_t pos_ = 0;
};

bool ScanDate(Scanner& s, CivilDateTime& c) {
    const FormatSettings& fs = CurrentFormatSettings();
    int n[3], d[3];
    for (int i = 0; i < 3; ++i) {
        if ((i > 0 && !s.Take(fs.dateSeparator)) || !s.Number(n[i], d[i]))
            return false;
    }
    // A first number of more than two digits is a year whatever the locale's order.
    const bool ymd = d[0] > 2 || fs.shortDateOrder == FormatSettings::DateOrder::YMD;
    const bool dmy = !ymd && fs.shortDateOrder == FormatSettings::DateOrder::DMY;
    const int year = ymd ? 0 : 2;
    c.year = d[year] > 2 ? n[year] : n[year] < 50 ? 2000 + n[year] : 1900 + n[year];
    c.month = n[ymd || dmy ? 1 : 0];
    c.day = n[ymd ? 2 : dmy ? 0 : 1];
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
    const bool am = s.TakeWord(fs.amText) || s.TakeWord("am") || s.TakeWord("a");
    const bool pm = !am && (s.TakeWord(fs.pmText) || s.TakeWord("pm") || s.TakeWord("p"));
    if (am || pm) {
        if (c.hour < 1 || c.hour > 12)
            return false;
        c.hour = c.hour % 12 + (pm ? 12 : 0); // 12 am is midnight, 12 pm noon
    }
    return true;
}

} // namespace

double EncodeDateTime(const CivilDateTime& c) {
    if (!IsValid(c)) {
        char text[64];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day,
                      c.hour, c.minute, c.second);
        RaiseConvert(kDateTimeMessage, text);
    }
    const chrono::sys_days date = chrono::year(c.year) / c.month / c.day;
    const auto days = static_cast<double>((date - kEpoch).count());
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
    double whole = std::trunc(value);
    long long ms = std::llround(std::fabs(value - whole) * kMsPerDay);
    // Rounding reached the next midnight. Before the epoch the fraction counts forward within
    // the day too, so the next day is whole + 1 on both sides.
    if (ms >= static_cast<long long>(kMsPerDay)) {
        ms -= static_cast<long long>(kMsPerDay);
        whole += 1;
    }
    const chrono::year_month_day date(kEpoch + chrono::days(static_cast<long>(whole)));
    return {int(date.year()),  int(unsigned(date.month())), int(unsigned(date.day())),
            int(ms / 3600000), int(ms / 60000 % 60),        int(ms / 1000 % 60),
            int(ms % 1000)};
}

std::string FormatDateTime(double value) {
    const FormatSettings& fs = CurrentFormatSettings();
    const CivilDateTime c = DecodeDateTime(value);
    char text[64];
    std::snprintf(text, sizeof text, "%04d%c%02d%c%02d %02d%c%02d%c%02d %s", c.year,
                  fs.dateSeparator, c.month, fs.dateSeparator, c.day,
                  c.hour % 12 == 0 ? 12 : c.hour % 12, fs.timeSeparator, c.minute, fs.timeSeparator,
                  c.second, c.hour < 12 ? "am" : "pm");
    return text;
}

double ReadDateTime(const std::string& text) {
    Scanner s(text);
    CivilDateTime c;
    s.SkipBlanks();
    bool read = ScanDate(s, c);
    s.SkipBlanks();
    read = read && (s.AtEnd() || ScanTime(s, c));
    s.SkipBlanks();
    if (!read || !s.AtEnd() || !IsValid(c))
        RaiseConvert(kDateTimeMessage, text);
    return EncodeDateTime(c);
}

double NowAsDateTime() {
    const auto now = chrono::system_clock::now();
    const std::time_t t = chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    const auto sinceEpoch = chrono::floor<chrono::milliseconds>(now.time_since_epoch()) +
                            chrono::seconds(local.tm_gmtoff);
    const auto day = chrono::floor<chrono::days>(sinceEpoch);
    return static_cast<double>((chrono::sys_days(day) - kEpoch).count()) +
           static_cast<double>((sinceEpoch - day).count()) / kMsPerDay;
}

} // namespace vrel
