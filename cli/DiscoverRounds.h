#pragma once

#include "DeviceDiscovery.h"

#include <QEventLoop>
#include <QTimer>

#include <cstdint>
#include <optional>
#include <vector>

namespace vrel::cli {

// A command's own client, and the Discover request that goes through it.
struct OwnDiscover {
    OwnDiscover(const QHostAddress& destination, const std::vector<std::string>& interfaces,
                std::uint32_t timeout);
    KvVRELClient client;
    KvVRELRequest request;
};

// Up to `rounds` Discovers, each window closing at the time-out or quietMs (if > 0) after the
// last new device; no further round after one that found no new device and lost no answer.
class DiscoverRounds {
public:
    // drops, where given, counts the answers the socket has dropped so far.
    DiscoverRounds(KvVRELRequest& request, int rounds, int quietMs,
                   std::function<std::uint64_t()> drops = {});

    // No further round once enough() holds at the end of one; a round runs its course, so that
    // devices outside a plan that hold its addresses are heard too.
    void StopWhen(std::function<bool()> enough) { enough_ = std::move(enough); }
    // With a live line and send failures on stderr; throws the first round's send failure.
    void Run();

    const DeviceIndex& Devices() const { return discovery_.Index(); }
    const DeviceDiscovery& Discovery() const { return discovery_; }
    int RoundsRun() const { return round_; }
    // The send failure of a later round, which ended the rounds.
    const std::optional<std::pair<int, std::string>>& Failure() const { return failure_; }

private:
    void StartRound();
    void EndRound();

    KvVRELRequest& request_;
    DeviceDiscovery discovery_;
    const int rounds_;
    const int quietMs_;
    int round_ = 0;
    int sequence_ = -1;
    int newThisRound_ = 0;
    std::int64_t deadline_ = 0;
    std::function<std::uint64_t()> drops_;
    std::function<bool()> enough_;
    std::uint64_t dropsBeforeRound_ = 0;
    std::optional<std::pair<int, std::string>> failure_;
    QTimer quiet_;
    QEventLoop loop_;
};

} // namespace vrel::cli
