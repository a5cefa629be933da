#pragma once

#include "DeviceIndex.h"
#include "KvVRELRequest.h"

#include <functional>
#include <map>
#include <memory>
#include <set>

namespace vrel {

// Makes request a Discover to every device: the Discovery list, target every device, no password.
void PrepareDiscover(KvVRELRequest& request);

// Whether a listed device meets the request's response condition, as its answer did or would
// have: its texts go back into the Discovery list. Throws the condition's failure.
bool DeviceMeetsCondition(KvVRELRequest& request, const Device& device);

// Runs Discovers and hands out each device once per MAC address, the first answer winning,
// across Discovers until the index is cleared.
class DeviceDiscovery {
public:
    // Every handler but answered must be given.
    struct Handlers {
        // A device with a MAC address not seen before; the request's variables hold its answer.
        std::function<void(const Device&)> added;
        // An answer that contradicts the listed device with its MAC address; once per MAC.
        std::function<void(const Device& listed, const Device& other)> conflict;
        // The response condition could not be evaluated on an answer, which is left out.
        std::function<void(const std::string& macAddress, const std::string& message)> rejected;
        // The answer window of the Discover with this sequence number has closed.
        std::function<void(int sequence)> ended;
        // An accepted answer of another list than the Discovery list, in the request.
        std::function<void()> answered;
    };

    DeviceDiscovery(KvVRELRequest& request, Handlers handlers)
        : request_(request), handlers_(std::move(handlers)) {}

    // Broadcasts a Discover and returns its sequence number. Throws the send failure.
    int Start();
    void OnCompletion(const KvVRELError& completion, KvVRELVarList& variables);
    // Forgets the Discovers still running; answers that still come are ignored.
    void AbandonRunning();

    DeviceIndex& Index() { return index_; }
    const DeviceIndex& Index() const { return index_; }
    // Answers taken, refused ones included, by the interface they came in on.
    const std::map<std::string, int>& AnswersByInterface() const { return answersByInterface_; }

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
