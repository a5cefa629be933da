#include "PresenterTestSupport.h"

#include "Exception.h"
#include "FormatSettings.h"
#include "ReportListView.h"
#include "KvVRELRequest.h"
#include "NetworkSandbox.h"
#include "SimServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <regex>

namespace vrel::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;

// Records the commands that ended, the one hook a derived presenter has for that.
class RecordingPresenter : public KvVRELRequest2EditsRepeat {
public:
    using KvVRELRequest2EditsRepeat::KvVRELRequest2EditsRepeat;
    void EndCommand(std::uint8_t command) override { ended.push_back(command); }
    std::vector<std::uint8_t> ended;
};

// A time of day on a 12-hour clock with this test's separator and designators.
const char* const kClock = R"((0[1-9]|1[0-2])\.[0-5][0-9]\.[0-5][0-9] (am|pm))";

FormatSettings TestClockFormat() {
    FormatSettings fs;
    fs.timeSeparator = '.';
    fs.amText = "am";
    fs.pmText = "pm";
    return fs;
}

// The window that owns the shared client, as the main window does. Nothing listens on the
// device port unless a test starts a simulator, so requests end by time-out.
class PresenterCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        VREL_REQUIRE_NETWORK_SANDBOX();
        KvVRELRequest::SetUp(&owner);
        ASSERT_NE(KvVRELRequest::SharedClient(), nullptr);
        KvVRELRequest::DefaultTargetMac() = "FFFFFFFFFFFF";
    }
    void TearDown() override {
        KvVRELRequest::DefaultTargetMac().clear();
        KvVRELRequest::DefaultPassword().clear();
    }

    // A presenter of the Discovery list over the list view and the memo.
    std::unique_ptr<RecordingPresenter> Presenter(std::uint32_t timeout, bool withLog = true) {
        auto p = std::make_unique<RecordingPresenter>(&owner);
        p->request.variables.assign(*KvVRELVarList::create_from_definitions(DiscoveryVariables()));
        p->request.variables.name = "Device Table";
        p->request.timeout = timeout;
        p->AttachListView(&view);
        if (withLog)
            p->SetLogTarget(&memo);
        return p;
    }

    static bool WaitIdle(const KvVRELRequest2Controls& p, int ms = 3000) {
        return QTest::qWaitFor([&] { return p.outstanding == 0; }, ms);
    }

    QWidget owner;
    ReportListView view;
    QPlainTextEdit memo;
};

TEST_F(PresenterCommandTest, DiscoverNobodyAnswersEndsWithoutRowOrLogLine) {
    auto p = Presenter(50);
    QElapsedTimer clock;
    clock.start();
    p->RunCommand(kDiscover);
    EXPECT_EQ(p->outstanding, 1);
    ASSERT_TRUE(WaitIdle(*p));
    EXPECT_GE(clock.elapsed(), 450);
    EXPECT_EQ(view.RowCount(), 0);
    EXPECT_EQ(memo.toPlainText(), "");
    EXPECT_THAT(p->ended, ElementsAre(kDiscover));
    EXPECT_EQ(KvVRELRequest::SharedClient()->PendingCount(), 0);
}

TEST_F(PresenterCommandTest, GetTimeoutIsLoggedAsTheGetLine) {
    ScopedFormatSettings clockFormat(TestClockFormat());
    MessageBoxCapture boxes;
    auto p = Presenter(20);
    p->request.targetMac = "020000000009";
    p->RunCommand(kGet);
    ASSERT_TRUE(WaitIdle(*p));
    EXPECT_THAT(memo.toPlainText().toStdString(),
                MatchesRegex(std::string(R"(Get:\(KvVREL\) Timeout!Request:Device Table\.)"
                                         "Receive at ") +
                             kClock + R"(\.)"));
    EXPECT_THAT(boxes.boxes, IsEmpty());
    EXPECT_EQ(view.RowCount(), 0);
    EXPECT_THAT(p->ended, IsEmpty()); // only an answered Get calls the end hook
}

TEST_F(PresenterCommandTest, GetTimeoutWithoutLogTargetShowsTheMessageAlone) {
    MessageBoxCapture boxes;
    auto p = Presenter(20, false);
    p->request.targetMac = "020000000009";
    p->RunCommand(kGet);
    ASSERT_TRUE(WaitIdle(*p));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "(KvVREL) Timeout!");
    EXPECT_EQ(boxes.boxes[0].caption,
              QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString());
    EXPECT_EQ(boxes.boxes[0].caption, "vrel_present_tests");
    EXPECT_EQ(boxes.boxes[0].owner, &owner);
    EXPECT_EQ(memo.toPlainText(), "");
}

TEST_F(PresenterCommandTest, AnsweredGetAddsRowEndsAndLogs) {
    ScopedFormatSettings clockFormat(TestClockFormat());
    SimDevice device{0x1234, "SIM-GET", std::string("\x02\x00\x00\x00\x00\x07", 6), "10.1.2.3",
                     "255.255.0.0", ""};
    SimServer sim(VrelSimulator({device}, SimFaults{0, 0, 0, 0, 0, {}}));
    ASSERT_EQ(sim.start(), "");
    auto p = Presenter(100);
    p->request.targetMac = "020000000007";
    p->RunCommand(kGet);
    ASSERT_TRUE(WaitIdle(*p));
    ASSERT_EQ(view.RowCount(), 1);
    EXPECT_THAT(RowTexts(view, 0),
                ElementsAre("4660", "SIM-GET", "020000000007", "10.1.2.3", "255.255.0.0"));
    EXPECT_THAT(p->ended, ElementsAre(kGet));
    EXPECT_THAT(memo.toPlainText().toStdString(),
                MatchesRegex(std::string(R"(Get:\(KvVREL\) Ok!Request:Device Table\.Receive at )") +
                             kClock + R"(\.)"));
}

// A request that cannot be built is never sent, so nothing will end it.
TEST_F(PresenterCommandTest, RunCommandWhoseSendRaisesLeavesTheCountAsItWas) {
    auto p = Presenter(50);
    p->RunCommand(kDiscover);
    ASSERT_EQ(p->outstanding, 1);
    for (const std::uint8_t command : {kDiscover, kGet}) {
        p->request.targetMac = "0011";
        try {
            p->RunCommand(command);
            ADD_FAILURE() << "command " << int(command) << " with a short MAC was sent";
        } catch (const Exception& e) {
            EXPECT_EQ(e.HelpContext(), -1010);
            EXPECT_STREQ(e.what(), "(KvVREL) Bad MAC address!");
        }
        EXPECT_EQ(p->outstanding, 1) << "command " << int(command);
    }
    EXPECT_EQ(KvVRELRequest::SharedClient()->PendingCount(), 1);
    ASSERT_TRUE(WaitIdle(*p));
}

TEST_F(PresenterCommandTest, DestroyingWithNothingOutstandingReturnsAtOnce) {
    auto p = Presenter(50);
    QElapsedTimer clock;
    clock.start();
    p.reset();
    EXPECT_LT(clock.elapsed(), 100);
}

// The destructor waits on the event loop until the answer window of the Discover has ended.
TEST_F(PresenterCommandTest, DestroyingWithDiscoverInFlightWaitsForItsEnd) {
    auto p = Presenter(50);
    p->RunCommand(kDiscover);
    QElapsedTimer clock;
    clock.start();
    p.reset();
    EXPECT_GE(clock.elapsed(), 400);
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(KvVRELRequest::SharedClient()->PendingCount(), 0);
}

// A command whose completion never comes (its client went away) holds the destructor for
// 6 s at most, however many classes the presenter is made of.
TEST(PresenterDestructorTest, GivesUpAfterSixSeconds) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    QObject owner;
    KvVRELRequest::SetUp(&owner); // a client that could still deliver the completion
    auto p = std::make_unique<KvVRELRequest2EditsRepeat>(nullptr);
    p->outstanding = 1;
    QElapsedTimer clock;
    clock.start();
    p.reset();
    EXPECT_GE(clock.elapsed(), 5900);
    EXPECT_LT(clock.elapsed(), 6800);
}

TEST(PresenterDestructorTest, DoesNotWaitWhenItsClientIsGone) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    auto owner = std::make_unique<QObject>();
    KvVRELRequest::SetUp(owner.get());
    auto p = std::make_unique<KvVRELRequest2EditsRepeat>(nullptr);
    p->outstanding = 1;
    owner.reset(); // the client drops its requests without a completion
    QElapsedTimer clock;
    clock.start();
    p.reset();
    EXPECT_LT(clock.elapsed(), 500);
}

} // namespace
} // namespace vrel::test
