#include "ReportListView.h"

#include "VisibleText.h"

#include <QAction>
#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

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

ReportListView::ReportListView(QWidget* parent)
    : QTreeView(parent), rows_(new ReportTableModel(this)) {
    rows_->SetColumnCount(1); // a view starts with one untitled column until it is given more
    setModel(rows_);
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
            &ReportListView::OnSelectionChanged);

    // Rows keep the order they came in until the user asks for another; from then on the
    // view sorts, and later rows take their place in that order.
    header()->setSectionsClickable(true);
    connect(header(), &QHeaderView::sectionClicked, this,
            &ReportListView::SortOnFirstHeaderClick);

    copyAction_ = new QAction(tr("Copy"), this);
    copyAction_->setShortcut(QKeySequence::Copy);
    copyAction_->setShortcutContext(Qt::WidgetShortcut);
    connect(copyAction_, &QAction::triggered, this,
            [this] { QGuiApplication::clipboard()->setText(SelectedRowsText()); });
    addAction(copyAction_);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void ReportListView::SortOnFirstHeaderClick(int column) {
    if (isSortingEnabled())
        return; // the header itself turns the order around on further clicks
    setSortingEnabled(true);
    sortByColumn(column, Qt::AscendingOrder);
}

QString ReportListView::SelectedRowsText() const {
    QString text;
    for (int r = 0; r < RowCount(); ++r) {
        if (!selectionModel()->isRowSelected(r, {}))
            continue;
        QStringList cells;
        for (int c = 0; c < columnCount(); ++c)
            cells << Text(r, c);
        text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

void ReportListView::AddRow(const QStringList& texts) {
    ReportRow row;
    for (const QString& text : texts)
        row.AddCell(text.toLatin1().toStdString());
    std::vector<ReportRow> rows;
    rows.push_back(std::move(row));
    rows_->Append(std::move(rows));
}

void ReportListView::clear() {
    selectionModel()->clear();
    rows_->Clear();
}

int ReportListView::Selected() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void ReportListView::SelectRow(int row) {
    selectionModel()->select(rows_->index(row, 0),
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

int ReportListView::RowAt(const QPoint& point) const {
    const QModelIndex index = indexAt(point);
    return index.isValid() ? index.row() : -1;
}

QRect ReportListView::RowRect(int row) const {
    const int last = std::max(0, columnCount() - 1);
    return visualRect(rows_->index(row, 0)).united(visualRect(rows_->index(row, last)));
}

int ReportListView::TextWidth(const QString& text) const {
    return QFontMetrics(font()).horizontalAdvance(text);
}

void ReportListView::mousePressEvent(QMouseEvent* event) {
    QTreeView::mousePressEvent(event);
    if (RowAt(event->position().toPoint()) < 0)
        clearSelection();
}

void ReportListView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        emit Clicked();
}

void ReportListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeView::mouseDoubleClickEvent(event);
    emit DoubleClicked();
}

void ReportListView::OnSelectionChanged(const QItemSelection& selected,
                                          const QItemSelection& deselected) {
    if (!OnSelectItem)
        return;
    // Deselection first, as a row change reads: the old row leaves, then the new one comes.
    auto deliver = [this](const QItemSelection& range, bool isSelected) {
        QList<int> rows;
        for (const QModelIndex& index : range.indexes()) {
            if (index.column() == 0)
                rows.append(index.row());
        }
        for (int row : rows)
            OnSelectItem(this, row, isSelected);
    };
    deliver(deselected, false);
    deliver(selected, true);
}

} // namespace vrel
