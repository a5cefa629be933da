#pragma once

#include "VerifiedSet.h"

#include <QObject>

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace vrel {

// Sets and verifies many devices at once, each with its own retries and check, a bounded
// number in flight: a site of hundreds of devices waits on time-outs, not on one device
// after the other. Rows finish in any order; whoever shows them keeps the plan's order.
class ParallelSets : public QObject {
    Q_OBJECT
public:
    // Distinct devices only: two rows for one MAC would race each other on the device.
    static constexpr int kDefaultInFlight = 64;

    using RowDone = std::function<void(std::size_t row, const SetOutcome& outcome)>;

    ParallelSets(KvVRELClient& client, std::vector<VerifiedSet::Target> targets,
                 VerifiedSet::Options options, RowDone rowDone, int inFlight = kDefaultInFlight,
                 QObject* parent = nullptr);

    // Starts the first rows; the rest start as rows finish. A row whose first Set cannot be
    // sent ends at once as not confirmed, with the send failure as its result.
    void Start();
    // No further row starts; rows in flight go on to their verdicts. Rows never started get
    // no outcome.
    void Cancel();

    std::size_t Total() const { return targets_.size(); }
    std::size_t Finished() const { return finished_; }
    // Every started row has its verdict and no row is left to start.
    bool Done() const;

signals:
    void AllDone();

private:
    void StartNext();
    void OnRowDone(std::size_t row, const SetOutcome& outcome);
    // AllDone, once.
    void AnnounceIfDone();

    KvVRELClient& client_;
    std::vector<VerifiedSet::Target> targets_;
    VerifiedSet::Options options_;
    RowDone rowDone_;
    int inFlightLimit_;
    int inFlight_ = 0;
    std::size_t next_ = 0;
    std::size_t finished_ = 0;
    bool cancelled_ = false;
    bool announced_ = false;
};

} // namespace vrel
