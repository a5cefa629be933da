#pragma once

#include "KvVRELClient.h"

#include <QTimer>

namespace vrel {

// How a Set ended, as the user is told; VerdictName's table follows this order.
enum class SetVerdict {
    kVerified,          // the device answered the Set and now reports the new address
    kAppliedAnswerLost, // no answer to the Set, but the device now reports the new address
    kNotConfirmed,      // the new address could not be seen on the device
    kRefused,           // the device answered the Set with a failure (password, not done)
    kNotVerified,       // the device answered the Set and nobody asked it afterwards
    kAcknowledged,      // the device answered the Set, then not when asked for its address
};

// The words of reports and JSON: "verified", "applied, answer lost", ...
const char* VerdictName(SetVerdict verdict);
// True when the device may be taken to hold the new address.
bool VerdictSucceeded(SetVerdict verdict);

struct SetOutcome {
    SetVerdict verdict = SetVerdict::kNotConfirmed;
    // The last Set exchange: result (0, -1014 or the device's failure), its catalogue text and
    // the interface the answer arrived on (empty when it timed out).
    int setCode = 0;
    std::string setMessage;
    std::string setInterfaceName;
    int attempts = 0; // Set datagrams sent
    // What the device last reported when asked, empty when it never answered.
    std::string seenIp, seenNetmask;
};

// One line on how the Set of ip and netmask into mac ended, such as
// "0A0000000001: verified, answers with IP address 10.0.0.7, netmask 255.255.255.0".
std::string VerdictLine(const std::string& mac, const std::string& ip, const std::string& netmask,
                        const SetOutcome& outcome);

// A Set of a device's IP address and netmask that times out is sent again (it is idempotent);
// after the "ok" or the last time-out, Gets ask for the address until it is the new one or the
// check window ends. Lost answers are common on busy segments: a bare time-out says little.
class VerifiedSet : public QObject {
    Q_OBJECT
public:
    struct Target {
        std::string mac, password, ip, netmask;
        int interfaceIndex = 0; // the interface the device was listed on; 0: every interface
    };
    struct Options {
        std::uint32_t setTimeout = 300; // 10 ms units, per Set datagram
        int retries = 2;                // further Sets after a time-out
        bool verify = true;             // false: one Set exchange, as the bare protocol has it
        int checkMs = 3000;             // how long the device is asked for its address
        std::uint32_t getTimeout = 50;  // 10 ms units, per Get of the check
    };
    // Called once, when the verdict is known.
    using Finished = std::function<void(const SetOutcome&)>;

    VerifiedSet(KvVRELClient& client, Target target, Options options, Finished finished,
                QObject* parent = nullptr);

    // For an owner that names the object in its callback.
    void SetFinished(Finished finished) { finished_ = std::move(finished); }
    // Sends the Set; a send failure is thrown (vrel::Exception), and then no callback runs.
    void Start();
    const SetOutcome& Outcome() const { return outcome_; }
    bool Done() const { return done_; }

private:
    void OnSetAnswer(const KvVRELError& e, KvVRELVarList& vars);
    void SendGet();
    void OnGetAnswer(const KvVRELError& e, KvVRELVarList& vars);
    void Finish(SetVerdict verdict);
    SetVerdict CheckEnded() const;

    KvVRELClient& client_;
    Target target_;
    Options options_;
    Finished finished_;
    SetOutcome outcome_;
    std::int64_t checkDeadline_ = 0;
    QTimer pause_;
    bool done_ = false;
};

} // namespace vrel
