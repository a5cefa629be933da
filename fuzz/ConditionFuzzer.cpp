// The condition evaluator on any text, with the property that makes --where safe to use on
// answers from unknown devices: a value is data. Put in front of a condition as a finished
// "or" operand, no value may change what the condition evaluates to.
#include "Condition.h"
#include "Exception.h"
#include "FuzzInput.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

enum class Outcome { False, True, BadOperand };

// A fixed moment: the evaluations compared below must not see the clock move between them,
// or NOW>x with x at the current second would flip from one to the next.
double FixedNow() {
    return 46364.5;
}

Outcome Evaluate(const vrel::ConditionText& condition) {
    try {
        return vrel::EvaluateCondition(condition, FixedNow) ? Outcome::True : Outcome::False;
    } catch (const vrel::Exception& e) {
        if (e.HelpContext() != -1)
            std::abort(); // the evaluator has no other failure
        return Outcome::BadOperand;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vrel::fuzz::FuzzInput input(data, size);
    const std::string value = input.Next();
    const std::string user = input.Rest();

    const vrel::ConditionText alone(user);
    const Outcome expected = Evaluate(alone);

    // "V"=x&false| is false whatever V holds, and the text behind the "|" is the condition
    // itself: the value must neither split, group, quote nor end anything.
    vrel::ConditionText guarded;
    guarded.AppendSyntax("\"");
    guarded.AppendValue(value);
    guarded.AppendSyntax("\"=x&false|");
    guarded.AppendSyntax(user);
    if (Evaluate(guarded) != expected)
        std::abort();

    // A value compared with itself is equal, whatever bytes it holds.
    vrel::ConditionText same;
    for (int side = 0; side < 2; ++side) {
        same.AppendSyntax(side == 0 ? "\"" : "=\"");
        same.AppendValue(value);
        same.AppendSyntax("\"");
    }
    if (Evaluate(same) != Outcome::True)
        std::abort();
    return 0;
}
