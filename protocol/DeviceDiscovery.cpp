#include "DeviceDiscovery.h"

#include "Exception.h"
#include "ResultCodes.h"

namespace vrel {

DeviceDiscovery::DeviceDiscovery(KvVRELRequest& request, Handlers handlers)
    : request_(request), handlers_(std::move(handlers)) {}

int DeviceDiscovery::Start() {
    const std::weak_ptr<int> token = alive_;
    const int sequence =
        request_.DiscoverAsync([this, token](const KvVRELError& e, KvVRELVarList& vars) {
            if (token.expired())
                return;
            if (e.code == kTimeout)
                running_.erase(e.sequence);
            OnCompletion(e, vars);
        });
    running_.insert(sequence);
    return sequence;
}

void DeviceDiscovery::AbandonRunning() {
    if (KvVRELClient* client = KvVRELRequest::SharedClient()) {
        for (const int sequence : running_)
            client->Abandon(static_cast<std::uint8_t>(sequence));
    }
    running_.clear();
    alive_ = std::make_shared<int>(0); // completions of the abandoned ones find no receiver
}

void DeviceDiscovery::OnCompletion(const KvVRELError& completion, KvVRELVarList& variables) {
    request_.variables.assign(variables);
    if (completion.code == kTimeout) {
        if (handlers_.ended)
            handlers_.ended(completion.sequence);
        return;
    }
    ++answersByInterface_[completion.interfaceName];
    if (completion.code != 0)
        return;
    auto device = DeviceViewFromAnswer(variables);
    if (!device)
        return;
    device->interfaceName = completion.interfaceName;
    try {
        if (!request_.CheckResponse())
            return;
    } catch (const Exception& failure) {
        if (handlers_.rejected)
            handlers_.rejected(std::string(device->macAddress), failure.Message());
        return;
    }
    Offer(*device);
}

DeviceIndex::Outcome DeviceDiscovery::Offer(const DeviceView& device) {
    const DeviceIndex::Outcome outcome = index_.Add(device);
    if (outcome == DeviceIndex::Outcome::Added && handlers_.added)
        handlers_.added(index_.Devices().back());
    else if (outcome == DeviceIndex::Outcome::FirstConflict && handlers_.conflict)
        handlers_.conflict(*index_.Find(device.macAddress), device);
    return outcome;
}

} // namespace vrel
