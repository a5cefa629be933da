#include "ParallelSets.h"

#include "Exception.h"

namespace vrel {

ParallelSets::ParallelSets(KvVRELClient& client, std::vector<VerifiedSet::Target> targets,
                           VerifiedSet::Options options, RowDone rowDone, int inFlight,
                           QObject* parent)
    : QObject(parent), client_(client), targets_(std::move(targets)), options_(options),
      rowDone_(std::move(rowDone)), inFlightLimit_(std::max(1, inFlight)) {}

void ParallelSets::Start() {
    StartNext();
    AnnounceIfDone();
}

void ParallelSets::Cancel() {
    cancelled_ = true;
    AnnounceIfDone();
}

void ParallelSets::AnnounceIfDone() {
    if (!Done() || announced_)
        return;
    announced_ = true;
    emit AllDone();
}

bool ParallelSets::Done() const {
    return inFlight_ == 0 && (cancelled_ || next_ >= targets_.size());
}

void ParallelSets::StartNext() {
    while (!cancelled_ && inFlight_ < inFlightLimit_ && next_ < targets_.size()) {
        const std::size_t row = next_++;
        ++inFlight_;
        // A child: deleted later once its verdict is in, never inside its own callback.
        auto* set = new VerifiedSet(client_, targets_[row], options_, {}, this);
        set->SetFinished([this, row, set](const SetOutcome& outcome) {
            set->deleteLater();
            OnRowDone(row, outcome);
        });
        try {
            set->Start();
        } catch (const Exception& e) {
            SetOutcome failed;
            failed.setCode = e.HelpContext();
            failed.setMessage = e.Message();
            set->deleteLater();
            OnRowDone(row, failed);
        }
    }
}

void ParallelSets::OnRowDone(std::size_t row, const SetOutcome& outcome) {
    --inFlight_;
    ++finished_;
    if (rowDone_)
        rowDone_(row, outcome);
    StartNext();
    AnnounceIfDone();
}

} // namespace vrel
