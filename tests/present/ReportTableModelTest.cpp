#include "KvReportListView.h"
#include "ReportTableModel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vrel {
namespace {

using ::testing::ElementsAreArray;

// Rows of two cells: an address, then the order in which the row arrived.
std::vector<ReportRow> Batch(std::vector<std::string> addresses, int& arrived) {
    std::vector<ReportRow> rows;
    for (std::string& a : addresses)
        rows.push_back({{std::move(a), std::to_string(arrived++)}, {}});
    return rows;
}

std::vector<std::string> Column(const ReportTableModel& m, int column) {
    std::vector<std::string> texts;
    for (int r = 0; r < m.rowCount(); ++r)
        texts.push_back(m.Text(r, column).toStdString());
    return texts;
}

struct SortCase {
    const char* name;
    Qt::SortOrder order;
    std::vector<std::string> before, after; // arriving before and after the sort
    std::vector<std::string> arrival;       // the second column when all have arrived
};

void PrintTo(const SortCase& c, std::ostream* os) { *os << c.name; }

class ReportTableSortTest : public ::testing::TestWithParam<SortCase> {};

// Rows arriving in a sorted table take their places; equal cells keep their order of arrival.
TEST_P(ReportTableSortTest, LaterBatchesMergeIntoTheOrder) {
    const SortCase& c = GetParam();
    ReportTableModel model;
    model.SetColumnCount(2);
    int arrived = 0;
    model.Append(Batch(c.before, arrived));
    model.sort(0, c.order);
    model.Append(Batch(c.after, arrived));
    EXPECT_THAT(Column(model, 1), ElementsAreArray(c.arrival));
}

INSTANTIATE_TEST_SUITE_P(
    Orders, ReportTableSortTest,
    ::testing::Values(
        SortCase{"Ascending",
                 Qt::AscendingOrder,
                 {"10.0.0.10", "10.0.0.9", "10.0.0.100"},
                 {"10.0.0.20", "10.0.0.1", "10.0.0.9"},
                 {"4", "1", "5", "0", "3", "2"}},
        SortCase{"Descending",
                 Qt::DescendingOrder,
                 {"10.0.0.10", "10.0.0.9", "10.0.0.100"},
                 {"10.0.0.20", "10.0.0.1", "10.0.0.9"},
                 {"2", "3", "0", "1", "5", "4"}}),
    [](const auto& info) { return std::string(info.param.name); });

// The selected row stays selected, wherever a sort or a later batch moves it.
TEST(ReportTableModelTest, SelectionFollowsItsRow) {
    KvReportListView view;
    view.setHeaderLabels({"IP", "n"});
    int arrived = 0;
    view.Rows().Append(Batch({"10.0.0.3", "10.0.0.2"}, arrived));
    view.SelectRow(0);
    view.sortByColumn(0, Qt::AscendingOrder);
    ASSERT_EQ(view.Text(view.Selected(), 0), "10.0.0.3");
    view.Rows().Append(Batch({"10.0.0.1"}, arrived));
    EXPECT_EQ(view.Selected(), 2);
    EXPECT_EQ(view.Text(view.Selected(), 0), "10.0.0.3");
}

} // namespace
} // namespace vrel
