#include "VerifiedSet.h"

#include "Exception.h"
#include "Messages.h"
#include "ResultCodes.h"
#include "VrelTables.h"

#include <QPointer>

#include <algorithm>

namespace vrel {

namespace {

constexpr const char* kSetAction = "3";
// A device that answered with its old address may still be taking the new one; it is asked
// again after this pause rather than flooded.
constexpr int kRepeatPauseMs = 200;

// A completion that does nothing once the object it belongs to is gone: the client keeps a
// request for its whole time-out, possibly longer than the one who sent it.
template <class F> VrelCompletion Guard(VerifiedSet* self, F method) {
    QPointer<VerifiedSet> alive(self);
    return [alive, method](const KvVRELError& e, KvVRELVarList& vars) {
        if (alive)
            (alive.data()->*method)(e, vars);
    };
}

} // namespace

const char* VerdictName(SetVerdict verdict) {
    static const char* const names[] = {
        "verified", "applied, answer lost", "not confirmed",
        "refused",  "not verified",         "acknowledged, not verified",
    };
    return names[static_cast<int>(verdict)];
}

bool VerdictSucceeded(SetVerdict verdict) {
    return verdict != SetVerdict::kNotConfirmed && verdict != SetVerdict::kRefused;
}

std::string VerdictLine(const std::string& mac, const std::string& ip, const std::string& netmask,
                        const SetOutcome& outcome) {
    const auto answers = [](const std::string& a, const std::string& m) {
        return "answers with IP address " + a + ", netmask " + m;
    };
    std::string line = mac + ": " + VerdictName(outcome.verdict);
    switch (outcome.verdict) {
    case SetVerdict::kVerified:
        return line + ", " + answers(ip, netmask);
    case SetVerdict::kAppliedAnswerLost:
        return line + " (" + std::to_string(outcome.attempts) + " Sets unanswered), " +
               answers(ip, netmask);
    case SetVerdict::kNotConfirmed:
        if (outcome.seenIp.empty())
            return line + ", the device did not answer when asked for its address";
        return line + ", still " + answers(outcome.seenIp, outcome.seenNetmask);
    case SetVerdict::kRefused:
        return line + ", " + MessageForCode(outcome.setCode);
    case SetVerdict::kNotVerified:
        return line + ", the device was not asked afterwards";
    case SetVerdict::kAcknowledged:
        return line + ", the device answered the Set with \"ok\" and then not when asked for its "
                      "address (devices often restart their network after a change)";
    }
    return line;
}

VerifiedSet::VerifiedSet(KvVRELClient& client, Target target, Options options, Finished finished,
                         QObject* parent)
    : QObject(parent), client_(client), target_(std::move(target)), options_(options),
      finished_(std::move(finished)) {
    if (!options_.verify)
        options_.retries = 0;
    pause_.setSingleShot(true);
    pause_.setInterval(kRepeatPauseMs);
    connect(&pause_, &QTimer::timeout, this, &VerifiedSet::SendGet);
}

void VerifiedSet::Start() {
    auto vars = KvVRELVarList::create_from_definitions(SetVariables);
    vars->at(0).value = target_.ip;
    vars->at(1).value = target_.netmask;
    vars->at(2).value = kSetAction;
    client_.Send(target_.mac, target_.password, *vars, kSet, Guard(this, &VerifiedSet::OnSetAnswer),
                 options_.setTimeout, target_.interfaceIndex);
    ++outcome_.attempts;
}

void VerifiedSet::OnSetAnswer(const KvVRELError& e, KvVRELVarList&) {
    outcome_.setCode = e.code;
    outcome_.setMessage = e.message;
    outcome_.setInterfaceName = e.interfaceName;
    if (e.code == kTimeout && outcome_.attempts <= options_.retries) {
        try {
            Start();
            return;
        } catch (const Exception&) {
            // The socket failed between two sends; the time-out stands as the last word.
        }
    }
    if (e.code != 0 && e.code != kTimeout)
        return Finish(SetVerdict::kRefused);
    if (!options_.verify)
        return Finish(e.code == 0 ? SetVerdict::kNotVerified : SetVerdict::kNotConfirmed);
    checkDeadline_ = KvVRELClient::TickCount() + options_.checkMs;
    SendGet();
}

void VerifiedSet::SendGet() {
    const std::int64_t left = checkDeadline_ - KvVRELClient::TickCount();
    if (left <= 0)
        return Finish(CheckEnded());
    const auto timeout = static_cast<std::uint32_t>(
        std::clamp<std::int64_t>((left + 9) / 10, 1, options_.getTimeout));
    // A Get of the Set's list reads its two readable variables: IP address and netmask.
    const auto vars = KvVRELVarList::create_from_definitions(SetVariables);
    try {
        client_.Send(target_.mac, target_.password, *vars, kGet,
                     Guard(this, &VerifiedSet::OnGetAnswer), timeout, target_.interfaceIndex);
    } catch (const Exception&) {
        Finish(CheckEnded());
    }
}

// The check window closed without the new address seen. A device that said "ok" and then kept
// quiet is most likely restarting its network; one that answers otherwise has not taken the Set.
SetVerdict VerifiedSet::CheckEnded() const {
    return outcome_.setCode == 0 && outcome_.seenIp.empty() ? SetVerdict::kAcknowledged
                                                            : SetVerdict::kNotConfirmed;
}

void VerifiedSet::OnGetAnswer(const KvVRELError& e, KvVRELVarList& vars) {
    if (e.code == 0) {
        outcome_.seenIp = vars.at(0).value;
        outcome_.seenNetmask = vars.at(1).value;
        if (outcome_.seenIp == target_.ip && outcome_.seenNetmask == target_.netmask)
            return Finish(outcome_.setCode == 0 ? SetVerdict::kVerified
                                                : SetVerdict::kAppliedAnswerLost);
    }
    // A time-out has waited already; any other answer is asked again after a pause.
    if (e.code == kTimeout)
        SendGet();
    else
        pause_.start();
}

void VerifiedSet::Finish(SetVerdict verdict) {
    if (done_)
        return;
    done_ = true;
    outcome_.verdict = verdict;
    if (finished_)
        finished_(outcome_);
}

} // namespace vrel
