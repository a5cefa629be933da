#include "DeviceDiscovery.h"

#include "Exception.h"
#include "ResultCodes.h"
#include "VrelTables.h"

namespace vrel {

namespace {

constexpr const char* kEveryDevice = "FFFFFFFFFFFF";

// Response variable ids of the Discovery list.
constexpr std::uint8_t kIdProductCode = 235;
constexpr std::uint8_t kIdModelName = 1;
constexpr std::uint8_t kIdMacAddress = 2;
constexpr std::uint8_t kIdIpAddress = 3;
constexpr std::uint8_t kIdNetmask = 4;

std::string* FieldOf(Device& device, std::uint8_t id) {
    switch (id) {
    case kIdProductCode:
        return &device.productCode;
    case kIdModelName:
        return &device.modelName;
    case kIdMacAddress:
        return &device.macAddress;
    case kIdIpAddress:
        return &device.ipAddress;
    case kIdNetmask:
        return &device.netmask;
    default:
        return nullptr;
    }
}

} // namespace

void PrepareDiscover(KvVRELRequest& request) {
    const auto discovery = KvVRELVarList::create_from_definitions(DiscoveryVariables());
    request.variables.assign(*discovery);
    request.variables.name = "Discovery Table";
    request.targetMac = kEveryDevice;
    request.password.clear();
}

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
    if (!hasMac)
        return std::nullopt;
    return device;
}

bool DeviceMeetsCondition(KvVRELRequest& request, const Device& device) {
    PrepareDiscover(request);
    KvVRELResponseVarList& fields = *request.variables.at(0).responseVars;
    Device copy = device;
    for (int i = 0; i < fields.count(); ++i) {
        if (const std::string* text = FieldOf(copy, fields.at(i).id))
            fields.at(i).value = *text;
    }
    return request.CheckResponse();
}

DeviceDiscovery::DeviceDiscovery(KvVRELRequest& request, Handlers handlers)
    : request_(request), handlers_(std::move(handlers)) {}

int DeviceDiscovery::Start() {
    const std::weak_ptr<int> token = alive_;
    const int sequence =
        request_.DiscoverAsync([this, token](const KvVRELError& e, KvVRELVarList& vars) {
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
        if (handlers_.ended)
            handlers_.ended(completion.sequence);
        return;
    }
    ++answersByInterface_[completion.interfaceName];
    if (completion.code != 0)
        return;
    auto device = DeviceFromAnswer(variables);
    if (!Accepted(device ? device->macAddress : std::string()))
        return;
    if (!device) {
        if (handlers_.answered)
            handlers_.answered();
        return;
    }
    device->interfaceName = completion.interfaceName;
    device->interfaceIndex = completion.interfaceIndex;
    switch (index_.Add(*device)) {
    case DeviceIndex::Outcome::Added:
        if (handlers_.added)
            handlers_.added(*device);
        break;
    case DeviceIndex::Outcome::FirstConflict:
        if (handlers_.conflict)
            handlers_.conflict(*index_.Find(device->macAddress), *device);
        break;
    default:
        break;
    }
}

bool DeviceDiscovery::Accepted(const std::string& macAddress) {
    try {
        return request_.CheckResponse();
    } catch (const Exception& failure) {
        if (handlers_.rejected)
            handlers_.rejected(macAddress, failure.Message());
        return false;
    }
}

} // namespace vrel
