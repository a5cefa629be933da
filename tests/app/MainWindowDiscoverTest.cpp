#include "MainWindowFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

namespace vrel::test {
namespace {

using ::testing::ElementsAre;

using MainWindowDiscoverTest = MainWindowTest;

std::vector<std::string> RowTexts(const ReportListView& view, int row) {
    return view.Rows().Row(row).Cells();
}

TEST_F(MainWindowDiscoverTest, TwoQuickDiscoversShowEachDeviceOnce) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    Click(W().BT_Discover);
    Click(W().BT_Discover);
    // Both requests were answered by all five devices and every answer has arrived.
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim_->Stderr().count(": 5 answers") == 2; }, 3000))
        << sim_->Stderr().toStdString();
    QTest::qWait(400);
    ASSERT_EQ(W().LV_Vrel->RowCount(), 5);
    std::set<QString> macs;
    for (int r = 0; r < 5; ++r)
        macs.insert(W().LV_Vrel->Text(r, 2));
    EXPECT_EQ(macs.size(), 5u);

    // Rows fill the designed columns, which stay as they were.
    ASSERT_NE(Row("020000000003"), -1);
    EXPECT_THAT(RowTexts(*W().LV_Vrel, Row("020000000003")),
                ElementsAre("4098", "SIM-3", "020000000003", "10.0.0.3", "255.255.255.0", "lo"));
    ASSERT_EQ(W().LV_Vrel->columnCount(), 7); // the last, Status, fills in after a Set
    EXPECT_EQ(W().LV_Vrel->model()->headerData(1, Qt::Horizontal).toString(), "Module Name");
    EXPECT_EQ(W().LV_Vrel->model()->headerData(4, Qt::Horizontal).toString(), "NetMask");
    EXPECT_EQ(W().LV_Vrel->columnWidth(0), 1);
    EXPECT_EQ(W().Memo_Info->toPlainText(), ""); // Discover results are not logged
}

// Two devices answering with one address are highlighted, the tooltip naming the conflict.
TEST_F(MainWindowDiscoverTest, SharedAddressRowsAreMarked) {
    QFile devices(dir_.filePath("devices.csv"));
    ASSERT_TRUE(devices.open(QIODevice::WriteOnly | QIODevice::Truncate));
    devices.write("productCode,modelName,macAddress,ipAddress,netmask,password\n"
                  "1,A,020000000001,192.168.0.250,255.255.255.0,\n"
                  "2,B,020000000002,192.168.0.250,255.255.255.0,\n"
                  "3,C,020000000003,192.168.0.3,255.255.255.0,\n");
    devices.close();
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    ASSERT_NO_FATAL_FAILURE(Discover(3));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !Cell("020000000002", 3, Qt::ToolTipRole).toString().isEmpty(); }, 2000));
    for (const char* mac : {"020000000001", "020000000002"}) {
        EXPECT_EQ(Cell(mac, 1, Qt::ToolTipRole).toString(), "IP address used by 2 devices") << mac;
        EXPECT_NE(Cell(mac, 3, Qt::BackgroundRole).value<QBrush>(), QBrush()) << mac;
    }
    EXPECT_EQ(Cell("020000000003", 1, Qt::ToolTipRole).toString(), "");
    EXPECT_EQ(Cell("020000000003", 3, Qt::BackgroundRole).value<QBrush>(), QBrush());
}

TEST_F(MainWindowDiscoverTest, TableClicksFillAndEmptyTheAddressBoxes) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    ASSERT_NO_FATAL_FAILURE(Discover());
    ASSERT_NO_FATAL_FAILURE(Retype(W().ED_Pass, "pw"));

    ASSERT_NO_FATAL_FAILURE(ClickRow("020000000002"));
    EXPECT_EQ(W().ED_Mod->text(), "SIM-2");
    EXPECT_EQ(W().ED_Mac->text(), "020000000002");
    EXPECT_EQ(W().ED_IP->text(), "10.0.0.2");
    EXPECT_EQ(W().ED_Net->text(), "255.255.255.0");
    EXPECT_TRUE(W().BT_Set->isEnabled());
    EXPECT_EQ(W().ED_Pass->text(), "pw");

    ASSERT_NO_FATAL_FAILURE(ClickRow("020000000005"));
    EXPECT_EQ(W().ED_Mod->text(), "SIM-5");
    EXPECT_EQ(W().ED_IP->text(), "10.0.0.5");

    ASSERT_NO_FATAL_FAILURE(ClickEmptyArea());
    EXPECT_EQ(W().LV_Vrel->Selected(), -1);
    for (QLineEdit* edit : {W().ED_Mod, W().ED_Mac, W().ED_IP, W().ED_Net})
        EXPECT_EQ(edit->text(), "") << edit->objectName().toStdString();
    EXPECT_FALSE(W().BT_Set->isEnabled());
    EXPECT_EQ(W().ED_Pass->text(), "pw");

    // A new Discover empties the table at once and leaves the boxes and Set as they were.
    ASSERT_NO_FATAL_FAILURE(ClickRow("020000000001"));
    Click(W().BT_Discover);
    EXPECT_EQ(W().LV_Vrel->RowCount(), 0);
    EXPECT_EQ(W().ED_Mac->text(), "020000000001");
    EXPECT_EQ(W().ED_Mod->text(), "SIM-1");
    EXPECT_EQ(W().ED_IP->text(), "10.0.0.1");
    EXPECT_EQ(W().ED_Net->text(), "255.255.255.0");
    EXPECT_TRUE(W().BT_Set->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return W().LV_Vrel->RowCount() == 5; }, 3000));
    EXPECT_EQ(W().ED_Mac->text(), "020000000001");
    EXPECT_TRUE(W().BT_Set->isEnabled());
}

TEST_F(MainWindowDiscoverTest, StatusLineFollowsTheDiscover) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    EXPECT_EQ(W().LB_Status->text(), "");
    Click(W().BT_Discover);
    // The line follows the rows on the next turn of the event loop.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return W().LB_Status->text() == "Discovering... 5 found"; }, 3000))
        << W().LB_Status->text().toStdString();
    // The answer window is 7 s.
    ASSERT_TRUE(QTest::qWaitFor([&] { return W().DiscoverPresenter()->outstanding == 0; }, 9000));
    EXPECT_TRUE(W().LB_Status->text().startsWith("Discover ended "))
        << W().LB_Status->text().toStdString();
    EXPECT_TRUE(W().LB_Status->text().endsWith(": 5 found")) << W().LB_Status->text().toStdString();
}

// Closing the window ends the clients it owns; a Discover still in its answer window is
// dropped by the shared client after its 6 s drain, and nothing waits on top of that.
TEST_F(MainWindowDiscoverTest, ClosingWithDiscoverInFlightTakesOneDrain) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    ASSERT_NO_FATAL_FAILURE(Discover());
    ASSERT_EQ(W().DiscoverPresenter()->outstanding, 1);
    Click(W().BT_Close);
    QElapsedTimer clock;
    clock.start();
    window_.reset();
    EXPECT_LT(clock.elapsed(), 6800);
}

// F5 discovers; the filter shows only rows with its text in some cell, the assign dialog takes
// only the selected rows shown, and rows that come later are filtered as well.
TEST_F(MainWindowDiscoverTest, F5DiscoversAndTheFilterNarrowsTheRows) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    QTest::keyClick(&W(), Qt::Key_F5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return W().LV_Vrel->RowCount() == 5; }, 3000));
    struct Case {
        const char* filter;
        int shown;
    };
    for (const Case& c : {Case{"sim-3", 1}, Case{"10.0.0.", 5}, Case{"020000000004", 1},
                          Case{"nowhere", 0}, Case{"", 5}}) {
        SCOPED_TRACE(c.filter);
        W().ED_Filter->setText(c.filter);
        int shown = 0;
        for (int r = 0; r < W().LV_Vrel->RowCount(); ++r)
            shown += W().LV_Vrel->isRowHidden(r, {}) ? 0 : 1;
        EXPECT_EQ(shown, c.shown);
        W().LV_Vrel->selectAll();
        EXPECT_EQ(static_cast<int>(W().SelectedDevices().size()), c.shown);
    }
    W().ED_Filter->setText("SIM-5");
    ASSERT_NO_FATAL_FAILURE(Discover());
    int shown = 0;
    for (int r = 0; r < W().LV_Vrel->RowCount(); ++r)
        shown += W().LV_Vrel->isRowHidden(r, {}) ? 0 : 1;
    EXPECT_EQ(shown, 1);
}

// Enter in the password box sets the device the boxes show.
TEST_F(MainWindowDiscoverTest, EnterInThePasswordBoxSets) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    ASSERT_NO_FATAL_FAILURE(Discover());
    ASSERT_NO_FATAL_FAILURE(ClickRow("020000000005"));
    ASSERT_NO_FATAL_FAILURE(Retype(W().ED_IP, "10.0.0.55"));
    QTest::keyClick(W().ED_Pass, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return sim_->Stderr().contains("Set #0 to 020000000005: ok"); }, 3000));
}

} // namespace
} // namespace vrel::test
