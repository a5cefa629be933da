#include "KvVRELRequest.h"

#include "Condition.h"
#include "DateTimeText.h"
#include "Exception.h"
#include "KvOptionList.h"
#include "NumberText.h"
#include "ValueCodec.h"
#include "VrelTypes.h"

#include <cctype>

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

namespace {

constexpr int kBadIndex = -1016;
constexpr int kBadSyntax = -1017;

// Reads the decimal digits at pos and erases them; no digits give 0. An index too large for
// any list stays too large instead of wrapping into range.
std::size_t TakeIndex(std::string& text, std::size_t pos) {
    std::size_t end = pos;
    std::size_t index = 0;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) {
        if (index < 1000000)
            index = index * 10 + static_cast<std::size_t>(text[end] - '0');
        ++end;
    }
    text.erase(pos, end - pos);
    return index;
}

// The text a value stands for in a condition, by its value type.
std::string Replacement(std::uint8_t type, const std::string& value, bool quoteTexts) {
    switch (type) {
    case kBool8:
    case kBool16:
    case kBool32:
        return value == "true" ? "1" : "0";
    case kInt8:
    case kUint8:
    case kInt16:
    case kUint16:
    case kInt32:
    case kUint32:
    case kDouble:
        return value;
    case kTimeticks:
        return std::to_string(ticks_from_text(value));
    case kDatetime:
        return FormatFloat(ReadDateTime(value));
    default: // no value type, addresses and strings: compared as quoted texts
        if (!quoteTexts)
            RaiseVrel(kBadSyntax);
        return "\"" + value + "\"";
    }
}

std::string Translated(const KvOptionList* options, const std::string& value) {
    return options != nullptr ? options->NameToValue(value) : value;
}

} // namespace

std::string KvVRELRequest::Substitute(const std::string& expression, bool quoteTexts,
                                      const std::string& marker) {
    std::string text = expression;
    if (marker.empty())
        return text;
    // The search goes on behind each inserted value, so a value that holds the marker itself
    // is taken as it stands and never substituted again.
    std::size_t from = 0;
    for (std::size_t at = text.find(marker); at != std::string::npos;
         at = text.find(marker, from)) {
        text.erase(at, marker.size());
        const std::size_t index = TakeIndex(text, at);
        bool hasSub = false;
        std::size_t sub = 0;
        if (at < text.size() && text[at] == '.') {
            text.erase(at, 1);
            hasSub = true;
            sub = TakeIndex(text, at);
        }
        if (index >= static_cast<std::size_t>(variables.count()))
            RaiseVrel(kBadIndex);
        const KvVRELVar& var = variables.at(static_cast<int>(index));
        std::string replacement;
        if (hasSub) {
            if (!var.responseVars || sub >= static_cast<std::size_t>(var.responseVars->count()))
                RaiseVrel(kBadIndex);
            const KvVRELResponseVar& field = var.responseVars->at(static_cast<int>(sub));
            replacement = Replacement(field.valueType, Translated(field.optionList, field.value),
                                      quoteTexts);
        } else {
            replacement =
                Replacement(var.valueType, Translated(var.optionList, var.value), quoteTexts);
        }
        text.insert(at, replacement);
        from = at + replacement.size();
    }
    return text;
}

bool KvVRELRequest::CheckCondition(const std::string& expression) {
    if (expression.empty())
        return true;
    return EvaluateCondition(Substitute(expression, true, "$"));
}

} // namespace vrel
