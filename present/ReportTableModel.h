#pragma once

#include "RowSortKey.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QStringList>

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vrel {

// A report row: the cells as sent (Latin-1) and, for a device, its MAC. The cells share one
// text, each behind its length: fresh memory is what a burst costs most, so one block per row.
class ReportRow {
public:
    void AddCell(std::string_view text);
    std::size_t CellCount() const { return count_; }
    std::string_view Cell(std::size_t column) const; // empty past the last cell
    std::vector<std::string> Cells() const;
    // Replaces one cell; a row shorter than column gets empty cells up to it.
    void SetCell(std::size_t column, std::string_view text);

    std::string mac;

private:
    std::string texts_;
    std::size_t count_ = 0;
};

// A background and a tool tip; an invalid colour and an empty tip leave it plain.
struct RowMark {
    QColor background;
    QString toolTip;
};

// The rows of a report list view, appended a batch at a time. Rows keep their order of arrival
// until sort(); from then on every batch takes its place in that order.
class ReportTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

    void SetHeaders(const QStringList& captions); // rows keep their cells
    void Append(std::vector<ReportRow>&& rows);
    void Clear();
    // One mark per row, in row order; rows beyond the list lose their marks.
    void SetMarks(const std::vector<RowMark>& marks);

    // One cell's own mark, over the row's: a verdict in a status column.
    void SetCellMark(int row, int column, const RowMark& mark);
    // Replaces a cell's text; a sorted table keeps the row where it is until the next sort.
    void SetCell(int row, int column, std::string_view text);
    int RowOf(std::string_view mac) const; // of the device with this MAC address, or -1

    const ReportRow& Row(int row) const { return rows_[static_cast<std::size_t>(row)]; }
    QString Text(int row, int column) const;

private:
    const RowSortKey& KeyOf(std::size_t row);
    // Puts rows [sortedEnd, end) in their places among the rows before, which are in order.
    void Reorder(std::size_t sortedEnd);

    // A deque, as DeviceList is. Marks and keys only once there are any: most tables have none.
    std::deque<ReportRow> rows_;
    std::vector<RowMark> marks_;                  // up to the last marked row
    std::vector<QHash<int, RowMark>> cellMarks_;  // by column, up to the last row with one
    std::vector<std::optional<RowSortKey>> keys_; // of the sort column, made when first needed
    QStringList captions_;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

} // namespace vrel
