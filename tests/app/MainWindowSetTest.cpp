#include "MainWindowFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vrel::test {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;
using ::testing::StartsWith;

std::string SetDeviceLine(const std::string& mac) {
    return "Set Device " + mac + " at " + kTimeOfDay;
}

using MainWindowSetTest = MainWindowTest;

TEST_F(MainWindowSetTest, SetWritesTheAddressAndANewDiscoverShowsIt) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    ASSERT_NO_FATAL_FAILURE(Discover());
    ASSERT_NO_FATAL_FAILURE(ClickRow("020000000001"));
    ASSERT_NO_FATAL_FAILURE(Retype(W().ED_IP, "10.0.5.77"));
    ASSERT_NO_FATAL_FAILURE(Retype(W().ED_Net, "255.255.0.0"));
    Click(W().BT_Set);
    EXPECT_THAT(MemoLines(), ElementsAre(MatchesRegex(SetDeviceLine("020000000001"))));
    // The device is asked afterwards; its answer is one more line.
    ASSERT_TRUE(WaitMemoLines(3, 2000));
    EXPECT_THAT(
        MemoLines(),
        ElementsAre(MatchesRegex(SetDeviceLine("020000000001")),
                    MatchesRegex(std::string("Devie 020000000001 : Set OK ! at ") + kTimeOfDay),
                    MatchesRegex("020000000001: verified, answers with IP address "
                                 "10\\.0\\.5\\.77, netmask 255\\.255\\.0\\.0 at " +
                                 std::string(kTimeOfDay))));
    EXPECT_TRUE(sim_->Stderr().contains("Set #0 to 020000000001: ok"))
        << sim_->Stderr().toStdString();
    // The row follows the device before anyone discovers again.
    EXPECT_EQ(W().LV_Vrel->Text(Row("020000000001"), TTheVrel::kIpColumn), "10.0.5.77");
    EXPECT_EQ(W().LV_Vrel->Text(Row("020000000001"), TTheVrel::kNetmaskColumn), "255.255.0.0");
    EXPECT_EQ(W().LV_Vrel->Text(Row("020000000001"), TTheVrel::kStatusColumn), "verified");
    EXPECT_THAT(Cell("020000000001", TTheVrel::kStatusColumn, Qt::ToolTipRole).toString().toStdString(),
                StartsWith("020000000001: verified"));
    EXPECT_EQ(W().DiscoverPresenter()->Devices().Find("020000000001")->ipAddress, "10.0.5.77");

    ASSERT_NO_FATAL_FAILURE(Discover());
    ASSERT_NE(Row("020000000001"), -1);
    EXPECT_EQ(W().LV_Vrel->Text(Row("020000000001"), 3), "10.0.5.77");
    EXPECT_EQ(W().LV_Vrel->Text(Row("020000000001"), 4), "255.255.0.0");
    EXPECT_EQ(W().LV_Vrel->Text(Row("020000000002"), 3), "10.0.0.2");
}

// Only the device's own password is taken; a refused Set is one line after "Set Device".
TEST_F(MainWindowSetTest, PasswordDecidesTheOutcome) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    ASSERT_NO_FATAL_FAILURE(Discover());
    struct Case {
        const char* password;
        std::string result;
        std::string verdict; // empty: a refused Set is not followed up
    };
    const Case cases[] = {
        {"wrong", R"(\(KvVREL\) Password Error!)", ""},
        {"", R"(\(KvVREL\) Password Error!)", ""},
        {"Secret", R"(\(KvVREL\) Password Error!)", ""},
        {kPassword, std::string("Devie ") + kPasswordMac + " : Set OK ! at " + kTimeOfDay,
         std::string(kPasswordMac) + ": verified, .* at " + kTimeOfDay},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("password '") + c.password + "'");
        W().Memo_Info->clear();
        ASSERT_NO_FATAL_FAILURE(ClickRow(kPasswordMac));
        ASSERT_NO_FATAL_FAILURE(Retype(W().ED_Pass, c.password));
        Click(W().BT_Set);
        ASSERT_TRUE(WaitMemoLines(c.verdict.empty() ? 2 : 3, 2000));
        QTest::qWait(100); // no further line follows
        if (c.verdict.empty())
            EXPECT_THAT(MemoLines(), ElementsAre(MatchesRegex(SetDeviceLine(kPasswordMac)),
                                                 MatchesRegex(c.result)));
        else
            EXPECT_THAT(MemoLines(), ElementsAre(MatchesRegex(SetDeviceLine(kPasswordMac)),
                                                 MatchesRegex(c.result), MatchesRegex(c.verdict)));
    }
}

// Three Sets of 3 s each go unanswered, then the device is asked for its address for 3 s; the
// time-out lines come with the verdict.
TEST_F(MainWindowSetTest, SilentDeviceIsReportedAfterThreeTries) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    ASSERT_NO_FATAL_FAILURE(Discover());
    ASSERT_NO_FATAL_FAILURE(ClickRow("020000000003"));
    // The device stops answering after it was found.
    ASSERT_NO_FATAL_FAILURE(StartSim({"--silent", "020000000003"}));
    QElapsedTimer clock;
    clock.start();
    Click(W().BT_Set);
    ASSERT_TRUE(WaitMemoLines(4, 15000));
    EXPECT_GE(clock.elapsed(), 3 * 2900);
    EXPECT_THAT(MemoLines(),
                ElementsAre(MatchesRegex(SetDeviceLine("020000000003")),
                            "The Device have no respons !",
                            MatchesRegex(std::string("Maybe it is not support this operation or "
                                                     "can't connecte\\. at ") +
                                         kTimeOfDay),
                            MatchesRegex("020000000003: not confirmed, the device did not "
                                         "answer when asked for its address at " +
                                         std::string(kTimeOfDay))));
    for (const char* set : {"Set #0", "Set #1", "Set #2"})
        EXPECT_TRUE(sim_->Stderr().contains(QString(set) + " to 020000000003: no answering device"))
            << sim_->Stderr().toStdString();
}

// Texts that are no address are refused before anything is sent, and an address the device
// could not be reached at is asked about (answered No here); the box names the field and the
// rule.
TEST_F(MainWindowSetTest, UnreadableAddressIsShownAndNothingIsSent) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    ASSERT_NO_FATAL_FAILURE(Discover());
    ASSERT_NO_FATAL_FAILURE(ClickRow("020000000002"));
    struct Case {
        const char* ip;
        const char* netmask;
        const char* message;
        bool asked = false; // readable, refused only as implausible
    };
    const Case cases[] = {
        {"10.0.0.256", "255.255.255.0", "IP Address: '10.0.0.256' is not a valid IP address"},
        {"ten", "255.255.255.0", "IP Address: 'ten' is not a valid IP address"},
        // Shorthand and octal, which C notation reads as some other address.
        {"192.168.11", "255.255.255.0", "IP Address: '192.168.11' is not a valid IP address"},
        {"010.0.0.1", "255.255.255.0", "IP Address: '010.0.0.1' is not a valid IP address"},
        {"10.0.0.9", "255.255.0.255", "NetMask: '255.255.0.255' is not a valid netmask"},
        {"10.0.0.9", "255.255.255.0.0", "NetMask: '255.255.255.0.0' is not a valid netmask"},
        {"10.0.0.255", "255.255.255.0",
         "IP Address: 10.0.0.255 is the broadcast address of its subnet 10.0.0.0/24", true},
        {"127.0.0.1", "255.0.0.0", "IP Address: 127.0.0.1 is a loopback address", true},
        {"10.0.0.9", "0.0.0.0", "NetMask: netmask 0.0.0.0", true},
        {"10.0.0.9", "255.255.255.255", "NetMask: netmask 255.255.255.255 (/31 or /32)", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ip);
        MessageBoxCapture boxes;
        ASSERT_NO_FATAL_FAILURE(Retype(W().ED_IP, c.ip));
        ASSERT_NO_FATAL_FAILURE(Retype(W().ED_Net, c.netmask));
        Click(W().BT_Set);
        const auto& shown = c.asked ? boxes.questions : boxes.texts;
        EXPECT_THAT(shown, ElementsAre(AllOf(StartsWith(c.message),
                                             c.asked ? EndsWith("Send anyway?") : EndsWith(""))));
        EXPECT_THAT(c.asked ? boxes.texts : boxes.questions, IsEmpty());
        EXPECT_EQ(W().SetClient()->PendingCount(), 0);
    }
    QTest::qWait(300);
    EXPECT_THAT(MemoLines(), IsEmpty());
    EXPECT_FALSE(sim_->Stderr().contains("Set #")) << sim_->Stderr().toStdString();
}

// Yes to the question sends the address all the same; a group MAC is never asked about.
TEST_F(MainWindowSetTest, StrandingAddressIsSentWhenTheUserSaysYes) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    ASSERT_NO_FATAL_FAILURE(Discover());
    ASSERT_NO_FATAL_FAILURE(ClickRow("020000000002"));
    MessageBoxCapture boxes;
    boxes.answer = true;
    ASSERT_NO_FATAL_FAILURE(Retype(W().ED_IP, "10.0.0.255"));
    Click(W().BT_Set);
    EXPECT_THAT(boxes.questions, ElementsAre(HasSubstr("broadcast address")));
    // The simulated device refuses it as a real one may; what counts is that it was sent.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return sim_->Stderr().contains("Set #0 to 020000000002"); }, 3000))
        << sim_->Stderr().toStdString();

    W().ED_Mac->setText("FFFFFFFFFFFF");
    boxes.questions.clear();
    Click(W().BT_Set);
    EXPECT_THAT(boxes.questions, IsEmpty());
    EXPECT_THAT(boxes.texts, ElementsAre(HasSubstr("group")));
}

} // namespace
} // namespace vrel::test
