#pragma once

#include <string>
#include <vector>

namespace vrel {

// Whether a limited broadcast can leave through a host interface, and its IPv4 address.
struct NetInterface {
    int index = 0;
    std::string name;
    std::string address; // first IPv4 address, empty when it has none
    int prefixLength = -1;
    bool up = false;
    bool running = false; // carrier present
    bool broadcast = false;
    bool loopback = false;

    // Up, running, broadcast-capable, not loopback, with an IPv4 address.
    bool Usable() const;
    // "down", "no carrier", "no IPv4 address"; empty when usable or no broadcast interface.
    std::string UnusableReason() const;
    // "eth0 192.168.1.10/24", or "eth0 (no IPv4 address)".
    std::string Label() const;
};

// What became of a request on one interface.
struct SendOutcome {
    NetInterface interface;
    bool sent = false;
    std::string error; // why not, when not sent
};

// The outcomes as one line: "eth0 10.1.0.1/24 sent, eth1 10.2.0.1/24 not sent (no carrier)";
// "the routing table" when there are none.
std::string TriedText(const std::vector<SendOutcome>& outcomes);

// A limited broadcast only leaves through the interface the socket names (IP_PKTINFO): one
// datagram per interface reaches every network of the host without a route or privileges.
class NetInterfaces {
public:
    // Reads every interface and address: call it per request, never per answer.
    static std::vector<NetInterface> Enumerate();

    // Every usable interface when names is empty, else exactly the named ones. Throws
    // std::invalid_argument naming an unknown or unusable name.
    static std::vector<NetInterface> Select(const std::vector<NetInterface>& all,
                                              const std::vector<std::string>& names);

    // Looked up once per index, then cached for every client.
    static std::string NameOf(int index);
};

} // namespace vrel
