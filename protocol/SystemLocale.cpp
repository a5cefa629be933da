#include "SystemLocale.h"

#include "FormatSettings.h"

#include <QLocale>

namespace vrel {

namespace {

// The first character of a format that is not a field letter: the separator between fields.
char SeparatorIn(const QString& format, char fallback) {
    for (QChar c : format) {
        if (!c.isLetter() && c != ' ' && c.unicode() < 0x100)
            return static_cast<char>(c.unicode());
    }
    return fallback;
}

FormatSettings::DateOrder OrderOf(const QString& format) {
    const auto d = format.indexOf('d'), m = format.indexOf('M'), y = format.indexOf('y');
    if (y >= 0 && y < m && y < d)
        return FormatSettings::DateOrder::YMD;
    if (d >= 0 && d < m)
        return FormatSettings::DateOrder::DMY;
    return FormatSettings::DateOrder::MDY;
}

char Latin1Char(const QString& text, char fallback) {
    return text.size() == 1 && text[0].unicode() < 0x100 ? static_cast<char>(text[0].unicode())
                                                         : fallback;
}

} // namespace

void UseSystemLocaleFormats() {
    const QLocale locale = QLocale::system();
    FormatSettings fs;
    fs.decimalSeparator = Latin1Char(locale.decimalPoint(), '.');
    const QString date = locale.dateFormat(QLocale::ShortFormat);
    fs.dateSeparator = SeparatorIn(date, '/');
    fs.shortDateOrder = OrderOf(date);
    fs.timeSeparator = SeparatorIn(locale.timeFormat(QLocale::ShortFormat), ':');
    if (!locale.amText().isEmpty())
        fs.amText = locale.amText().toLatin1().toStdString();
    if (!locale.pmText().isEmpty())
        fs.pmText = locale.pmText().toLatin1().toStdString();
    CurrentFormatSettings() = fs;
}

} // namespace vrel
