#include "MainWindowFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vrel::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;

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
    ASSERT_TRUE(WaitMemoLines(2, 2000));
    EXPECT_THAT(MemoLines(),
                ElementsAre(MatchesRegex(SetDeviceLine("020000000001")),
                            MatchesRegex(std::string("Devie 020000000001 : Set OK ! at ") +
                                         kTimeOfDay)));
    EXPECT_TRUE(sim_->Stderr().contains("Set #0 to 020000000001: ok"))
        << sim_->Stderr().toStdString();

    ASSERT_NO_FATAL_FAILURE(Discover());
    ASSERT_NE(Row("020000000001"), nullptr);
    EXPECT_EQ(Row("020000000001")->text(3), "10.0.5.77");
    EXPECT_EQ(Row("020000000001")->text(4), "255.255.0.0");
    EXPECT_EQ(Row("020000000002")->text(3), "10.0.0.2");
}

// Only the device's own password is taken; a refused Set is one line after "Set Device".
TEST_F(MainWindowSetTest, PasswordDecidesTheOutcome) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    ASSERT_NO_FATAL_FAILURE(Discover());
    struct Case {
        const char* password;
        std::string result;
    };
    const Case cases[] = {
        {"wrong", R"(\(KvVREL\) Password Error!)"},
        {"", R"(\(KvVREL\) Password Error!)"},
        {"Secret", R"(\(KvVREL\) Password Error!)"},
        {kPassword, std::string("Devie ") + kPasswordMac + " : Set OK ! at " + kTimeOfDay},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("password '") + c.password + "'");
        W().Memo_Info->clear();
        ASSERT_NO_FATAL_FAILURE(ClickRow(kPasswordMac));
        ASSERT_NO_FATAL_FAILURE(Retype(W().ED_Pass, c.password));
        Click(W().BT_Set);
        ASSERT_TRUE(WaitMemoLines(2, 2000));
        QTest::qWait(100); // no further line follows
        EXPECT_THAT(MemoLines(), ElementsAre(MatchesRegex(SetDeviceLine(kPasswordMac)),
                                             MatchesRegex(c.result)));
    }
}

TEST_F(MainWindowSetTest, SilentDeviceIsReportedAfterThreeSeconds) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    ASSERT_NO_FATAL_FAILURE(Discover());
    ASSERT_NO_FATAL_FAILURE(ClickRow("020000000003"));
    // The device stops answering after it was found.
    ASSERT_NO_FATAL_FAILURE(StartSim({"--silent", "020000000003"}));
    QElapsedTimer clock;
    clock.start();
    Click(W().BT_Set);
    ASSERT_TRUE(WaitMemoLines(3, 4500));
    EXPECT_GE(clock.elapsed(), 2900);
    EXPECT_THAT(MemoLines(),
                ElementsAre(MatchesRegex(SetDeviceLine("020000000003")),
                            "The Device have no respons !",
                            MatchesRegex(std::string("Maybe it is not support this operation or "
                                                     "can't connecte\\. at ") +
                                         kTimeOfDay)));
    EXPECT_TRUE(sim_->Stderr().contains("Set #0 to 020000000003: no answering device"))
        << sim_->Stderr().toStdString();
}

// Texts that are no address are refused before anything is sent; the message box says why.
TEST_F(MainWindowSetTest, UnreadableAddressIsShownAndNothingIsSent) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    ASSERT_NO_FATAL_FAILURE(Discover());
    ASSERT_NO_FATAL_FAILURE(ClickRow("020000000002"));
    struct Case {
        const char* ip;
        const char* netmask;
        const char* message;
    };
    const Case cases[] = {
        {"10.0.0.256", "255.255.255.0", "'10.0.0.256' is not a valid IP address"},
        {"10.0.0.9", "255.255.255.0.0", "'255.255.255.0.0' is not a valid IP address"},
        {"ten", "255.255.255.0", "'ten' is not a valid IP address"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ip);
        MessageBoxCapture boxes;
        ASSERT_NO_FATAL_FAILURE(Retype(W().ED_IP, c.ip));
        ASSERT_NO_FATAL_FAILURE(Retype(W().ED_Net, c.netmask));
        Click(W().BT_Set);
        EXPECT_THAT(boxes.texts, ElementsAre(c.message));
        EXPECT_EQ(W().SetClient()->PendingCount(), 0);
    }
    QTest::qWait(300);
    EXPECT_THAT(MemoLines(), IsEmpty());
    EXPECT_FALSE(sim_->Stderr().contains("Set #")) << sim_->Stderr().toStdString();
}

} // namespace
} // namespace vrel::test
