#include "KvVRELRequest.h"

#include "Exception.h"

namespace vrel {

namespace {

QPointer<KvVRELClient>& Shared() {
    static QPointer<KvVRELClient> client;
    return client;
}

} // namespace

KvVRELRequest::KvVRELRequest() { ReloadDefaults(); }

void KvVRELRequest::SetUp(QObject* owner, const QHostAddress& destination) {
    Shared() = new KvVRELClient(owner, destination);
    DefaultTargetMac().clear();
    DefaultPassword().clear();
}

KvVRELClient* KvVRELRequest::SharedClient() { return Shared().data(); }

std::string& KvVRELRequest::DefaultTargetMac() {
    static std::string mac;
    return mac;
}

std::string& KvVRELRequest::DefaultPassword() {
    static std::string password;
    return password;
}

void KvVRELRequest::ReloadDefaults() {
    targetMac = DefaultTargetMac();
    password = DefaultPassword();
}

int KvVRELRequest::DiscoverAsync(VrelCompletion callback) {
    return SendThroughShared(kDiscover, std::move(callback));
}

int KvVRELRequest::GetAsync(VrelCompletion callback) {
    return SendThroughShared(kGet, std::move(callback));
}

int KvVRELRequest::SendThroughShared(std::uint8_t command, VrelCompletion callback) {
    KvVRELClient* client = SharedClient();
    if (client == nullptr)
        RaiseVrel(-1009); // no socket to send on
    return client->Send(targetMac, password, variables, command, std::move(callback), timeout);
}

bool KvVRELRequest::CheckResponse() {
    if (responseCondition.empty())
        return true;
    return CheckCondition(responseCondition);
}

std::string KvVRELRequest::Substitute(const std::string& expression, bool, const std::string&) {
    return expression;
}

bool KvVRELRequest::CheckCondition(const std::string& expression) { return expression.empty(); }

} // namespace vrel
