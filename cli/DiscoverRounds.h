#pragma once

#include "DeviceDiscovery.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vrel::cli {

// A command's own client, and the Discover request that goes through it.
struct OwnDiscover {
    OwnDiscover(const QHostAddress& destination, const std::vector<std::string>& interfaces,
                std::uint32_t timeout);
    KvVRELClient client;
    KvVRELRequest request;
};

// The Discovers of one discover command: up to `rounds` broadcasts, each answer window
// closing at the request's time-out or, with a quiet time, that long after the last new
// device. Devices are collected across rounds, one per MAC address; the rounds stop early
// after one that brought no new device and lost no answer to a full receive buffer, since a
// further broadcast would most likely find nothing either.
class DiscoverRounds {
public:
    // quietMs 0: every round waits out the whole answer window. drops, where given, counts
    // the answers the socket has dropped so far.
    DiscoverRounds(KvVRELRequest& request, int rounds, int quietMs,
                   std::function<std::uint64_t()> drops = {});

    // No further round once enough() holds at the end of one: a plan's devices have all
    // answered. The round itself still runs its course, so that the devices outside the plan
    // that hold its addresses are heard too.
    void StopWhen(std::function<bool()> enough) { enough_ = std::move(enough); }
    // Sends the first round; throws its send failure. Then call Wait.
    void Start();
    // Runs the event loop until the last round has ended.
    void Wait();
    // Start and Wait, with a live line on a terminal and the interfaces a send could not go
    // out of on stderr; throws the first round's send failure.
    void Run(const KvVRELClient& client);

    const DeviceIndex& Devices() const { return discovery_.Index(); }
    const std::map<std::string, int>& AnswersByInterface() const {
        return discovery_.AnswersByInterface();
    }
    int RoundsRun() const { return round_; }
    // The send failure of a later round, which ended the rounds early.
    const std::optional<std::pair<int, std::string>>& Failure() const { return failure_; }
    // When the running round's answer window closes at the latest.
    std::int64_t Deadline() const { return deadline_; }

private:
    void StartRound();
    void EndRound();
    void OnAdded();

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
