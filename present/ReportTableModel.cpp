#include "ReportTableModel.h"

#include "Device.h"
#include "PackedText.h"

#include <QBrush>

#include <algorithm>
#include <numeric>

namespace vrel {

void ReportRow::AddCell(std::string_view text) {
    const std::size_t end = texts_.size();
    texts_.resize(end + PackedSize(text));
    PackText(texts_.data() + end, text);
    ++count_;
}

std::string_view ReportRow::Cell(std::size_t column) const {
    const char* at = texts_.data();
    for (std::size_t c = 0; c < count_; ++c) {
        const std::string_view cell = UnpackText(at);
        if (c == column)
            return cell;
    }
    return {};
}

std::vector<std::string> ReportRow::Cells() const {
    std::vector<std::string> cells;
    for (std::size_t c = 0; c < count_; ++c)
        cells.emplace_back(Cell(c));
    return cells;
}

void ReportRow::SetCell(std::size_t column, std::string_view text) {
    ReportRow changed;
    for (std::size_t c = 0; c < std::max(count_, column + 1); ++c)
        changed.AddCell(c == column ? text : Cell(c));
    texts_ = std::move(changed.texts_);
    count_ = changed.count_;
}

int ReportTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ReportTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(captions_.size());
}

QString ReportTableModel::Text(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0)
        return {};
    return QString::fromLatin1(Row(row).Cell(static_cast<std::size_t>(column)));
}

QVariant ReportTableModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    static const RowMark kUnmarked;
    const auto r = static_cast<std::size_t>(index.row());
    const RowMark* mark = r < marks_.size() ? &marks_[r] : &kUnmarked;
    if (r < cellMarks_.size()) {
        if (const auto at = cellMarks_[r].constFind(index.column()); at != cellMarks_[r].cend())
            mark = &*at; // a cell's own mark wins over its row's
    }
    switch (role) {
    case Qt::DisplayRole:
        return Text(index.row(), index.column());
    case Qt::ToolTipRole:
        return mark->toolTip.isEmpty() ? QVariant() : QVariant(mark->toolTip);
    case Qt::BackgroundRole:
        return mark->background.isValid() ? QVariant(QBrush(mark->background)) : QVariant();
    default:
        return {};
    }
}

QVariant ReportTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= captions_.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    return captions_[section];
}

void ReportTableModel::SetHeaders(const QStringList& captions) {
    beginResetModel();
    captions_ = captions;
    endResetModel();
}

void ReportTableModel::Append(std::vector<ReportRow>&& rows) {
    if (rows.empty())
        return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    std::ranges::move(rows, std::back_inserter(rows_));
    endInsertRows();
    if (sortColumn_ >= 0)
        Reorder(static_cast<std::size_t>(first));
}

void ReportTableModel::Clear() {
    if (rows_.empty())
        return;
    beginResetModel();
    rows_.clear();
    marks_.clear();
    cellMarks_.clear();
    keys_.clear();
    endResetModel();
}

void ReportTableModel::SetMarks(const std::vector<RowMark>& marks) {
    if (rows_.empty())
        return;
    marks_ = marks;
    marks_.resize(std::min(marks_.size(), rows_.size()));
    emit dataChanged(index(0, 0), index(rowCount() - 1, std::max(0, columnCount() - 1)),
                     {Qt::ToolTipRole, Qt::BackgroundRole});
}

void ReportTableModel::SetCellMark(int row, int column, const RowMark& mark) {
    if (row < 0 || row >= rowCount())
        return;
    const auto r = static_cast<std::size_t>(row);
    if (cellMarks_.size() <= r)
        cellMarks_.resize(r + 1);
    cellMarks_[r].insert(column, mark);
    emit dataChanged(index(row, column), index(row, column), {Qt::ToolTipRole, Qt::BackgroundRole});
}

void ReportTableModel::SetCell(int row, int column, std::string_view text) {
    if (row < 0 || row >= rowCount() || column < 0)
        return;
    const auto r = static_cast<std::size_t>(row);
    rows_[r].SetCell(static_cast<std::size_t>(column), text);
    if (r < keys_.size())
        keys_[r].reset();
    emit dataChanged(index(row, column), index(row, column), {Qt::DisplayRole});
}

int ReportTableModel::RowOf(std::string_view mac) const {
    const auto at = std::ranges::find_if(rows_, [key = MacKey(mac)](const ReportRow& r) {
        return !r.mac.empty() && MacKey(r.mac) == key;
    });
    return at == rows_.end() ? -1 : static_cast<int>(at - rows_.begin());
}

void ReportTableModel::sort(int column, Qt::SortOrder order) {
    if (column < 0)
        return;
    if (column != sortColumn_)
        keys_.clear();
    sortColumn_ = column;
    sortOrder_ = order;
    Reorder(0);
}

namespace {

// order[new position] = old position; past the end of from (keys not made yet): empty.
template <class Container> Container Permuted(Container&& from, const std::vector<int>& order) {
    Container to;
    for (const int old : order) {
        const auto at = static_cast<std::size_t>(old);
        to.push_back(at < from.size() ? std::move(from[at]) : typename Container::value_type{});
    }
    return to;
}

} // namespace

const RowSortKey& ReportTableModel::KeyOf(std::size_t row) {
    if (keys_.size() < rows_.size())
        keys_.resize(rows_.size());
    std::optional<RowSortKey>& key = keys_[row];
    if (!key)
        key.emplace(Text(static_cast<int>(row), sortColumn_));
    return *key;
}

// Stable: equal rows keep their order of arrival. A batch arriving in a sorted table is sorted
// alone and merged in, so a burst costs a merge per batch, not a sort of the whole table.
void ReportTableModel::Reorder(std::size_t sortedEnd) {
    std::vector<int> order(rows_.size()); // order[new position] = old position
    std::iota(order.begin(), order.end(), 0);
    const bool ascending = sortOrder_ == Qt::AscendingOrder;
    auto less = [&](int a, int b) {
        const RowSortKey& ka = KeyOf(static_cast<std::size_t>(a));
        const RowSortKey& kb = KeyOf(static_cast<std::size_t>(b));
        return ascending ? ka < kb : kb < ka;
    };
    const auto middle = order.begin() + static_cast<std::ptrdiff_t>(sortedEnd);
    std::stable_sort(middle, order.end(), less);
    std::inplace_merge(order.begin(), middle, order.end(), less);
    if (std::is_sorted(order.begin(), order.end()))
        return;

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newPosition(order.size());
    for (std::size_t n = 0; n < order.size(); ++n)
        newPosition[static_cast<std::size_t>(order[n])] = static_cast<int>(n);
    rows_ = Permuted(std::move(rows_), order);
    keys_ = Permuted(std::move(keys_), order);
    if (!marks_.empty())
        marks_ = Permuted(std::move(marks_), order);
    if (!cellMarks_.empty())
        cellMarks_ = Permuted(std::move(cellMarks_), order);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before)
        after << index(newPosition[static_cast<std::size_t>(old.row())], old.column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace vrel
