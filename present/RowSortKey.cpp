#include "RowSortKey.h"

#include <QHostAddress>

namespace vrel {

namespace {

// The value of a dotted quad or of a decimal number; nothing for any other text.
std::optional<quint64> NumericKey(const QString& text) {
    if (text.count(QLatin1Char('.')) == 3) {
        bool ok = false;
        const quint32 address = QHostAddress(text).toIPv4Address(&ok);
        if (ok)
            return address;
        return std::nullopt;
    }
    bool ok = false;
    const quint64 number = text.toULongLong(&ok, 10);
    return ok ? std::optional<quint64>(number) : std::nullopt;
}

} // namespace

RowSortKey::RowSortKey(const QString& text) : text_(text), number_(NumericKey(text)) {}

bool RowSortKey::operator<(const RowSortKey& other) const {
    if (number_ && other.number_)
        return *number_ < *other.number_;
    // Numbers before texts, so that a column of both stays in two readable runs.
    if (number_.has_value() != other.number_.has_value())
        return number_.has_value();
    const int folded = text_.compare(other.text_, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : text_ < other.text_;
}

bool RowTextLess(const QString& a, const QString& b) {
    return RowSortKey(a) < RowSortKey(b);
}

} // namespace vrel
