#include "MainWindowFixture.h"

#include "ErrorDisplay.h"

#include <QAbstractButton>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QSettings>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vrel::test {
namespace {

using ::testing::ElementsAre;

using MainWindowLayoutTest = MainWindowTest;

struct Placed {
    const char* name;
    QRect geometry; // within the parent
    const char* parent;
};

TEST_F(MainWindowLayoutTest, ControlsSitWhereTheyWereDesigned) {
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    EXPECT_EQ(W().objectName(), "TheVrel");
    EXPECT_EQ(W().windowTitle(), "VREL Configuration");
    // Wide enough for every column of the table.
    EXPECT_EQ(W().height(), 433);
    EXPECT_FALSE(W().LV_Vrel->horizontalScrollBar()->isVisible());
    const Placed controls[] = {
        {"ComboBox1", {4, 31, 65, 21}, "Panel1"},    {"BT_Discover", {8, 55, 57, 25}, "Panel1"},
        {"BT_Set", {8, 80, 57, 25}, "Panel1"},       {"BT_Test", {8, 107, 57, 25}, "Panel1"},
        {"BT_Close", {8, 135, 57, 25}, "Panel1"},    {"Label6", {8, 16, 43, 13}, "Panel1"},
        {"ED_Mac", {88, 8, 121, 21}, "Panel3"},      {"ED_Mod", {88, 32, 121, 21}, "Panel3"},
        {"ED_IP", {280, 8, 121, 21}, "Panel3"},      {"ED_Net", {280, 32, 121, 21}, "Panel3"},
        {"ED_Pass", {280, 56, 121, 21}, "Panel3"},
    };
    for (const Placed& c : controls) {
        auto* w = W().findChild<QWidget*>(c.name);
        ASSERT_NE(w, nullptr) << c.name;
        EXPECT_EQ(w->geometry(), c.geometry) << c.name;
        EXPECT_EQ(w->parentWidget()->objectName(), c.parent) << c.name;
    }
    const Placed labels[] = {{"Label2", {8, 8, 0, 0}, "Panel3"},
                             {"Label1", {8, 32, 0, 0}, "Panel3"},
                             {"Label3", {216, 8, 0, 0}, "Panel3"},
                             {"Label4", {216, 32, 0, 0}, "Panel3"},
                             {"Label5", {216, 56, 0, 0}, "Panel3"}};
    for (const Placed& c : labels) {
        auto* w = W().findChild<QLabel*>(c.name);
        ASSERT_NE(w, nullptr) << c.name;
        EXPECT_EQ(w->pos(), c.geometry.topLeft()) << c.name;
        EXPECT_EQ(w->parentWidget()->objectName(), c.parent) << c.name;
    }
    EXPECT_EQ(W().LV_Vrel->parentWidget(), W().Panel2);
    EXPECT_EQ(W().Memo_Info->parentWidget(), W().Panel3);
    EXPECT_EQ(W().Panel3->parentWidget(), W().Panel2);
}

TEST_F(MainWindowLayoutTest, CaptionsAndStates) {
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    const std::pair<const char*, const char*> captions[] = {
        {"BT_Discover", "Discover"}, {"BT_Set", "Set"},          {"BT_Test", "Test"},
        {"BT_Close", "Close"},       {"Label1", "Module Name"},  {"Label2", "MAC Address"},
        {"Label3", "IP Address"},    {"Label4", "NetMask"},      {"Label5", "Password"},
        {"Label6", "Available"},
    };
    for (const auto& [name, caption] : captions) {
        QWidget* w = W().findChild<QWidget*>(name);
        ASSERT_NE(w, nullptr) << name;
        const QString text = qobject_cast<QAbstractButton*>(w)
                                 ? qobject_cast<QAbstractButton*>(w)->text()
                                 : qobject_cast<QLabel*>(w)->text();
        EXPECT_EQ(text, caption) << name;
    }
    for (QWidget* hidden : {static_cast<QWidget*>(W().Label6), static_cast<QWidget*>(W().ComboBox1),
                            static_cast<QWidget*>(W().BT_Test)})
        EXPECT_FALSE(hidden->isVisible()) << hidden->objectName().toStdString();
    for (QWidget* shown : {static_cast<QWidget*>(W().BT_Discover),
                           static_cast<QWidget*>(W().BT_Set), static_cast<QWidget*>(W().BT_Close),
                           static_cast<QWidget*>(W().LV_Vrel), static_cast<QWidget*>(W().Memo_Info),
                           static_cast<QWidget*>(W().ED_Pass)})
        EXPECT_TRUE(shown->isVisible()) << shown->objectName().toStdString();
    EXPECT_FALSE(W().BT_Set->isEnabled());
    EXPECT_TRUE(W().BT_Discover->isEnabled());
    EXPECT_FALSE(W().ED_Mac->isEnabled());
    EXPECT_FALSE(W().ED_Mod->isEnabled());
    EXPECT_TRUE(W().ED_IP->isEnabled());
    EXPECT_TRUE(W().ED_Net->isEnabled());
    EXPECT_EQ(W().ED_Pass->echoMode(), QLineEdit::Normal);
    EXPECT_TRUE(W().Memo_Info->isReadOnly());
    EXPECT_FALSE(W().ComboBox1->isEditable());
    EXPECT_EQ(W().PopupMenu1->objectName(), "PopupMenu1");
    ASSERT_EQ(W().PopupMenu1->actions().size(), 1);
    EXPECT_EQ(W().PopupMenu1->actions()[0], W().Clear1);
    EXPECT_EQ(W().Clear1->objectName(), "Clear1");
    EXPECT_EQ(W().Clear1->text(), "Clear");
    EXPECT_EQ(W().Memo_Info->toPlainText(), "");
}

TEST_F(MainWindowLayoutTest, TabOrderOfTheEditArea) {
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    const std::vector<QWidget*> order{W().ED_IP, W().ED_Net, W().ED_Pass,
                                      W().ED_Mac, W().ED_Mod, W().Memo_Info};
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        EXPECT_EQ(order[i]->nextInFocusChain(), order[i + 1])
            << order[i]->objectName().toStdString();
    // The two disabled boxes are passed over by the Tab key.
    W().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&W()));
    W().ED_IP->setFocus();
    std::vector<std::string> visited;
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.push_back(QApplication::focusWidget()->objectName().toStdString());
    }
    EXPECT_THAT(visited, ElementsAre("ED_Net", "ED_Pass", "Memo_Info"));
}

TEST_F(MainWindowLayoutTest, DesignedTableColumns) {
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    const ReportListView& view = *W().LV_Vrel;
    ASSERT_EQ(view.columnCount(), 7);
    const char* const captions[] = {"",        "Module Name", "Mac Address", "IP Address",
                                    "NetMask", "Interface",   "Status"};
    const int widths[] = {1, 100, 100, 100, 100, 100, 110};
    for (int c = 0; c < 7; ++c) {
        EXPECT_EQ(view.model()->headerData(c, Qt::Horizontal).toString(), captions[c])
            << "column " << c;
        EXPECT_EQ(view.columnWidth(c), widths[c]) << "column " << c;
    }
    EXPECT_EQ(view.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(view.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(view.RowCount(), 0);
}

// The button panel keeps to the right edge and the edit area to the bottom at every size.
TEST_F(MainWindowLayoutTest, PanelsFollowTheWindowEdges) {
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    for (const QSize size : {QSize(488, 433), QSize(700, 520), QSize(520, 400)}) {
        W().resize(size);
        ASSERT_TRUE(QTest::qWaitFor([&] { return W().Panel1->x() == size.width() - 73; }, 2000))
            << size.width() << "x" << size.height();
        EXPECT_EQ(W().Panel1->geometry(), QRect(size.width() - 73, 0, 73, size.height()));
        EXPECT_EQ(W().Panel2->geometry(), QRect(0, 0, size.width() - 73, size.height()));
        const int panel3Top = size.height() - 135;
        EXPECT_EQ(W().Panel3->geometry(), QRect(0, panel3Top, size.width() - 73, 135));
        const int tableTop = W().ED_Filter->height();
        EXPECT_EQ(W().ED_Filter->geometry(), QRect(0, 0, size.width() - 73, tableTop));
        EXPECT_EQ(W().LV_Vrel->geometry(),
                  QRect(0, tableTop, size.width() - 73, panel3Top - tableTop));
        EXPECT_EQ(W().Memo_Info->geometry(), QRect(0, 135 - 53, size.width() - 73, 53));
        EXPECT_EQ(W().BT_Discover->geometry(), QRect(8, 55, 57, 25));
        EXPECT_EQ(W().ED_Pass->geometry(), QRect(280, 56, 121, 21));
    }
}

// Size and column widths come back in the next window.
TEST_F(MainWindowLayoutTest, RemembersSizeAndColumnWidths) {
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    W().resize(800, 500);
    W().LV_Vrel->setColumnWidth(TTheVrel::kStatusColumn, 170);
    ASSERT_TRUE(QTest::qWaitFor([&] { return W().width() == 800; }, 2000));
    W().close();
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    EXPECT_EQ(W().size(), QSize(800, 500));
    EXPECT_EQ(W().LV_Vrel->columnWidth(TTheVrel::kStatusColumn), 170);
    QSettings("vrel", "vrel-config").clear(); // later tests start from the defaults
}

TEST_F(MainWindowLayoutTest, ClearOfTheMemoPopupEmptiesTheMemo) {
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    W().DiscoverPresenter()->Log("line one");
    W().DiscoverPresenter()->Log("line two");
    ASSERT_EQ(MemoLines().size(), 2u);

    QWidget* viewport = W().Memo_Info->viewport();
    const QPoint at(20, 10);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &event);
    QMenu* menu = W().PopupMenu1;
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 2000));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(W().Clear1).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !menu->isVisible(); }, 2000));
    EXPECT_EQ(W().Memo_Info->toPlainText(), "");
}

struct IniCase {
    const char* name;
    const char* content; // null: no file
    std::vector<std::string> items;
};

void PrintTo(const IniCase& c, std::ostream* os) { *os << c.name; }

class IniFileTest : public MainWindowTest, public ::testing::WithParamInterface<IniCase> {};

TEST_P(IniFileTest, LinesBecomeComboItemsInFileOrder) {
    const IniCase& c = GetParam();
    if (c.content != nullptr) {
        QFile ini(dir_.filePath("Vrel.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(c.content);
    }
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    std::vector<std::string> items;
    for (int i = 0; i < W().ComboBox1->count(); ++i)
        items.push_back(W().ComboBox1->itemText(i).toStdString());
    EXPECT_EQ(items, c.items);
    EXPECT_EQ(W().ComboBox1->currentIndex(), c.items.empty() ? -1 : 0);
    EXPECT_EQ(W().IniLines().has_value(), c.content != nullptr);
    EXPECT_EQ(W().Memo_Info->toPlainText(), ""); // a missing file is not reported
}

INSTANTIATE_TEST_SUITE_P(
    Files, IniFileTest,
    ::testing::Values(
        IniCase{"Absent", nullptr, {}}, IniCase{"Empty", "", {}},
        // Lines are taken unchanged, blank ones and blanks inside included.
        IniCase{"ThreeLines", "10.0.0.0/24\r\nlab  bench\n\nlast", {"10.0.0.0/24", "lab  bench",
                                                                     "", "last"}},
        IniCase{"FinalLineEnd", "only\n", {"only"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A Vrel.ini that is there but cannot be read (a folder here, which even root cannot open as
// a file) is reported through the error display; the window still opens.
TEST_F(MainWindowLayoutTest, UnreadableIniIsReported) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir("Vrel.ini"));
    std::vector<std::string> shown;
    const ErrorDisplayFunction previous =
        SetErrorDisplay([&](const std::string& message) { shown.push_back(message); });
    OpenWindow();
    SetErrorDisplay(previous);
    EXPECT_EQ(shown, std::vector<std::string>{"(KvCommon) Fail to read data from file(Vrel.ini)!"});
    EXPECT_EQ(W().ComboBox1->count(), 0);
    EXPECT_FALSE(W().IniLines().has_value());
    EXPECT_TRUE(W().isVisible());
}

TEST_F(MainWindowLayoutTest, CloseButtonClosesAndReleasesTheIniLines) {
    QFile ini(dir_.filePath("Vrel.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("a\nb\n");
    ini.close();
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    ASSERT_TRUE(W().IniLines().has_value());
    Click(W().BT_Close);
    EXPECT_FALSE(W().isVisible());
    EXPECT_FALSE(W().IniLines().has_value());
}

} // namespace
} // namespace vrel::test
