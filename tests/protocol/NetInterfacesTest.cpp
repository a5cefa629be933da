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

} // namespace
} // namespace vrel
