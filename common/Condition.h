#pragma once

#include <string>
#include <vector>

namespace vrel {

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

// Evaluates "|" (lowest), "&", prefix "!" and parentheses over comparisons and the literals
// true/false. Only the first pair of double quotes protects the operators inside it. Throws
// the common failure -1 "(KvCommon) Bad logic operand!" for an operand that is neither a
// comparison nor a literal, an empty one included.
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
