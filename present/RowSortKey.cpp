#include "RowSortKey.h"

#include <QHostAddress>

namespace vrel {

// The number is the value of a dotted quad or of a decimal number; other texts have none.
RowSortKey::RowSortKey(const QString& text) : text_(text) {
    bool ok = false;
    const quint64 value = text.count(QLatin1Char('.')) == 3 ? QHostAddress(text).toIPv4Address(&ok)
                                                            : text.toULongLong(&ok, 10);
    if (ok)
        number_ = value;
}

bool RowSortKey::operator<(const RowSortKey& other) const {
    if (number_ && other.number_)
        return *number_ < *other.number_;
    // Numbers before texts, so that a column of both stays in two readable runs.
    if (number_.has_value() != other.number_.has_value())
        return number_.has_value();
    const int folded = text_.compare(other.text_, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : text_ < other.text_;
}

} // namespace vrel
