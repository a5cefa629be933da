#pragma once

#include "DateTimeText.h"

#include <string>
#include <string_view>
#include <vector>

namespace vrel {

// A condition with the answer's values put in, each value held apart from the user's
// characters. A device chooses its values, so no byte of a value may ever act as a quote,
// operator, parenthesis, literal or keyword: the evaluator sees a value as one inert
// placeholder and reads its bytes only when it compares them.
class ConditionText {
public:
    ConditionText() = default;
    explicit ConditionText(std::string_view syntax) { AppendSyntax(syntax); }

    // Characters of the user's condition.
    void AppendSyntax(std::string_view text);
    // A value of the answer, taken as data.
    void AppendValue(std::string_view value);
    // The condition as one text, each value written where it stands.
    std::string Text() const;

    // Stands for a value in Shape(); never an operator, quote or letter of a literal.
    static constexpr char kValueMark = '\0';
    // The user's characters with kValueMark in place of each value.
    const std::string& Shape() const { return shape_; }
    // Per Shape() character: -1 for the user's, else the index of the value it stands for.
    const std::vector<int>& Slots() const { return slots_; }
    const std::vector<std::string>& Values() const { return values_; }

private:
    std::string shape_;
    std::vector<int> slots_; // per shape character: -1, or the index of its value
    std::vector<std::string> values_;
};

// Response conditions: one-line texts such as `$3="PLC"&($1>=10|!$2=0)` after the answer's
// values were put in. Operands are compared as texts, never as numbers, so 10<9 holds.

// Positions in ComparisonOperators(). The order is the search order: the two-character
// operators come before their one-character parts, so "<=" is never read as "<".
enum ComparisonOperator {
    kNotEqual = 0,
    kGreaterOrEqual = 1,
    kLessOrEqual = 2,
    kGreater = 3,
    kLess = 4,
    kEqual = 5
};

// "<>", ">=", "<=", ">", "<", "=".
const std::vector<std::string>& ComparisonOperators();

// The current date-time value that "NOW" stands for.
using ConditionClock = double (*)();

// Evaluates "|" (lowest), "&", prefix "!" and parentheses over comparisons and the literals
// true/false, in time linear in the condition and its values. Double quotes pair from the left
// over the whole condition; operators and parentheses between a pair are compared as text,
// never split on. A parenthesis without a partner is text. The clock is read once, at the
// first NOW. Throws the common failure -1 "(KvCommon) Bad logic operand!" for an operand that
// is neither a comparison nor a literal, an empty one included.
bool EvaluateCondition(const ConditionText& condition, ConditionClock clock = NowAsDateTime);
bool EvaluateCondition(const std::string& text);

// One comparison, or one literal true/false (letter case ignored, no blanks allowed). The
// operands are trimmed, unquoted, and "NOW" becomes the current date-time number text.
bool EvaluateComparison(const std::string& text);

// Splits text at the first occurrence of the first operator of the list that occurs at all;
// returns that operator's list position. Returns -1 and leaves left and right unchanged when
// none occurs.
int SplitAtOperator(const std::vector<std::string>& operators, const std::string& text,
                    std::string& left, std::string& right);

// Removes one pair of enclosing double quotes; a lone quote gives an empty text, anything not
// enclosed in quotes is returned as it is.
std::string Unquote(const std::string& text);

} // namespace vrel
