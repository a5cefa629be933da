#include "PresenterTestSupport.h"

#include "ReportListView.h"

#include <QHeaderView>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

namespace vrel::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const DeviceFields kFirst{"4096", "SIM-1", "020000000001", "10.0.0.1", "255.255.255.0"};
const DeviceFields kSecond{"4097", "SIM-2", "020000000002", "10.0.0.2", "255.255.255.0"};

std::vector<std::string> Fields(const DeviceFields& d) {
    return {d.productCode, d.model, d.mac, d.ip, d.netmask};
}

std::vector<std::string> Captions(const ReportListView& view) {
    std::vector<std::string> captions;
    for (int c = 0; c < view.columnCount(); ++c)
        captions.push_back(view.model()->headerData(c, Qt::Horizontal).toString().toStdString());
    return captions;
}

std::vector<int> Widths(const ReportListView& view) {
    std::vector<int> widths;
    for (int c = 0; c < view.columnCount(); ++c)
        widths.push_back(view.columnWidth(c));
    return widths;
}

// The main window's table: a practically invisible caption column for the product code,
// then four titled columns.
void DesignColumns(ReportListView& view) {
    view.setHeaderLabels({"", "Module Name", "Mac Address", "IP Address", "NetMask"});
    const int widths[] = {1, 100, 100, 100, 100};
    for (int c = 0; c < 5; ++c) {
        view.header()->setSectionResizeMode(c, QHeaderView::Interactive);
        view.setColumnWidth(c, widths[c]);
    }
}

// The Discovery structure followed by a plain readable variable: a row has six columns.
const VariableDef kDiscoveryAndLocation[] = {
    {0, "Discovery", 0, kReadOnly, nullptr, &DiscoveryResponseVarList(), nullptr},
    {9, "Location", kDisplayStr, kReadOnly, nullptr, nullptr, nullptr},
    {0, nullptr, 0, 0, nullptr, nullptr, nullptr},
};

KvVRELVarList DiscoveryAndLocation(const DeviceFields& d, const std::string& location) {
    KvVRELVarList list(*KvVRELVarList::create_from_definitions(kDiscoveryAndLocation));
    list.at(0).responseVars->assign(*DiscoveryAnswer(d).at(0).responseVars);
    list.at(1).value = location;
    return list;
}

class PresenterRowsTest : public ::testing::Test {
protected:
    void Attach(const KvVRELVarList& variables) {
        presenter.request.variables.assign(variables);
        presenter.AttachListView(&view);
        presenter.BeginCommand(kDiscover);
    }
    void Answer(KvVRELVarList answer, std::uint8_t command = kDiscover, int code = 0) {
        presenter.OnDiscoverDone(Completion(command, code), answer);
    }

    ReportListView view;
    KvVRELRequest2EditsRepeat presenter{nullptr};
};

struct DuplicateCase {
    const char* name;
    bool withLocation; // a second variable turns the duplicate check off
    DeviceFields first;
    DeviceFields second;
    int rows;
};

void PrintTo(const DuplicateCase& c, std::ostream* os) { *os << c.name; }

class DuplicateMacTest : public PresenterRowsTest,
                         public ::testing::WithParamInterface<DuplicateCase> {};

TEST_P(DuplicateMacTest, OneRowPerMacTextAndTheFirstRowStays) {
    const DuplicateCase& c = GetParam();
    if (c.withLocation) {
        Attach(DiscoveryAndLocation(c.first, "hall"));
        Answer(DiscoveryAndLocation(c.first, "hall"));
        Answer(DiscoveryAndLocation(c.second, "roof"));
    } else {
        Attach(DiscoveryAnswer({}));
        Answer(DiscoveryAnswer(c.first));
        Answer(DiscoveryAnswer(c.second));
    }
    ASSERT_EQ(view.RowCount(), c.rows);
    std::vector<std::string> firstRow = Fields(c.first);
    if (c.withLocation)
        firstRow.push_back("hall");
    EXPECT_THAT(RowTexts(view, 0), ElementsAreArray(firstRow));
}

INSTANTIATE_TEST_SUITE_P(
    Discover, DuplicateMacTest,
    ::testing::Values(
        // Another model and address under the same MAC text: the second answer is dropped.
        DuplicateCase{"SameMac", false, kFirst,
                      {"4200", "OTHER", "020000000001", "10.9.9.9", "255.0.0.0"}, 1},
        DuplicateCase{"OtherMac", false, kFirst, kSecond, 2},
        // The texts are compared exactly: a MAC typed in lower case is another text.
        DuplicateCase{"MacCaseDiffers", false,
                      {"1", "A", "0200000000AB", "10.0.0.1", "255.255.255.0"},
                      {"1", "A", "0200000000ab", "10.0.0.1", "255.255.255.0"}, 2},
        // Only a list of the Discovery structure alone is checked for duplicates.
        DuplicateCase{"ListWithTwoVariables", true, kFirst, kFirst, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PresenterRowsTest, DuplicateCheckAppliesToEveryRowNotOnlyTheLast) {
    Attach(DiscoveryAnswer({}));
    Answer(DiscoveryAnswer(kFirst));
    Answer(DiscoveryAnswer(kSecond));
    Answer(DiscoveryAnswer(kFirst));
    EXPECT_EQ(view.RowCount(), 2);
}

TEST_F(PresenterRowsTest, RowHoldsProductCodeAsCaptionThenTheOtherFields) {
    Attach(DiscoveryAnswer({}));
    Answer(DiscoveryAnswer(kSecond));
    ASSERT_EQ(view.RowCount(), 1);
    EXPECT_EQ(view.Text(0, 0), "4097");
    EXPECT_THAT(RowTexts(view, 0), ElementsAreArray(Fields(kSecond)));
}

struct CodeCase {
    int code;
    int rows;
    int outstandingAfter;
};

void PrintTo(const CodeCase& c, std::ostream* os) { *os << "code " << c.code; }

class DiscoverCompletionTest : public PresenterRowsTest,
                               public ::testing::WithParamInterface<CodeCase> {};

// Only a good answer makes a row; only the end of the answer window ends the command.
TEST_P(DiscoverCompletionTest, CodeDecidesRowAndEnd) {
    Attach(DiscoveryAnswer({}));
    presenter.outstanding = 1;
    Answer(DiscoveryAnswer(kFirst), kDiscover, GetParam().code);
    EXPECT_EQ(view.RowCount(), GetParam().rows);
    EXPECT_EQ(presenter.outstanding, GetParam().outstandingAfter);
    presenter.outstanding = 0;
}

INSTANTIATE_TEST_SUITE_P(Codes, DiscoverCompletionTest,
                         ::testing::Values(CodeCase{0, 1, 1}, CodeCase{-1011, 0, 1},
                                           CodeCase{-1013, 0, 1}, CodeCase{-1014, 0, 0}),
                         [](const auto& info) { return "Code" + std::to_string(-info.param.code); });

// ---------------------------------------------------------------------------
// Columns

const std::vector<std::string> kDiscoveryTitles{"Product Code", "Model Name", "Mac Address",
                                                "IP Address", "Netmask"};

TEST_F(PresenterRowsTest, DesignedFiveColumnsAreKept) {
    DesignColumns(view);
    Attach(DiscoveryAnswer({}));
    EXPECT_THAT(Captions(view), ElementsAre("", "Module Name", "Mac Address", "IP Address",
                                            "NetMask"));
    EXPECT_THAT(Widths(view), ElementsAre(1, 100, 100, 100, 100));
}

TEST_F(PresenterRowsTest, MoreColumnsThanValuesAreKept) {
    view.setHeaderLabels({"a", "b", "c", "d", "e", "f"});
    Attach(DiscoveryAnswer({}));
    EXPECT_THAT(Captions(view), ElementsAre("a", "b", "c", "d", "e", "f"));
}

struct ColumnCase {
    const char* name;
    QStringList before; // empty: the view as constructed
};

void PrintTo(const ColumnCase& c, std::ostream* os) { *os << c.name; }

class BuildColumnsTest : public PresenterRowsTest,
                         public ::testing::WithParamInterface<ColumnCase> {};

// A row already shown stays, with its texts: the repeating presenter keeps rows across commands.
TEST_P(BuildColumnsTest, TooFewColumnsAreReplacedByTheVariableNames) {
    const QStringList& before = GetParam().before;
    if (!before.isEmpty()) {
        view.setHeaderLabels(before);
        ReportRow row;
        for (const QString& text : before)
            row.AddCell(text.toStdString());
        view.Rows().Append({row});
    }
    Attach(DiscoveryAnswer({}));
    EXPECT_THAT(Captions(view), ElementsAreArray(kDiscoveryTitles));
    ASSERT_EQ(view.RowCount(), before.isEmpty() ? 0 : 1);
    for (int c = 0; c < before.size(); ++c)
        EXPECT_EQ(view.Text(0, c), before[c]);
    for (int c = 0; c < view.columnCount(); ++c) {
        const QString title = QString::fromStdString(kDiscoveryTitles[std::size_t(c)]);
        EXPECT_EQ(view.columnWidth(c), view.fontMetrics().horizontalAdvance(title + "LR"))
            << "column " << c;
        EXPECT_EQ(view.header()->sectionResizeMode(c), QHeaderView::Interactive);
    }
}

INSTANTIATE_TEST_SUITE_P(Views, BuildColumnsTest,
                         ::testing::Values(ColumnCase{"NewView", {}},
                                           ColumnCase{"ThreeColumns", {"x", "y", "z"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PresenterRowsTest, ColumnsFollowStructuredThenPlainVariables) {
    Attach(DiscoveryAndLocation({}, ""));
    std::vector<std::string> titles = kDiscoveryTitles;
    titles.push_back("Location");
    EXPECT_THAT(Captions(view), ElementsAreArray(titles));
}

// A new command clears the rows of the plain presenter and keeps those of the repeating one.
TEST(PresenterBeginCommandTest, PlainClearsRowsRepeatKeepsThem) {
    ReportListView plainView, repeatView;
    DesignColumns(plainView);
    DesignColumns(repeatView);
    KvVRELRequest2Edits plain(nullptr);
    KvVRELRequest2EditsRepeat repeat(nullptr);
    struct Target {
        KvVRELRequest2Edits& presenter;
        ReportListView& view;
        int rowsAfter;
    };
    for (const Target& t : {Target{plain, plainView, 0}, Target{repeat, repeatView, 1}}) {
        t.presenter.request.variables.assign(DiscoveryAnswer({}));
        t.presenter.AttachListView(&t.view);
        KvVRELVarList answer = DiscoveryAnswer(kFirst);
        t.presenter.OnDiscoverDone(Completion(kDiscover), answer);
        ASSERT_EQ(t.view.RowCount(), 1);
        t.presenter.BeginCommand(kDiscover);
        EXPECT_EQ(t.view.RowCount(), t.rowsAfter);
        t.presenter.ClearRows();
        EXPECT_EQ(t.view.RowCount(), 0);
    }
}

TEST(PresenterAttachTest, ViewBecomesReadOnlyWholeRowSelection) {
    ReportListView view;
    view.setEditTriggers(QAbstractItemView::AllEditTriggers);
    view.setSelectionBehavior(QAbstractItemView::SelectItems);
    KvVRELRequest2Edits presenter(nullptr);
    presenter.AttachListView(&view);
    EXPECT_EQ(view.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(view.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(presenter.listView.data(), &view);
}

// ---------------------------------------------------------------------------
// Selection

struct SelectCall {
    QObject* sender;
    int row;
    bool selected;
    bool operator==(const SelectCall&) const = default;
};

void PrintTo(const SelectCall& c, std::ostream* os) {
    *os << "{" << c.sender << ", " << c.row << ", " << (c.selected ? "selected" : "deselected")
        << "}";
}

class PresenterSelectTest : public PresenterRowsTest {
protected:
    void SetUp() override {
        view.resize(500, 300);
        view.OnSelectItem = [this](QObject* sender, int row, bool selected) {
            calls.push_back({sender, row, selected});
        };
    }

    void Show() {
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    void Click(int row) {
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                          view.visualRect(view.model()->index(row, 0)).center());
    }
    void ClickEmptyArea() {
        const QPoint below(20, view.viewport()->height() - 5);
        ASSERT_FALSE(view.indexAt(below).isValid());
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, below);
    }

    std::vector<SelectCall> calls;
};

TEST_F(PresenterSelectTest, AttachChainsToThePreviousHandler) {
    Attach(DiscoveryAnswer({}));
    ASSERT_TRUE(presenter.previousSelectHandler);
    Answer(DiscoveryAnswer(kFirst));
    Answer(DiscoveryAnswer(kSecond));
    ASSERT_NO_FATAL_FAILURE(Show());
    const int first = 0;
    const int second = 1;

    Click(first);
    Click(second);
    ASSERT_NO_FATAL_FAILURE(ClickEmptyArea());
    EXPECT_THAT(calls, ElementsAre(SelectCall{&view, first, true}, SelectCall{&view, first, false},
                                   SelectCall{&view, second, true},
                                   SelectCall{&view, second, false}));
}

// The values of a structured variable stay those of the last answer: a row is not read back.
TEST_F(PresenterSelectTest, SelectingARowOfTheStructureAloneChangesNoValue) {
    Attach(DiscoveryAnswer({}));
    Answer(DiscoveryAnswer(kFirst));
    Answer(DiscoveryAnswer(kSecond));
    ASSERT_NO_FATAL_FAILURE(Show());
    const KvVRELVarList before(presenter.request.variables);

    Click(0);
    ASSERT_EQ(view.Selected(), 0);
    const KvVRELResponseVarList& fields = *presenter.request.variables.at(0).responseVars;
    ASSERT_EQ(fields.count(), 5);
    for (int i = 0; i < fields.count(); ++i)
        EXPECT_EQ(fields.at(i).value, before.at(0).responseVars->at(i).value) << "field " << i;
    EXPECT_EQ(presenter.request.variables.at(0).value, before.at(0).value);
}

// A plain readable variable takes the text of its column from the selected row; deselection
// leaves it as it is.
TEST_F(PresenterSelectTest, SelectionReadsPlainVariablesDeselectionReadsNothing) {
    Attach(DiscoveryAndLocation({}, ""));
    Answer(DiscoveryAndLocation(kFirst, "hall"));
    Answer(DiscoveryAndLocation(kSecond, "roof"));
    ASSERT_NO_FATAL_FAILURE(Show());
    KvVRELVarList& vars = presenter.request.variables;
    ASSERT_EQ(vars.at(1).value, "roof");

    Click(0);
    EXPECT_EQ(vars.at(1).value, "hall");
    EXPECT_EQ(vars.at(0).responseVars->at(1).value, "SIM-2");

    vars.at(1).value = "edited";
    ASSERT_NO_FATAL_FAILURE(ClickEmptyArea());
    EXPECT_EQ(vars.at(1).value, "edited");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls.back(), (SelectCall{&view, 0, false}));
}

TEST_F(PresenterSelectTest, WithoutPreviousHandlerSelectionStillWorks) {
    view.OnSelectItem = nullptr;
    Attach(DiscoveryAndLocation({}, ""));
    EXPECT_FALSE(presenter.previousSelectHandler);
    Answer(DiscoveryAndLocation(kFirst, "hall"));
    Answer(DiscoveryAndLocation(kSecond, "roof"));
    ASSERT_NO_FATAL_FAILURE(Show());
    Click(0);
    EXPECT_EQ(presenter.request.variables.at(1).value, "hall");
}

// The presenter gives the view its old handler back when it goes first.
TEST_F(PresenterSelectTest, DestroyedPresenterRestoresThePreviousHandler) {
    auto own = std::make_unique<KvVRELRequest2Edits>(nullptr);
    own->request.variables.assign(DiscoveryAnswer({}));
    own->AttachListView(&view);
    KvVRELVarList answer = DiscoveryAnswer(kFirst);
    own->OnDiscoverDone(Completion(kDiscover), answer);
    own.reset();
    ASSERT_NO_FATAL_FAILURE(Show());
    Click(0);
    EXPECT_THAT(calls, ElementsAre(SelectCall{&view, 0, true}));
}

} // namespace
} // namespace vrel::test
