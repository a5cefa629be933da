#include "PresenterTestSupport.h"

#include "ReportListView.h"
#include "RowSortKey.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vrel::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

DeviceFields Numbered(int n, const std::string& ip = "") {
    char mac[13];
    std::snprintf(mac, sizeof mac, "02%010d", n);
    return {std::to_string(n), "SIM-" + std::to_string(n), mac,
            ip.empty() ? "10.0." + std::to_string(n / 256) + "." + std::to_string(n % 256) : ip,
            "255.255.0.0"};
}

class PresenterDeviceListTest : public ::testing::Test {
protected:
    PresenterDeviceListTest() {
        presenter.request.variables.assign(DiscoveryAnswer({}));
        presenter.AttachListView(&view);
        presenter.BeginCommand(kDiscover);
        presenter.SetLogTarget(&memo);
    }
    void Answer(const DeviceFields& d) {
        KvVRELVarList answer = DiscoveryAnswer(d);
        presenter.OnDiscoverDone(Completion(kDiscover), answer);
    }
    std::vector<std::string> Column(int c) {
        presenter.FlushRows();
        std::vector<std::string> texts;
        for (int r = 0; r < view.RowCount(); ++r)
            texts.push_back(view.Text(r, c).toStdString());
        return texts;
    }

    ReportListView view;
    QPlainTextEdit memo;
    KvVRELRequest2EditsRepeat presenter{nullptr};
};

// A new Discover clears the table, and the index with it; answers of the earlier Discover
// that still arrive join the new table once.
TEST_F(PresenterDeviceListTest, OneRowPerMacAcrossClearsAndOverlappingDiscovers) {
    const std::vector<std::pair<std::vector<int>, std::vector<std::string>>> steps = {
        {{1, 2, 1}, {"1", "2"}},
        {{2, 1, 2, 3, 1}, {"2", "1", "3"}}, // after a clear: the late answers of the first
        {{}, {}},
    };
    for (const auto& [answers, productCodes] : steps) {
        presenter.ClearRows();
        for (int n : answers)
            Answer(Numbered(n));
        EXPECT_EQ(Column(0), productCodes);
        EXPECT_EQ(presenter.Devices().Devices().size(), productCodes.size());
    }
}

TEST_F(PresenterDeviceListTest, BurstIsShownInBatchesInTheOrderOfFirstAnswers) {
    constexpr int kAnswers = 3000;
    for (int n = 1; n <= kAnswers; ++n)
        Answer(Numbered(n));
    // The socket handler returns long before every row is in the view.
    EXPECT_LT(view.RowCount(), kAnswers);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.RowCount() == kAnswers; }, 5000));
    for (int r = 0; r < kAnswers; r += 499) {
        const auto device = presenter.DeviceOf(r);
        ASSERT_TRUE(device) << "row " << r;
        EXPECT_EQ(device->productCode, std::to_string(r + 1));
    }
}

TEST_F(PresenterDeviceListTest, ConflictingAnswersWriteOneMemoLinePerMac) {
    Answer(Numbered(1, "10.0.0.1"));
    Answer(Numbered(1, "10.0.0.7"));
    Answer(Numbered(2, "10.0.0.2"));
    Answer(Numbered(1, "10.0.0.8"));
    Answer(Numbered(2, "10.0.0.2")); // a plain repeat
    Answer(Numbered(2, "10.0.0.9"));
    const QStringList lines = memo.toPlainText().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << memo.toPlainText().toStdString();
    EXPECT_THAT(lines[0].toStdString(), HasSubstr("020000000001 answered with different content "
                                                  "(listed: 10.0.0.1, also: 10.0.0.7)"));
    EXPECT_THAT(lines[1].toStdString(), HasSubstr("020000000002"));
    EXPECT_THAT(Column(3), ElementsAre("10.0.0.1", "10.0.0.2"));
}

TEST(RowSortKeyTest, NumbersAndAddressesByValueTextsByLetter) {
    const std::pair<const char*, const char*> ordered[] = {
        {"10.0.0.9", "10.0.0.10"}, {"9.255.255.255", "10.0.0.0"}, {"9", "10"}, {"65535", "a"},
        {"alpha", "Beta"},         {"10.0.0.1", "10.0.0.1x"},
    };
    for (const auto& [a, b] : ordered) {
        EXPECT_TRUE(RowSortKey(a) < RowSortKey(b)) << a << " < " << b;
        EXPECT_FALSE(RowSortKey(b) < RowSortKey(a)) << b << " < " << a;
    }
}

TEST_F(PresenterDeviceListTest, HeaderClickSortsAndLaterRowsFindTheirPlace) {
    for (const char* ip : {"10.0.0.10", "10.0.0.9", "10.0.0.100"})
        Answer(Numbered(static_cast<int>(view.RowCount()) + 1, ip));
    view.resize(500, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QHeaderView* header = view.header();
    const QPoint ipSection(header->sectionViewportPosition(3) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, ipSection);
    EXPECT_THAT(Column(3), ElementsAre("10.0.0.9", "10.0.0.10", "10.0.0.100"));
    Answer(Numbered(4, "10.0.0.20"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.RowCount() == 4; }, 2000));
    EXPECT_THAT(Column(3), ElementsAre("10.0.0.9", "10.0.0.10", "10.0.0.20", "10.0.0.100"));
}

TEST_F(PresenterDeviceListTest, CopyPutsTheSelectedRowOnTheClipboard) {
    Answer(Numbered(1));
    Answer(Numbered(2));
    view.setCurrentIndex(view.model()->index(1, 0));
    view.actions().front()->trigger(); // Copy
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              "2\tSIM-2\t020000000002\t10.0.0.2\t255.255.0.0\n");
}

} // namespace
} // namespace vrel::test
