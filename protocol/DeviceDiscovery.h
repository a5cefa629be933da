#pragma once

#include "DeviceIndex.h"
#include "KvVRELRequest.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace vrel {

// Makes request a Discover to every device: the Discovery list, the target "every device",
// no password. Whatever lists devices starts from this.
void PrepareDiscover(KvVRELRequest& request);

// The device of an answer decoded into the Discovery list (one structured variable whose
// response variables carry the device's fields); nothing for any other list.
std::optional<Device> DeviceFromAnswer(const KvVRELVarList& vars);

// Whether a listed device meets the request's response condition, as its answer did or would
// have: the device's texts are put back into the Discovery list and the condition evaluated
// on them. Throws the condition's failure.
bool DeviceMeetsCondition(KvVRELRequest& request, const Device& device);

// Runs Discovers through a command object and hands out each device once: one per MAC
// address, the first answer winning, in the order of first answers, across any number of
// Discovers until Clear. The one path from a Discover's completions to a device list: the
// command line, apply and the window's presenter all take their devices from here.
class DeviceDiscovery {
public:
    struct Handlers {
        // A device with a MAC address not seen before; the request's variables hold its answer.
        std::function<void(const Device&)> added;
        // An answer that contradicts the listed device with its MAC address; once per MAC.
        std::function<void(const Device& listed, const Device& other)> conflict;
        // The response condition could not be evaluated on an answer, which is left out.
        std::function<void(const std::string& macAddress, const std::string& message)> rejected;
        // The answer window of the Discover with this sequence number has closed.
        std::function<void(int sequence)> ended;
        // An accepted answer to a Discover of another variable list than the Discovery list:
        // no device to list, the request's variables hold it as it came.
        std::function<void()> answered;
    };

    DeviceDiscovery(KvVRELRequest& request, Handlers handlers);

    // Broadcasts a Discover with the command object's target, password and time-out, and
    // returns its sequence number. Throws the send failure; no Discover is then running.
    int Start();
    // One completion of a Discover, whoever sent it: every answer and the end of the answer
    // window come through here.
    void OnCompletion(const KvVRELError& completion, KvVRELVarList& variables);
    void Clear() { index_.Clear(); }
    // A Set the listed device took; false when it is not listed.
    bool SetAddress(std::string_view mac, const std::string& ip, const std::string& netmask) {
        return index_.SetAddress(mac, ip, netmask);
    }
    // Forgets the Discovers still running, so that nobody waits out their answer windows;
    // answers that still come are ignored.
    void AbandonRunning();

    const DeviceIndex& Index() const { return index_; }
    // Answers taken, refused ones included, by the interface they came in on.
    const std::map<std::string, int>& AnswersByInterface() const { return answersByInterface_; }
    // Discovers started here whose answer window is still open.
    int Running() const { return static_cast<int>(running_.size()); }

private:
    bool Accepted(const std::string& macAddress);

    KvVRELRequest& request_;
    Handlers handlers_;
    DeviceIndex index_;
    std::map<std::string, int> answersByInterface_;
    std::set<int> running_; // sequence numbers
    // Completions can come after this object is gone (the client drains on destruction).
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace vrel
