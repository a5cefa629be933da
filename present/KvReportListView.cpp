#include "KvReportListView.h"

#include "VisibleText.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace vrel {

namespace {

// Draws the grid lines of a report view: a line right of and below every cell. Cells hold
// device texts exactly; control and C1 characters in them are shown as \xNN escapes.
class GridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QString displayText(const QVariant& value, const QLocale& locale) const override {
        if (value.typeId() != QMetaType::QString)
            return QStyledItemDelegate::displayText(value, locale);
        const QString text = value.toString();
        QString shown;
        shown.reserve(text.size());
        for (const QChar c : text) {
            if (c.unicode() <= 0xFF && IsHiddenByte(static_cast<unsigned char>(c.unicode())))
                shown += QString::fromStdString(VisibleText(std::string(1, char(c.unicode()))));
            else
                shown += c;
        }
        return shown;
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        const QRect r = option.rect;
        painter->drawLine(r.topRight(), r.bottomRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->restore();
    }
};

} // namespace

KvReportListView::KvReportListView(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new GridDelegate(this));
    header()->setStretchLastSection(false);
    header()->setMinimumSectionSize(1); // a designed column may be one pixel wide
    // The selected row stays visible when the view loses focus to the edit boxes.
    QPalette p = palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        p.setColor(QPalette::Inactive, role, p.color(QPalette::Active, role));
    setPalette(p);
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
