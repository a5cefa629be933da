#pragma once

#include <QTreeWidget>

#include <functional>

namespace vrel {

// A report-style list view: one column per value, grid lines, whole rows, read-only. It has
// one item-selection handler, called for every item that becomes selected or deselected, which
// a presenter can replace and chain to.
class KvReportListView : public QTreeWidget {
    Q_OBJECT
public:
    using SelectHandler = std::function<void(QObject* sender, QTreeWidgetItem* item, bool selected)>;

    explicit KvReportListView(QWidget* parent = nullptr);

    SelectHandler OnSelectItem;

    // The selected row, or null.
    QTreeWidgetItem* Selected() const;
    // Pixel width of a text in the view's font.
    int TextWidth(const QString& text) const;
    // The selected rows in the order shown, one line each, cells separated by tabs: what the
    // context menu's Copy puts on the clipboard.
    QString SelectedRowsText() const;
    QAction* CopyAction() const { return copyAction_; }

signals:
    // A click anywhere in the view, after the selection has followed it; a click on the empty
    // area leaves no row selected.
    void Clicked();
    void DoubleClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void SortOnFirstHeaderClick(int column);
    QAction* copyAction_;
    void OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
};

} // namespace vrel
