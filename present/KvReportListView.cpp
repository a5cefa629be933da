#include "KvReportListView.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QMouseEvent>

namespace vrel {

KvReportListView::KvReportListView(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setStyleSheet("QTreeView::item { border-right: 1px solid palette(mid);"
                  " border-bottom: 1px solid palette(mid); }");
    header()->setStretchLastSection(false);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &KvReportListView::OnSelectionChanged);
}

QTreeWidgetItem* KvReportListView::Selected() const {
    const auto items = selectedItems();
    return items.isEmpty() ? nullptr : items.first();
}

int KvReportListView::TextWidth(const QString& text) const {
    return QFontMetrics(font()).horizontalAdvance(text);
}

void KvReportListView::mousePressEvent(QMouseEvent* event) {
    QTreeWidget::mousePressEvent(event);
    if (itemAt(event->position().toPoint()) == nullptr)
        clearSelection();
}

void KvReportListView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        emit Clicked();
}

void KvReportListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeWidget::mouseDoubleClickEvent(event);
    emit DoubleClicked();
}

void KvReportListView::OnSelectionChanged(const QItemSelection& selected,
                                          const QItemSelection& deselected) {
    if (!OnSelectItem)
        return;
    // Deselection first, as a row change reads: the old row leaves, then the new one comes.
    auto deliver = [this](const QItemSelection& range, bool isSelected) {
        QList<QTreeWidgetItem*> items;
        for (const QModelIndex& index : range.indexes()) {
            if (index.column() != 0)
                continue;
            if (QTreeWidgetItem* item = itemFromIndex(index))
                items.append(item);
        }
        for (QTreeWidgetItem* item : items)
            OnSelectItem(this, item, isSelected);
    };
    deliver(deselected, false);
    deliver(selected, true);
}

} // namespace vrel
