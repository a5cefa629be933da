#include "LabDevices.h"
#include "NetLab.h"
#include "NetworkSandbox.h"

#include "EventWait.h"
#include "KvVRELClient.h"
#include "VrelTables.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>

namespace vrel::test {
namespace {

bool WaitFor(const std::function<bool()>& done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!done() && std::chrono::steady_clock::now() < until)
        ProcessEventsFor(10);
    return done();
}

// Lines segment n's simulator logged for requests addressed to mac.
std::size_t RequestsFor(const NetLab& lab, int segment, const std::string& mac) {
    std::size_t n = 0;
    for (const std::string& line : lab.RequestLines(segment))
        n += line.find("to " + mac) != std::string::npos;
    return n;
}

// The interface an answer came in on, passed back with the next request to that device, sends
// it out of that segment only; without it the request goes out of every segment.
TEST(LabClient, ARequestGivenTheInterfaceOfTheAnswerLeavesOnlyThere) {
    NetLab lab({kSegmentA, kSegmentB}, "none");
    ASSERT_TRUE(lab.Ready()) << lab.Output();
    VREL_REQUIRE_NETWORK_SANDBOX();
    KvVRELClient client(nullptr);
    std::map<std::string, int> heardOn;
    bool discovered = false;
    client.Send("FFFFFFFFFFFF", "", *KvVRELVarList::create_from_definitions(DiscoveryVariables()),
                kDiscover,
                [&](const KvVRELError& e, KvVRELVarList& vars) {
                    if (e.code == 0)
                        heardOn[vars.at(0).responseVars->at(2).value] = e.interfaceIndex;
                    discovered = e.code != 0;
                },
                50);
    ASSERT_TRUE(WaitFor([&] { return discovered; }));
    ASSERT_EQ(heardOn.size(), 2u);
    ASSERT_NE(heardOn[kMacA], heardOn[kMacB]);

    const struct {
        int interfaceIndex;
        std::size_t onSegmentA, onSegmentB; // requests for kMacB each segment saw so far
    } cases[] = {{heardOn[kMacB], 0, 1}, {0, 1, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE("interface index " + std::to_string(c.interfaceIndex));
        KvVRELVarList set = *KvVRELVarList::create_from_definitions(SetVariables);
        set.at(0).value = "192.168.77.5";
        set.at(1).value = "255.255.255.0";
        set.at(2).value = "3";
        bool done = false;
        client.Send(kMacB, "pw", set, kSet,
                    [&](const KvVRELError&, KvVRELVarList&) { done = true; }, 50,
                    c.interfaceIndex);
        // A simulator logs what it heard a moment after it heard it.
        WaitFor([&] {
            return done && RequestsFor(lab, 1, kMacB) >= c.onSegmentA &&
                   RequestsFor(lab, 2, kMacB) >= c.onSegmentB;
        });
        EXPECT_TRUE(done);
        EXPECT_EQ(RequestsFor(lab, 1, kMacB), c.onSegmentA);
        EXPECT_EQ(RequestsFor(lab, 2, kMacB), c.onSegmentB);
    }
}

} // namespace
} // namespace vrel::test
