#include "SortableRowItem.h"

#include <QHostAddress>

#include <optional>

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

bool RowTextLess(const QString& a, const QString& b) {
    const auto ka = NumericKey(a);
    const auto kb = NumericKey(b);
    if (ka && kb)
        return *ka < *kb;
    // Numbers before texts, so that a column of both stays in two readable runs.
    if (ka.has_value() != kb.has_value())
        return ka.has_value();
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

bool SortableRowItem::operator<(const QTreeWidgetItem& other) const {
    const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
    return RowTextLess(text(column), other.text(column));
}

} // namespace vrel
