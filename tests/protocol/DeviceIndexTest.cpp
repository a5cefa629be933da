#include "DeviceDiscovery.h"
#include "DeviceIndex.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace vrel::test {
namespace {

using Outcome = DeviceIndex::Outcome;

Device Answer(const char* mac, const char* ip, const char* model = "M") {
    return {"1", model, mac, ip, "255.255.255.0"};
}

struct IndexCase {
    const char* name;
    std::vector<Device> answers;
    std::vector<Outcome> outcomes;
    std::vector<std::string> listedIps; // in list order
    int conflictsOfA;
};

void PrintTo(const IndexCase& c, std::ostream* os) {
    *os << c.name;
}

class DeviceIndexTest : public ::testing::TestWithParam<IndexCase> {};

TEST_P(DeviceIndexTest, FirstAnswerWinsAndConflictsAreFlaggedOncePerMac) {
    const IndexCase& c = GetParam();
    DeviceIndex index;
    std::vector<Outcome> outcomes;
    for (const auto& answer : c.answers)
        outcomes.push_back(index.Add(Device(answer)));
    EXPECT_EQ(outcomes, c.outcomes);
    std::vector<std::string> ips;
    for (const auto& device : index.Devices())
        ips.emplace_back(device.ipAddress);
    EXPECT_EQ(ips, c.listedIps);
    EXPECT_EQ(index.ConflictsOf("00000000000A"), c.conflictsOfA);
}

const char* const kA = "00000000000A";
const char* const kB = "00000000000B";

INSTANTIATE_TEST_SUITE_P(
    Answers, DeviceIndexTest,
    ::testing::Values(
        IndexCase{"OrderOfFirstAnswers",
                  {Answer(kB, "10.0.0.2"), Answer(kA, "10.0.0.1")},
                  {Outcome::Added, Outcome::Added},
                  {"10.0.0.2", "10.0.0.1"},
                  0},
        IndexCase{"RepeatIsNoConflict",
                  {Answer(kA, "10.0.0.1"), Answer(kA, "10.0.0.1")},
                  {Outcome::Added, Outcome::Repeat},
                  {"10.0.0.1"},
                  0},
        // Two clones answering again and again: one report, two distinct other answers.
        IndexCase{"ClonesCountedByContent",
                  {Answer(kA, "10.0.0.1"), Answer(kA, "10.0.0.9"), Answer(kB, "10.0.0.2"),
                   Answer(kA, "10.0.0.9"), Answer(kA, "10.0.0.1", "Other"), Answer(kA, "10.0.0.1")},
                  {Outcome::Added, Outcome::FirstConflict, Outcome::Added, Outcome::Conflict,
                   Outcome::Conflict, Outcome::Repeat},
                  {"10.0.0.1", "10.0.0.2"},
                  2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DeviceIndexClearTest, ClearForgetsDevicesAndConflicts) {
    DeviceIndex index;
    index.Add(Answer(kA, "10.0.0.1"));
    index.Add(Answer(kA, "10.0.0.9"));
    index.Clear();
    EXPECT_FALSE(index.Find(kA));
    EXPECT_EQ(index.ConflictedMacCount(), 0u);
    // After a clear the later answer is a new device and may be flagged afresh.
    EXPECT_EQ(index.Add(Answer(kA, "10.0.0.9")), Outcome::Added);
    EXPECT_EQ(index.Add(Answer(kA, "10.0.0.1")), Outcome::FirstConflict);
    ASSERT_TRUE(index.Find(kA));
    EXPECT_EQ(index.Find(kA)->ipAddress, "10.0.0.9");
}

TEST(DeviceIndexClearTest, ArrivalInterfaceIsNotContent) {
    DeviceIndex index;
    Device viaSecond = Answer(kA, "10.0.0.1");
    viaSecond.interfaceName = "eth1";
    index.Add(Answer(kA, "10.0.0.1"));
    EXPECT_EQ(index.Add(std::move(viaSecond)), Outcome::Repeat);
}

// After a Set the device took, its answers from the new address are repeats, not a clone's.
TEST(DeviceIndexClearTest, SetAddressMakesTheNewAnswerTheListedOne) {
    DeviceIndex index;
    index.Add(Answer(kA, "10.0.0.1"));
    EXPECT_FALSE(index.SetAddress(kB, "10.0.0.7", "255.255.255.0"));
    ASSERT_TRUE(index.SetAddress(kA, "10.0.0.7", index.Find(kA)->netmask));
    EXPECT_EQ(index.Add(Answer(kA, "10.0.0.7")), Outcome::Repeat);
    EXPECT_EQ(index.Add(Answer(kA, "10.0.0.1")), Outcome::FirstConflict);
}

// Every text comes back as it went in, whatever its length or bytes, across block ends, and
// with the index of the interface it came in on.
TEST(DeviceIndexClearTest, DevicesComeBackWholeAcrossBlocks) {
    const std::string lengths[] = {"", std::string(254, 'a'), std::string(255, 'b'),
                                   std::string("n\0l\xff", 4), std::string(70000, 'c')};
    DeviceIndex index;
    std::vector<Device> added;
    for (int i = 0; i < 1500; ++i) {
        Device d = Answer("", "10.0.0.1");
        d.modelName = lengths[i % 5];
        d.macAddress = std::to_string(100000000000 + i);
        d.interfaceName = "eth" + std::to_string(i);
        d.interfaceIndex = i;
        ASSERT_EQ(index.Add(d), Outcome::Added);
        added.push_back(d);
    }
    ASSERT_EQ(index.Count(), added.size());
    for (std::size_t i = 0; i < added.size(); ++i) {
        const Device d = index.At(i);
        EXPECT_TRUE(SameAnswer(d, added[i])) << i;
        EXPECT_EQ(d.interfaceName, added[i].interfaceName);
        EXPECT_EQ(d.interfaceIndex, added[i].interfaceIndex);
    }
}

} // namespace
} // namespace vrel::test

namespace vrel::test {
namespace {

// assign --where picks listed devices as discover --where picks answers: the device's texts
// are put back into the Discovery list, each at its own field.
TEST(DeviceMeetsConditionTest, EachFieldIsTestedWhereTheAnswerHadIt) {
    const Device device{"4096", "SIM-3", "020000000003", "10.0.0.3", "255.255.255.0"};
    const std::pair<const char*, bool> cases[] = {
        {"$0.1=\"SIM-3\"", true},        {"$0.1=\"SIM-4\"", false},
        {"$0.3=\"10.0.0.3\"", true},     {"$0.2=\"020000000003\"", true},
        {"$0.4=\"255.255.255.0\"", true}, {"$0.3=\"SIM-3\"", false},
        {"", true},
    };
    for (const auto& [condition, meets] : cases) {
        KvVRELRequest request;
        request.responseCondition = condition;
        EXPECT_EQ(DeviceMeetsCondition(request, device), meets) << condition;
    }
}

} // namespace
} // namespace vrel::test
