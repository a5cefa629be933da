#include "DeviceDiscovery.h"

#include "Exception.h"
#include "ResultCodes.h"
#include "VrelTables.h"

#include <algorithm>
#include <utility>

namespace vrel {

namespace {

constexpr const char* kEveryDevice = "FFFFFFFFFFFF";

// Response variable ids of the Discovery list, and the device field each carries.
constexpr std::uint8_t kIdMacAddress = 2;
using Field = std::pair<std::uint8_t, std::string Device::*>;
constexpr Field kFields[] = {
    {235, &Device::productCode}, {1, &Device::modelName}, {kIdMacAddress, &Device::macAddress},
    {3, &Device::ipAddress},     {4, &Device::netmask},
};

template <class D> auto FieldOf(D& device, std::uint8_t id) -> decltype(&device.productCode) {
    const auto field = std::ranges::find(kFields, id, &Field::first);
    return field == std::end(kFields) ? nullptr : &(device.*field->second);
}

// The device of an answer decoded into the Discovery list (one structured variable whose
// response variables carry the device's fields); nothing for any other list.
std::optional<Device> DeviceFromAnswer(const KvVRELVarList& vars) {
    if (vars.count() != 1 || !vars.at(0).responseVars)
        return std::nullopt;
    const KvVRELResponseVarList& fields = *vars.at(0).responseVars;
    Device device;
    bool hasMac = false;
    for (int i = 0; i < fields.count(); ++i) {
        const KvVRELResponseVar& field = fields.at(i);
        if (std::string* text = FieldOf(device, field.id))
            *text = field.value;
        hasMac = hasMac || field.id == kIdMacAddress;
    }
    return hasMac ? std::optional<Device>(std::move(device)) : std::nullopt;
}

} // namespace

void PrepareDiscover(KvVRELRequest& request) {
    request.variables.assign(*KvVRELVarList::create_from_definitions(DiscoveryVariables()));
    request.variables.name = "Discovery Table";
    request.targetMac = kEveryDevice;
    request.password.clear();
}

bool DeviceMeetsCondition(KvVRELRequest& request, const Device& device) {
    PrepareDiscover(request);
    KvVRELResponseVarList& fields = *request.variables.at(0).responseVars;
    for (int i = 0; i < fields.count(); ++i) {
        if (const std::string* text = FieldOf(device, fields.at(i).id))
            fields.at(i).value = *text;
    }
    return request.CheckResponse();
}

int DeviceDiscovery::Start() {
    const int sequence = request_.DiscoverAsync(
        [this, token = std::weak_ptr<int>(alive_)](const KvVRELError& e, KvVRELVarList& vars) {
            if (!token.expired())
                OnCompletion(e, vars);
        });
    running_.insert(sequence);
    return sequence;
}

void DeviceDiscovery::AbandonRunning() {
    if (KvVRELClient* client = request_.Client()) {
        for (const int sequence : running_)
            client->Abandon(static_cast<std::uint8_t>(sequence));
    }
    running_.clear();
    alive_ = std::make_shared<int>(0); // completions of the abandoned ones find no receiver
}

void DeviceDiscovery::OnCompletion(const KvVRELError& completion, KvVRELVarList& variables) {
    request_.variables.assign(variables);
    if (completion.code == kTimeout) {
        running_.erase(completion.sequence);
        handlers_.ended(completion.sequence);
        return;
    }
    ++answersByInterface_[completion.interfaceName];
    if (completion.code != 0)
        return;
    auto device = DeviceFromAnswer(variables);
    try {
        if (!request_.CheckResponse())
            return;
    } catch (const Exception& failure) {
        handlers_.rejected(device ? device->macAddress : std::string(), failure.Message());
        return;
    }
    if (!device) {
        if (handlers_.answered)
            handlers_.answered();
        return;
    }
    device->interfaceName = completion.interfaceName;
    device->interfaceIndex = completion.interfaceIndex;
    const DeviceIndex::Outcome outcome = index_.Add(*device);
    if (outcome == DeviceIndex::Outcome::Added)
        handlers_.added(*device);
    else if (outcome == DeviceIndex::Outcome::FirstConflict)
        handlers_.conflict(*index_.Find(device->macAddress), *device);
}

} // namespace vrel
