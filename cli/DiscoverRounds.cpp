#include "DiscoverRounds.h"

#include "CliSession.h"
#include "Exception.h"

#include <iostream>

namespace vrel::cli {

OwnDiscover::OwnDiscover(const QHostAddress& destination,
                         const std::vector<std::string>& interfaces, std::uint32_t timeout)
    : client(nullptr, destination) {
    client.SetInterfaceNames(interfaces);
    request.client = &client;
    PrepareDiscover(request);
    request.timeout = timeout;
}

DiscoverRounds::DiscoverRounds(KvVRELRequest& request, int rounds, int quietMs,
                               std::function<std::uint64_t()> drops)
    : request_(request),
      discovery_(request, {
                              [this](const Device&) {
                                  ++newThisRound_;
                                  if (quietMs_ > 0 && quiet_.isActive())
                                      quiet_.start(quietMs_);
                              },
                              [](const Device& listed, const Device& other) {
                                  std::cerr << "vrel: " << ConflictText(listed, other) << "\n";
                              },
                              [](const std::string& mac, const std::string& message) {
                                  std::cerr << "vrel: answer from " << mac << ": " << message
                                            << "\n";
                              },
                              [this](int sequence) {
                                  if (sequence == sequence_)
                                      EndRound();
                              },
                              {},
                          }),
      rounds_(rounds), quietMs_(quietMs), drops_(std::move(drops)) {
    quiet_.setSingleShot(true);
    QObject::connect(&quiet_, &QTimer::timeout, &loop_, [this] { EndRound(); });
}

void DiscoverRounds::Run() {
    TellSendFailures(*request_.client, [this] { StartRound(); });
    ProgressLine progress([&] {
        const std::string round = rounds_ > 1 ? "round " + std::to_string(round_) + ", " : "";
        return "Discovering... " + round + std::to_string(Devices().Count()) + " devices, " +
               std::to_string(SecondsLeft(deadline_)) + " s left";
    });
    loop_.exec();
    // The last round may have ended before its answer window closed: nobody waits for it.
    quiet_.stop();
    discovery_.AbandonRunning();
}

void DiscoverRounds::StartRound() {
    newThisRound_ = 0;
    dropsBeforeRound_ = drops_ ? drops_() : 0;
    sequence_ = discovery_.Start();
    ++round_;
    deadline_ = KvVRELClient::TickCount() + static_cast<std::int64_t>(request_.timeout) * 10;
    if (quietMs_ > 0)
        quiet_.start(quietMs_);
}

void DiscoverRounds::EndRound() {
    quiet_.stop();
    sequence_ = -1; // answers still coming for it count, its end no longer does
    const bool dropped = drops_ && drops_() > dropsBeforeRound_;
    if ((enough_ && enough_()) || round_ >= rounds_ || (newThisRound_ == 0 && !dropped)) {
        loop_.quit();
        return;
    }
    try {
        StartRound();
    } catch (const Exception& e) {
        failure_.emplace(e.HelpContext(), e.Message());
        loop_.quit();
    }
}

} // namespace vrel::cli
