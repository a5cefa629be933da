#include "KvVRELRequest.h"

#include "Condition.h"
#include "DateTimeText.h"
#include "Exception.h"
#include "KvOptionList.h"
#include "NumberText.h"
#include "ResultCodes.h"
#include "ValueCodec.h"

#include <cctype>
#include <optional>

namespace vrel {

namespace {

QPointer<KvVRELClient> shared; // made by SetUp

// Reads the decimal digits from pos on and moves pos behind them; no digits give 0. An index
// too large for any list stays too large instead of wrapping into range.
std::size_t TakeIndex(const std::string& text, std::size_t& pos) {
    std::size_t index = 0;
    for (; pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])); ++pos) {
        if (index < 1000000)
            index = index * 10 + static_cast<std::size_t>(text[pos] - '0');
    }
    return index;
}

// Appends what a value stands for in a condition, by its value type. Texts are put between
// quotes of the condition's own; the value inside stays data, whatever bytes it holds.
void AppendReplacement(ConditionText& out, std::uint8_t type, const KvOptionList* options,
                       const std::string& shown, bool quoteTexts) {
    const std::string value = options != nullptr ? options->NameToValue(shown) : shown;
    if (type == kBool8 || type == kBool16 || type == kBool32)
        return out.AppendValue(value == "true" ? "1" : "0");
    if (type >= kInt8 && type <= kDouble) // the other integer types and the double
        return out.AppendValue(value);
    if (type == kTimeticks)
        return out.AppendValue(std::to_string(ticks_from_text(value)));
    if (type == kDatetime)
        return out.AppendValue(FormatFloat(ReadDateTime(value)));
    // No value type, addresses and strings: compared as quoted texts.
    if (!quoteTexts)
        RaiseVrel(kBadSyntax);
    out.AppendSyntax("\"");
    out.AppendValue(value);
    out.AppendSyntax("\"");
}

// Substitute, with every value held apart as data, for evaluation.
ConditionText SubstituteValues(const KvVRELVarList& variables, const std::string& expression,
                               bool quoteTexts, const std::string& marker) {
    ConditionText out;
    // The search goes on behind each marker in the expression, never in an inserted value, so
    // a value that holds the marker itself is taken as it stands.
    std::size_t from = 0;
    for (std::size_t at = marker.empty() ? std::string::npos : expression.find(marker);
         at != std::string::npos; at = expression.find(marker, from)) {
        out.AppendSyntax(std::string_view(expression).substr(from, at - from));
        from = at + marker.size();
        const std::size_t index = TakeIndex(expression, from);
        std::optional<std::size_t> sub;
        if (from < expression.size() && expression[from] == '.')
            sub = TakeIndex(expression, ++from);
        if (index >= static_cast<std::size_t>(variables.count()))
            RaiseVrel(kBadIndex);
        const KvVRELVar& var = variables.at(static_cast<int>(index));
        if (!sub) {
            AppendReplacement(out, var.valueType, var.optionList, var.value, quoteTexts);
            continue;
        }
        if (!var.responseVars || *sub >= static_cast<std::size_t>(var.responseVars->count()))
            RaiseVrel(kBadIndex);
        const KvVRELResponseVar& field = var.responseVars->at(static_cast<int>(*sub));
        AppendReplacement(out, field.valueType, field.optionList, field.value, quoteTexts);
    }
    out.AppendSyntax(std::string_view(expression).substr(from));
    return out;
}

} // namespace

void KvVRELRequest::SetUp(QObject* owner, const QHostAddress& destination) {
    shared = new KvVRELClient(owner, destination);
    DefaultTargetMac().clear();
    DefaultPassword().clear();
}

KvVRELClient* KvVRELRequest::SharedClient() {
    return shared.data();
}

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
    return SendThrough(kDiscover, std::move(callback));
}

int KvVRELRequest::GetAsync(VrelCompletion callback) {
    return SendThrough(kGet, std::move(callback));
}

int KvVRELRequest::SendThrough(std::uint8_t command, VrelCompletion callback) {
    KvVRELClient* through = Client();
    if (through == nullptr)
        RaiseVrel(kSocketError); // no socket to send on
    return through->Send(targetMac, password, variables, command, std::move(callback), timeout);
}

bool KvVRELRequest::CheckResponse() {
    return responseCondition.empty() || CheckCondition(responseCondition);
}

std::string KvVRELRequest::Substitute(const std::string& expression, bool quoteTexts,
                                      const std::string& marker) {
    return SubstituteValues(variables, expression, quoteTexts, marker).Text();
}

bool KvVRELRequest::CheckCondition(const std::string& expression) {
    if (expression.empty())
        return true;
    // Evaluated on the values held apart, not on Substitute's text: a value is data and must
    // not be read as a quote or an operator.
    return EvaluateCondition(SubstituteValues(variables, expression, true, "$"));
}

} // namespace vrel
