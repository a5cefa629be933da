#include "ReportTableModel.h"
#include "ReportListView.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vrel {
namespace {

using ::testing::ElementsAreArray;

// Rows of two cells: an address, then the order in which the row arrived.
std::vector<ReportRow> Batch(const std::vector<std::string>& addresses, int& arrived) {
    std::vector<ReportRow> rows;
    for (const std::string& a : addresses) {
        ReportRow& row = rows.emplace_back();
        row.AddCell(a);
        row.AddCell(std::to_string(arrived++));
    }
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

void PrintTo(const SortCase& c, std::ostream* os) {
    *os << c.name;
}

class ReportTableSortTest : public ::testing::TestWithParam<SortCase> {};

// Rows arriving in a sorted table take their places; equal cells keep their order of arrival.
TEST_P(ReportTableSortTest, LaterBatchesMergeIntoTheOrder) {
    const SortCase& c = GetParam();
    ReportTableModel model;
    model.SetHeaders({"1", "2"});
    int arrived = 0;
    model.Append(Batch(c.before, arrived));
    model.sort(0, c.order);
    model.Append(Batch(c.after, arrived));
    EXPECT_THAT(Column(model, 1), ElementsAreArray(c.arrival));
}

INSTANTIATE_TEST_SUITE_P(Orders, ReportTableSortTest,
                         ::testing::Values(SortCase{"Ascending",
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
    ReportListView view;
    view.setHeaderLabels({"IP", "n"});
    int arrived = 0;
    view.Rows().Append(Batch({"10.0.0.3", "10.0.0.2"}, arrived));
    view.setCurrentIndex(view.model()->index(0, 0));
    view.sortByColumn(0, Qt::AscendingOrder);
    ASSERT_EQ(view.Text(view.Selected(), 0), "10.0.0.3");
    view.Rows().Append(Batch({"10.0.0.1"}, arrived));
    EXPECT_EQ(view.Selected(), 2);
    EXPECT_EQ(view.Text(view.Selected(), 0), "10.0.0.3");
}

// A row's mark (a conflict's colour and tip) stays with the row through a sort and a later
// batch; rows past the marks given stay plain.
TEST(ReportTableModelTest, MarksFollowTheirRows) {
    ReportTableModel model;
    model.SetHeaders({"1", "2"});
    int arrived = 0;
    model.Append(Batch({"10.0.0.3", "10.0.0.2", "10.0.0.4"}, arrived));
    model.SetMarks({{Qt::red, "shared"}, {}});
    model.sort(0, Qt::DescendingOrder);
    model.Append(Batch({"10.0.0.5", "10.0.0.1"}, arrived));
    std::vector<std::string> tips;
    for (int r = 0; r < model.rowCount(); ++r)
        tips.push_back(model.data(model.index(r, 1), Qt::ToolTipRole).toString().toStdString());
    EXPECT_THAT(Column(model, 0),
                ElementsAreArray({"10.0.0.5", "10.0.0.4", "10.0.0.3", "10.0.0.2", "10.0.0.1"}));
    EXPECT_THAT(tips, ElementsAreArray({"", "", "shared", "", ""}));
}

// A row whose address changed sorts by the new one; its own cell mark goes with it and covers
// only its column, over the row's mark.
TEST(ReportTableModelTest, ChangedCellsSortByTheNewTextAndCellMarksFollowTheirRows) {
    ReportTableModel model;
    model.SetHeaders({"1", "2", "3"});
    int arrived = 0;
    model.Append(Batch({"10.0.0.3", "10.0.0.2", "10.0.0.4"}, arrived));
    model.sort(0, Qt::AscendingOrder);
    model.SetMarks({{Qt::red, "shared"}, {Qt::red, "shared"}, {Qt::red, "shared"}});
    const int row = 0; // 10.0.0.2, arrived second
    model.SetCell(row, 0, "10.0.0.9");
    model.SetCell(row, 2, "verified");
    model.SetCellMark(row, 2, {Qt::green, "verified, answers"});
    model.sort(0, Qt::AscendingOrder);
    EXPECT_THAT(Column(model, 0), ElementsAreArray({"10.0.0.3", "10.0.0.4", "10.0.0.9"}));
    EXPECT_THAT(Column(model, 1), ElementsAreArray({"0", "2", "1"}));
    EXPECT_THAT(Column(model, 2), ElementsAreArray({"", "", "verified"}));
    const auto tip = [&](int r, int c) {
        return model.data(model.index(r, c), Qt::ToolTipRole).toString().toStdString();
    };
    EXPECT_EQ(tip(2, 2), "verified, answers");
    EXPECT_EQ(tip(2, 1), "shared");
    EXPECT_EQ(tip(0, 2), "shared");
}

// Cells share one text: each keeps its own bytes, empty and NUL-holding cells included.
TEST(ReportTableModelTest, RowCellsKeepTheirBytes) {
    const std::vector<std::string> cells = {"", std::string("a\0b", 3), std::string(70000, 'x'),
                                            "10.0.0.1"};
    ReportRow row;
    for (const std::string& c : cells)
        row.AddCell(c);
    EXPECT_EQ(row.Cells(), cells);
    EXPECT_EQ(row.Cell(cells.size()), "");
}

} // namespace
} // namespace vrel
