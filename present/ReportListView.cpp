#include "ReportListView.h"

#include "VisibleText.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace vrel {

namespace {

// Grid lines right of and below every cell; control and C1 characters shown as \xNN escapes.
class GridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QString displayText(const QVariant& value, const QLocale& locale) const override {
        if (value.typeId() != QMetaType::QString)
            return QStyledItemDelegate::displayText(value, locale);
        // The model's texts are Latin-1, so the round trip keeps every character.
        return QString::fromLatin1(VisibleText(value.toString().toLatin1().toStdString()));
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

ReportListView::ReportListView(QWidget* parent)
    : QTreeView(parent), rows_(new ReportTableModel(this)) {
    rows_->SetHeaders({"1"}); // one column, titled by its number, until the view is given more
    setModel(rows_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true); // a tree view selects single whole rows already
    setItemDelegate(new GridDelegate(this));
    header()->setStretchLastSection(false);
    header()->setMinimumSectionSize(1); // a designed column may be one pixel wide
    // The selected row stays visible when the view loses focus to the edit boxes.
    QPalette p = palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        p.setColor(QPalette::Inactive, role, p.color(QPalette::Active, role));
    setPalette(p);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ReportListView::OnSelectionChanged);

    // Rows keep their order of arrival until the user sorts; later rows then take their places.
    header()->setSectionsClickable(true);
    connect(header(), &QHeaderView::sectionClicked, this, [this](int column) {
        if (!isSortingEnabled()) { // from then on the header turns the order around itself
            setSortingEnabled(true);
            sortByColumn(column, Qt::AscendingOrder);
        }
    });

    // Copy: the selected rows in the order shown, one line each, cells separated by tabs.
    QAction* copy = addAction(tr("Copy"), QKeySequence(QKeySequence::Copy), this, [this] {
        QString text;
        for (int r = 0; r < RowCount(); ++r) {
            if (!selectionModel()->isRowSelected(r, {}))
                continue;
            QStringList cells;
            for (int c = 0; c < columnCount(); ++c)
                cells << Text(r, c);
            text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
        }
        QGuiApplication::clipboard()->setText(text);
    });
    copy->setShortcutContext(Qt::WidgetShortcut);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void ReportListView::clear() {
    selectionModel()->clear();
    rows_->Clear();
}

int ReportListView::Selected() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void ReportListView::mousePressEvent(QMouseEvent* event) {
    QTreeView::mousePressEvent(event);
    if (!indexAt(event->position().toPoint()).isValid())
        clearSelection();
}

void ReportListView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        emit Clicked();
}

void ReportListView::OnSelectionChanged(const QItemSelection& selected,
                                          const QItemSelection& deselected) {
    if (!OnSelectItem)
        return;
    // Deselection first, as a row change reads: the old row leaves, then the new one comes.
    auto deliver = [this](const QItemSelection& range, bool isSelected) {
        for (const QModelIndex& index : range.indexes()) {
            if (index.column() == 0)
                OnSelectItem(this, index.row(), isSelected);
        }
    };
    deliver(deselected, false);
    deliver(selected, true);
}

} // namespace vrel
