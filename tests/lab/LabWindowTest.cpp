#include "LabDevices.h"
#include "MainWindowFixture.h"
#include "NetLab.h"

#include <gmock/gmock.h>

namespace vrel::test {
namespace {

using ::testing::ContainsRegex;
using ::testing::ElementsAre;

// The window on a host with two device networks and no default route.
class LabWindowTest : public MainWindowTest {
protected:
    void SetUp() override {
        lab_ = std::make_unique<NetLab>(Segments(), "none");
        ASSERT_TRUE(lab_->Ready()) << lab_->Output();
        MainWindowTest::SetUp();
    }
    void TearDown() override {
        MainWindowTest::TearDown();
        lab_.reset();
    }

    virtual std::vector<std::string> Segments() const { return {kSegmentA, kSegmentB}; }

    // Lines segment n's simulator logged for requests addressed to mac.
    std::size_t RequestsFor(int segment, const std::string& mac) {
        std::size_t n = 0;
        for (const std::string& line : lab_->RequestLines(segment))
            n += line.find("to " + mac) != std::string::npos;
        return n;
    }

    std::unique_ptr<NetLab> lab_;
};

TEST_F(LabWindowTest, ListsEverySegmentAndSetsWhereTheDeviceAnswered) {
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    ASSERT_NO_FATAL_FAILURE(Discover(2));
    ASSERT_NE(Row(kMacA), -1);
    ASSERT_NE(Row(kMacB), -1);
    EXPECT_EQ(W().LV_Vrel->Text(Row(kMacA), 5), "lab1");
    EXPECT_EQ(W().LV_Vrel->Text(Row(kMacB), 5), "lab2");

    // The Set goes out of lab2 only: that is where the device was heard.
    ASSERT_NO_FATAL_FAILURE(ClickRow(kMacB));
    ASSERT_NO_FATAL_FAILURE(Retype(W().ED_IP, "172.31.2.60"));
    ASSERT_NO_FATAL_FAILURE(Retype(W().ED_Pass, "pw"));
    Click(W().BT_Set);
    ASSERT_TRUE(WaitMemoLines(2, 3000));
    EXPECT_THAT(MemoLines()[1], ContainsRegex("Devie 0A0000000022 : Set OK"));
    EXPECT_GE(RequestsFor(2, kMacB), 1u);
    EXPECT_EQ(RequestsFor(1, kMacB), 0u);
}

class EmptyLabWindowTest : public LabWindowTest {
protected:
    std::vector<std::string> Segments() const override { return {"", ""}; }
};

TEST_F(EmptyLabWindowTest, ADiscoverFindingNothingNamesTheInterfacesTried) {
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    Click(W().BT_Discover);
    ASSERT_TRUE(WaitMemoLines(1, 9000));
    EXPECT_THAT(MemoLines(), ElementsAre("No device answered. Tried: lab1 172.31.1.1/24 sent, "
                                         "lab2 172.31.2.1/24 sent"));
}

} // namespace
} // namespace vrel::test
