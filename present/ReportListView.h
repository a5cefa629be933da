#pragma once

#include "ReportTableModel.h"

#include <QTreeView>

#include <functional>

namespace vrel {

// A read-only report view over a ReportTableModel of its own. One row-selection handler, which a
// presenter can replace and chain to, hears of every row (de)selected, by its position as shown.
class ReportListView : public QTreeView {
    Q_OBJECT
public:
    using SelectHandler = std::function<void(QObject* sender, int row, bool selected)>;

    explicit ReportListView(QWidget* parent = nullptr);

    SelectHandler OnSelectItem;

    ReportTableModel& Rows() const { return *rows_; }
    int RowCount() const { return rows_->rowCount(); }
    int columnCount() const { return rows_->columnCount(); }
    QString Text(int row, int column) const { return rows_->Text(row, column); }
    void setHeaderLabels(const QStringList& captions) { rows_->SetHeaders(captions); }
    // Deselects first, as a view of items does, so the selection handler hears of it.
    void clear();

    int Selected() const; // the selected row, or -1

signals:
    // A click anywhere in the view, after the selection has followed it; a click on the empty
    // area leaves no row selected.
    void Clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    ReportTableModel* rows_;
};

} // namespace vrel
