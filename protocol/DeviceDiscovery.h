#pragma once

#include "DeviceIndex.h"
#include "KvVRELRequest.h"

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

namespace vrel {

// Runs Discovers through a command object and hands out each device once: one per MAC
// address, the first answer winning, in the order of first answers, across any number of
// Discovers until Clear. The command line and the window's presenter both take their devices
// from here.
class DeviceDiscovery {
public:
    struct Handlers {
        // A device with a MAC address not seen before.
        std::function<void(const DeviceView&)> added;
        // An answer that contradicts the listed device with its MAC address; once per MAC.
        std::function<void(const DeviceView& listed, const DeviceView& other)> conflict;
        // The response condition could not be evaluated on an answer, which is left out.
        std::function<void(const std::string& macAddress, const std::string& message)> rejected;
        // The answer window of the Discover with this sequence number has closed.
        std::function<void(int sequence)> ended;
    };

    DeviceDiscovery(KvVRELRequest& request, Handlers handlers);

    // Broadcasts a Discover with the command object's target, password and time-out, and
    // returns its sequence number. Throws the send failure; no Discover is then running.
    int Start();
    // One decoded answer, whoever sent the request. Checks the response condition.
    void OnCompletion(const KvVRELError& completion, KvVRELVarList& variables);
    // One device, already accepted: listed, dropped as a repeat, or reported as a conflict.
    DeviceIndex::Outcome Offer(const DeviceView& device);
    void Clear() { index_.Clear(); }
    // Forgets the Discovers still running, so that nobody waits out their answer windows;
    // answers that still come are ignored.
    void AbandonRunning();

    const DeviceIndex& Index() const { return index_; }
    // Answers taken, refused ones included, by the interface they came in on.
    const std::map<std::string, int>& AnswersByInterface() const { return answersByInterface_; }
    // Discovers started here whose answer window is still open.
    int Running() const { return static_cast<int>(running_.size()); }

private:
    KvVRELRequest& request_;
    Handlers handlers_;
    DeviceIndex index_;
    std::map<std::string, int> answersByInterface_;
    std::set<int> running_; // sequence numbers
    // Completions can come after this object is gone (the client drains on destruction).
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace vrel
