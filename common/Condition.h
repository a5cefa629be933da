#pragma once

#include "DateTimeText.h"

#include <string>
#include <string_view>
#include <vector>

namespace vrel {

// The current date-time value that "NOW" stands for.
using ConditionClock = double (*)();

// A condition with the answer's values put in, each held apart from the user's characters: a
// device chooses its values, so no byte of one may act as a quote, operator or keyword.
class ConditionText {
public:
    ConditionText() = default;
    explicit ConditionText(std::string_view syntax) { AppendSyntax(syntax); }

    void AppendSyntax(std::string_view text);
    void AppendValue(std::string_view value);
    // The condition as one text, each value written where it stands.
    std::string Text() const;

private:
    friend bool EvaluateCondition(const ConditionText& condition, ConditionClock clock);

    // The user's characters with '\0' (no operator, quote or letter) for each value.
    std::string shape_;
    // Per shape_ character: -1 for the user's, else the index of the value it stands for.
    std::vector<int> slots_;
    std::vector<std::string> values_;
};

// Evaluates a response condition such as `$3="PLC"&($1>=10|!$2=0)` in time linear in it: "|"
// (lowest), "&", prefix "!" and parentheses over comparisons (<> >= <= > < =) and the literals
// true/false. Operands compare as texts, so 10<9 holds. Double quotes pair from the left; an
// operator or parenthesis between a pair is text, as is a parenthesis without a partner. The
// clock is read once, at the first NOW. Throws the common failure -1 (bad logic operand) for an
// operand that is neither a comparison nor a literal, an empty one included.
bool EvaluateCondition(const ConditionText& condition, ConditionClock clock = NowAsDateTime);

} // namespace vrel
