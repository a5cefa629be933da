#include "MainWindowFixture.h"

#include "Journal.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

namespace vrel::test {
namespace {

using ::testing::HasSubstr;

constexpr int kSiteSize = 20;

QString SiteMac(int i) {
    return QString("0200000001%1").arg(i + 1, 2, 10, QChar('0'));
}

// The n-th address of the range the tests assign, counting from 0.
QString NewIp(int i) {
    return QString("10.0.0.%1").arg(10 + i);
}

// A site of factory-fresh devices, all at one default address, as they leave the factory.
class MainWindowCommissionTest : public MainWindowTest {
protected:
    void StartSite(const QStringList& faults = {}) {
        QFile file(dir_.filePath("site.csv"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("productCode,modelName,macAddress,ipAddress,netmask,password\n");
        for (int i = 0; i < kSiteSize; ++i)
            file.write(QString("4096,SITE,%1,192.168.0.100,255.255.255.0,pw\n")
                           .arg(SiteMac(i))
                           .toLatin1());
        file.close();
        sim_ = std::make_unique<SimProcess>(
            QStringList{"--device-file", file.fileName(), "--spread", "100", "--seed", "7"} +
            faults);
        ASSERT_TRUE(sim_->WaitReady()) << sim_->Stderr().toStdString();
        ASSERT_NO_FATAL_FAILURE(OpenWindow());
        ASSERT_NO_FATAL_FAILURE(Discover(kSiteSize));
    }

    // Every row selected, Assign..., the range from 10.0.0.10.
    CommissionDialog& AssignAll() {
        W().LV_Vrel->selectAll();
        Click(W().BT_Assign);
        CommissionDialog* dialog = W().Commission();
        EXPECT_NE(dialog, nullptr);
        dialog->ED_First->setText("10.0.0.10");
        dialog->ED_Password->setText("pw");
        return *dialog;
    }

    int SetsSent() { return sim_->Stderr().count("Set #"); }
};

TEST_F(MainWindowCommissionTest, AssignedRangeIsAppliedAndEveryRowShowsItsNewAddress) {
    ASSERT_NO_FATAL_FAILURE(StartSite());
    CommissionDialog& dialog = AssignAll();
    // Near the end of the subnet only the first five fit; the others are marked, not numbered.
    dialog.ED_First->setText("10.0.0.250");
    int outOfSubnet = 0;
    for (int r = 0; r < kSiteSize; ++r)
        outOfSubnet += dialog.TB_Preview->item(r, 4)->text().startsWith("out of subnet") ? 1 : 0;
    EXPECT_EQ(outOfSubnet, kSiteSize - 5);
    EXPECT_EQ(dialog.TB_Preview->item(4, 3)->text(), "10.0.0.254/255.255.255.0");
    dialog.ED_First->setText("10.0.0.10");
    // The preview shows every device, current -> new, before anything is sent.
    ASSERT_EQ(dialog.TB_Preview->rowCount(), kSiteSize);
    std::map<QString, QString> planned;
    for (int r = 0; r < kSiteSize; ++r) {
        EXPECT_EQ(dialog.TB_Preview->item(r, 2)->text(), "192.168.0.100/255.255.255.0");
        planned[dialog.TB_Preview->item(r, 0)->text()] =
            dialog.TB_Preview->item(r, 3)->text().section('/', 0, 0);
    }
    std::set<QString> addresses, range;
    for (int i = 0; i < kSiteSize; ++i) {
        addresses.insert(planned[SiteMac(i)]);
        range.insert(NewIp(i));
    }
    EXPECT_EQ(addresses, range);
    EXPECT_EQ(SetsSent(), 0);
    ASSERT_TRUE(dialog.BT_Apply->isEnabled());

    Click(dialog.BT_Apply);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.Finished() == kSiteSize; }, 15000))
        << dialog.Finished();
    EXPECT_EQ(dialog.PB_Progress->value(), kSiteSize);
    for (const auto& [mac, ip] : planned) {
        SCOPED_TRACE(mac.toStdString());
        EXPECT_EQ(W().LV_Vrel->Text(Row(mac), TTheVrel::kIpColumn), ip);
        EXPECT_EQ(W().LV_Vrel->Text(Row(mac), TTheVrel::kStatusColumn), "verified");
    }
    EXPECT_EQ(MemoLines().size(), static_cast<std::size_t>(kSiteSize));

    // The table as CSV, and the journal, have a line per device.
    const QString exported = dir_.filePath("export.csv");
    EXPECT_EQ(W().ExportTo(exported), std::nullopt);
    QFile csv(exported);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(csv.readAll());
    EXPECT_TRUE(text.startsWith("Product Code,Module Name,Mac Address,IP Address,NetMask,"
                                "Interface,Status\r\n"))
        << text.toStdString();
    EXPECT_EQ(text.count(",verified\r\n"), kSiteSize);
    Click(W().BT_Journal);
    ASSERT_NE(W().JournalView(), nullptr);
    const QTableWidget& journal = *W().JournalView()->TB_Journal;
    int journaled = 0;
    for (int r = 0; r < journal.rowCount(); ++r)
        journaled += planned.count(journal.item(r, 4)->text()) ? 1 : 0;
    EXPECT_EQ(journaled, kSiteSize);
    EXPECT_GE(journal.item(0, 0)->text(), journal.item(journal.rowCount() - 1, 0)->text());
    const QString saved = dir_.filePath("journal.csv");
    EXPECT_EQ(W().JournalView()->SaveTo(saved), std::nullopt);
    const auto reread = ReadJournal(saved.toStdString());
    ASSERT_TRUE(reread.has_value());
    EXPECT_EQ(static_cast<int>(reread->size()), journal.rowCount());

    // A second Discover hears the devices from their new addresses.
    ASSERT_NO_FATAL_FAILURE(Discover(kSiteSize));
    for (const auto& [mac, ip] : planned)
        EXPECT_EQ(W().LV_Vrel->Text(Row(mac), TTheVrel::kIpColumn), ip) << mac.toStdString();
}

// Two Sets in flight and slow answers: the cancel lands while rows are left. No row starts
// after it, the rows in flight get their verdicts, and the rest keep their address.
TEST_F(MainWindowCommissionTest, CancelSendsNoFurtherSet) {
    ASSERT_NO_FATAL_FAILURE(StartSite({"--delay", "150"}));
    CommissionDialog& dialog = AssignAll();
    dialog.inFlight = 2;
    Click(dialog.BT_Apply);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.Finished() >= 2; }, 10000));
    bool ended = false;
    QObject::connect(&dialog, &CommissionDialog::RunEnded, [&] { ended = true; });
    Click(dialog.BT_Cancel);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended; }, 10000));
    const int done = dialog.Finished();
    EXPECT_LT(done, kSiteSize);
    EXPECT_EQ(dialog.BT_Cancel->text(), "Close");

    // The simulator has handled everything sent before it answers this Discover.
    ASSERT_NO_FATAL_FAILURE(Discover(kSiteSize));
    EXPECT_EQ(SetsSent(), done) << sim_->Stderr().toStdString();
    int moved = 0;
    for (int r = 0; r < kSiteSize; ++r)
        moved += W().LV_Vrel->Text(r, TTheVrel::kIpColumn) != "192.168.0.100" ? 1 : 0;
    EXPECT_EQ(moved, done);
    int notSent = 0;
    for (int r = 0; r < kSiteSize; ++r)
        notSent += dialog.TB_Preview->item(r, 4)->text() == "not sent" ? 1 : 0;
    EXPECT_EQ(notSent, kSiteSize - done);
}

// A plan with a broken line is shown with the line named; nothing can be applied.
TEST_F(MainWindowCommissionTest, PlanWithABrokenLineSendsNothing) {
    ASSERT_NO_FATAL_FAILURE(StartSite());
    const QString path = dir_.filePath("plan.csv");
    QFile plan(path);
    ASSERT_TRUE(plan.open(QIODevice::WriteOnly));
    plan.write(("macAddress;ipAddress;netmask;room\n" + SiteMac(0) + ";10.0.0.10;255.255.255.0;A\n" +
                SiteMac(1) + ";10.0.0.300;255.255.255.0;B\n" + SiteMac(2) +
                ";10.0.0.12;255.255.255.0;C\n")
                   .toLatin1());
    plan.close();
    W().OpenPlan(path);
    CommissionDialog* dialog = W().Commission();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->TB_Preview->rowCount(), 3);
    EXPECT_THAT(dialog->LB_Problems->text().toStdString(), HasSubstr("line 3"));
    EXPECT_FALSE(dialog->BT_Apply->isEnabled());
    EXPECT_THAT(MemoLines(), ::testing::ElementsAre("Plan: ignoring column 'room'"));
    Click(dialog->BT_Apply);
    EXPECT_EQ(W().SetClient()->PendingCount(), 0);
    EXPECT_EQ(dialog->Finished(), 0);
}

} // namespace
} // namespace vrel::test
