#pragma once

#include <QTreeWidgetItem>

namespace vrel {

// A list view row that sorts as a reader expects: IP addresses and plain numbers by value
// (10.0.0.9 before 10.0.0.10, 9 before 10), other texts alphabetically regardless of case.
class SortableRowItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override;
};

// True when a sorts before b by the rule above.
bool RowTextLess(const QString& a, const QString& b);

} // namespace vrel
