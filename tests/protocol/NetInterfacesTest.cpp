#include "NetInterfaces.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace vrel {
namespace {

NetInterface Eth(const std::string& name, const std::string& address = "10.0.0.1") {
    NetInterface i;
    i.index = static_cast<int>(name.size());
    i.name = name;
    i.address = address;
    i.prefixLength = address.empty() ? -1 : 24;
    i.up = i.running = i.broadcast = true;
    return i;
}

TEST(NetInterfaces, OnlyInterfacesABroadcastCanLeaveByAreUsable) {
    NetInterface lo = Eth("lo", "127.0.0.1");
    lo.loopback = true;
    NetInterface down = Eth("down"), noCarrier = Eth("nocarrier"), tunnel = Eth("tun0");
    down.up = false;
    noCarrier.running = false;
    tunnel.broadcast = false;
    const struct {
        NetInterface i;
        bool usable;
        const char* reason;
        const char* label;
    } cases[] = {
        {Eth("eth0"), true, "", "eth0 10.0.0.1/24"},
        {lo, false, "", "lo 127.0.0.1/24"},
        {tunnel, false, "", "tun0 10.0.0.1/24"},
        {down, false, "down", "down 10.0.0.1/24"},
        {noCarrier, false, "no carrier", "nocarrier 10.0.0.1/24"},
        {Eth("eth1", ""), false, "no IPv4 address", "eth1 (no IPv4 address)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.i.name);
        EXPECT_EQ(c.i.Usable(), c.usable);
        EXPECT_EQ(c.i.UnusableReason(), c.reason);
        EXPECT_EQ(c.i.Label(), c.label);
    }
}

TEST(NetInterfaces, SelectTakesEveryUsableOneOrExactlyTheNamedOnes) {
    NetInterface down = Eth("eth2");
    down.up = false;
    const std::vector<NetInterface> all = {Eth("eth0"), Eth("wlan0"), down, Eth("eth3", "")};
    auto names = [](const std::vector<NetInterface>& chosen) {
        std::vector<std::string> n;
        for (const auto& i : chosen)
            n.push_back(i.name);
        return n;
    };
    using Names = std::vector<std::string>;
    EXPECT_EQ(names(NetInterfaces::Select(all, {})), (Names{"eth0", "wlan0"}));
    EXPECT_EQ(names(NetInterfaces::Select(all, {"wlan0"})), Names{"wlan0"});
    EXPECT_EQ(names(NetInterfaces::Select(all, {"wlan0", "eth0", "wlan0"})),
              (Names{"wlan0", "eth0"}));
    const std::pair<Names, const char*> refused[] = {
        {{"eth9"}, "there is no interface 'eth9'"},
        {{"eth0", "eth2"}, "interface 'eth2' cannot broadcast: down"},
        {{"eth3"}, "interface 'eth3' cannot broadcast: no IPv4 address"},
    };
    for (const auto& [asked, message] : refused) {
        try {
            NetInterfaces::Select(all, asked);
            ADD_FAILURE() << message;
        } catch (const std::invalid_argument& e) {
            EXPECT_STREQ(e.what(), message);
        }
    }
}

TEST(NetInterfaces, TriedTextNamesEachOutcome) {
    SendOutcome gone;
    gone.interface.name = "usb0";
    gone.error = "there is no interface 'usb0'";
    EXPECT_EQ(TriedText({}), "the routing table");
    EXPECT_EQ(TriedText({{Eth("eth0"), true, ""}, {Eth("eth1"), false, "no carrier"}, gone}),
              "eth0 10.0.0.1/24 sent, eth1 10.0.0.1/24 not sent (no carrier), usb0 not sent "
              "(there is no interface 'usb0')");
}

// Consecutive addresses of one vendor, the all-zero address, and enough rewrites of earlier
// answers, asked about in between and not, that what is kept is folded several times and the
// table grows; an index of 0 (the kernel did not say) is not remembered.
TEST(NetInterfaces, EachMacKeepsTheInterfaceItLastAnsweredOn) {
    NetInterfaces::ForgetAnswers();
    const auto mac = [](std::uint32_t n) {
        return std::array<std::uint8_t, kMacSize>{0x00, 0x1b, static_cast<std::uint8_t>(n >> 16),
                                                  static_cast<std::uint8_t>(n >> 8),
                                                  static_cast<std::uint8_t>(n), 0x00};
    };
    const std::array<std::uint8_t, kMacSize> zero{};
    NetInterfaces::RememberAnswer(zero, 7);
    for (std::uint32_t n = 0; n < 5000; ++n)
        NetInterfaces::RememberAnswer(mac(n), 2 + static_cast<int>(n % 3));
    EXPECT_EQ(NetInterfaces::LastAnswerIndex(mac(4)), 3);
    for (int round = 0; round < 40; ++round) {
        for (std::uint32_t n = 0; n < 5000; n += 2)
            NetInterfaces::RememberAnswer(mac(n), 100000 + static_cast<int>(n) + round);
    }
    NetInterfaces::RememberAnswer(mac(1), 0);
    for (std::uint32_t n = 0; n < 5000; ++n)
        ASSERT_EQ(NetInterfaces::LastAnswerIndex(mac(n)),
                  n % 2 ? 2 + static_cast<int>(n % 3) : 100039 + static_cast<int>(n))
            << n;
    EXPECT_EQ(NetInterfaces::LastAnswerIndex(zero), 7);
    EXPECT_EQ(NetInterfaces::LastAnswerIndex(mac(5000)), std::nullopt);
    NetInterfaces::ForgetAnswers();
    EXPECT_EQ(NetInterfaces::LastAnswerIndex(mac(3)), std::nullopt);
}

} // namespace
} // namespace vrel
