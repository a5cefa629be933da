#include "Condition.h"

#include "DateTimeText.h"
#include "Exception.h"
#include "NumberText.h"
#include "TextCompare.h"

#include <optional>

namespace vrel {

namespace {

constexpr auto npos = std::string_view::npos;

// A stretch of a condition: its shape and, in step with it, the slot of every character.
struct Piece {
    std::string_view shape;
    const int* slots = nullptr;

    Piece Sub(std::size_t at, std::size_t count = npos) const {
        const std::string_view part = shape.substr(at, count);
        return {part, slots + at};
    }
};

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

// One side of a comparison, values written out, with what of it came from a device.
struct Operand {
    Operand(Piece piece, const std::vector<std::string>& values) {
        for (std::size_t at = 0; at < piece.shape.size(); ++at) {
            const int slot = piece.slots[at];
            if (slot < 0) {
                text.push_back(piece.shape[at]);
                data.push_back(false);
            } else {
                const std::string& value = values[static_cast<std::size_t>(slot)];
                text.append(value);
                data.insert(data.end(), value.size(), true);
            }
        }
    }

    // Trims blanks and control characters, then takes off one enclosing pair of the user's
    // quotes; a quote inside a value encloses nothing.
    std::string Trimmed() {
        std::size_t first = 0;
        std::size_t last = text.size();
        while (first < last && IsBlankOrControl(text[first]))
            ++first;
        while (last > first && IsBlankOrControl(text[last - 1]))
            --last;
        const auto userQuote = [this](std::size_t at) { return text[at] == '"' && !data[at]; };
        if (last - first == 1 && userQuote(first))
            ++first;
        else if (last - first >= 2 && userQuote(first) && userQuote(last - 1))
            ++first, --last;
        fromDevice = false;
        for (std::size_t at = first; at < last; ++at)
            fromDevice = fromDevice || data[at];
        return text.substr(first, last - first);
    }

    std::string text;
    std::vector<bool> data;
    bool fromDevice = false; // set by Trimmed: the trimmed text holds a byte of a value
};

bool Compare(int op, const std::string& left, const std::string& right) {
    // std::string compares its bytes as unsigned char, a proper prefix first.
    const int order = left.compare(right);
    switch (op) {
    case kNotEqual:
        return order != 0;
    case kGreaterOrEqual:
        return order >= 0;
    case kLessOrEqual:
        return order <= 0;
    case kGreater:
        return order > 0;
    case kLess:
        return order < 0;
    default:
        return order == 0;
    }
}

// The moment "NOW" stands for, read at the first NOW of an evaluation and kept for the rest,
// so NOW=NOW and NOW>x|NOW<=x hold even when the clock ticks meanwhile.
class NowText {
public:
    explicit NowText(ConditionClock clock) : clock_(clock) {}
    const std::string& Text() {
        if (!text_)
            text_ = FormatFloat(clock_());
        return *text_;
    }

private:
    ConditionClock clock_;
    std::optional<std::string> text_;
};

// One condition level with its parenthesised groups already replaced by their literals: the
// shape, and per character its value slot and whether it stands between paired quotes.
struct Flat {
    std::string shape;
    std::vector<int> slots;
    std::vector<bool> quoted;

    void Append(char c, int slot, bool inQuotes) {
        shape.push_back(c);
        slots.push_back(slot);
        quoted.push_back(inQuotes);
    }
    void AppendLiteral(bool value) {
        for (const char c : std::string_view(value ? "true" : "false"))
            Append(c, -1, false);
    }
    // The first unquoted c in [from, to), or to.
    std::size_t Find(char c, std::size_t from, std::size_t to) const {
        while (from < to && (shape[from] != c || quoted[from]))
            ++from;
        return from;
    }
};

bool EvaluateComparison(const Flat& flat, std::size_t from, std::size_t to,
                        const std::vector<std::string>& values, NowText& now) {
    const std::string_view text = std::string_view(flat.shape).substr(from, to - from);
    const Piece piece{text, flat.slots.data() + from};
    const auto& operators = ComparisonOperators();
    for (std::size_t index = 0; index < operators.size(); ++index) {
        std::size_t at = text.find(operators[index]);
        while (at != npos && flat.quoted[from + at])
            at = text.find(operators[index], at + 1);
        if (at == npos)
            continue;
        Operand left(piece.Sub(0, at), values);
        Operand right(piece.Sub(at + operators[index].size()), values);
        std::string sides[] = {left.Trimmed(), right.Trimmed()};
        const bool fromDevice[] = {left.fromDevice, right.fromDevice};
        // A value reading "now" is a name, not the keyword.
        for (int side = 0; side < 2; ++side) {
            if (!fromDevice[side] && EqualsIgnoreCase(sides[side], "NOW"))
                sides[side] = now.Text();
        }
        return Compare(static_cast<int>(index), sides[0], sides[1]);
    }
    // A literal must stand alone: " true" is a bad operand, not true. A value's mark matches
    // no letter, so a value is never a literal.
    const std::string whole(text);
    if (EqualsIgnoreCase(whole, "true"))
        return true;
    if (EqualsIgnoreCase(whole, "false"))
        return false;
    RaiseCommon(-1);
}

// An operand of "&": a "!" anywhere in it negates and drops the operand's first character,
// again until no "!" is left, so "x!a=a" is two negations of "a=a". Dropping up to and
// including the last "!" at once gives the same in one step.
bool EvaluateNegated(const Flat& flat, std::size_t from, std::size_t to,
                     const std::vector<std::string>& values, NowText& now) {
    std::size_t lastNot = npos;
    for (std::size_t at = from; at < to; ++at) {
        if (flat.shape[at] == '!' && !flat.quoted[at])
            lastNot = at;
    }
    if (lastNot == npos)
        return EvaluateComparison(flat, from, to, values, now);
    const bool negated = (lastNot + 1 - from) % 2 == 1;
    return negated != EvaluateComparison(flat, lastNot + 1, to, values, now);
}

// "|" binds looser than "&"; both evaluate from the left and stop once the outcome is known,
// so a bad operand behind a decided "|" or "&" is never read.
bool EvaluateFlat(const Flat& flat, const std::vector<std::string>& values, NowText& now) {
    const std::size_t size = flat.shape.size();
    for (std::size_t orFrom = 0;; ) {
        const std::size_t orTo = flat.Find('|', orFrom, size);
        bool all = true;
        for (std::size_t andFrom = orFrom; all;) {
            const std::size_t andTo = flat.Find('&', andFrom, orTo);
            all = EvaluateNegated(flat, andFrom, andTo, values, now);
            if (andTo == orTo)
                break;
            andFrom = andTo + 1;
        }
        if (all)
            return true;
        if (orTo == size)
            return false;
        orFrom = orTo + 1;
    }
}

// Per character of the shape: whether it stands between paired quotes, the quotes themselves
// not. Quotes pair from the left once over the whole condition; a last quote without a
// partner opens nothing.
std::vector<bool> QuotedCharacters(std::string_view shape) {
    std::size_t quotes = 0;
    std::size_t last = npos;
    for (std::size_t at = 0; at < shape.size(); ++at) {
        if (shape[at] == '"')
            ++quotes, last = at;
    }
    const std::size_t unpaired = quotes % 2 == 1 ? last : npos;
    std::vector<bool> quoted(shape.size());
    bool inside = false;
    for (std::size_t at = 0; at < shape.size(); ++at) {
        if (shape[at] == '"' && at != unpaired)
            inside = !inside;
        else
            quoted[at] = inside;
    }
    return quoted;
}

// For every unquoted "(" with a partner, the position of its ")"; parentheses without a
// partner stay text, where they end in a bad operand or a compared text.
std::vector<std::size_t> GroupEnds(std::string_view shape, const std::vector<bool>& quoted) {
    std::vector<std::size_t> ends(shape.size(), npos);
    std::vector<std::size_t> open;
    for (std::size_t at = 0; at < shape.size(); ++at) {
        if (quoted[at])
            continue;
        if (shape[at] == '(') {
            open.push_back(at);
        } else if (shape[at] == ')' && !open.empty()) {
            ends[open.back()] = at;
            open.pop_back();
        }
    }
    return ends;
}

} // namespace

void ConditionText::AppendSyntax(std::string_view text) {
    shape_.append(text);
    slots_.insert(slots_.end(), text.size(), -1);
}

void ConditionText::AppendValue(std::string_view value) {
    shape_.push_back(kValueMark);
    slots_.push_back(static_cast<int>(values_.size()));
    values_.emplace_back(value);
}

std::string ConditionText::Text() const {
    std::string text;
    for (std::size_t at = 0; at < shape_.size(); ++at) {
        if (slots_[at] < 0)
            text.push_back(shape_[at]);
        else
            text.append(values_[static_cast<std::size_t>(slots_[at])]);
    }
    return text;
}

const std::vector<std::string>& ComparisonOperators() {
    static const std::vector<std::string> operators{"<>", ">=", "<=", ">", "<", "="};
    return operators;
}

// One pass over the condition: a group's level is evaluated when its ")" is reached and its
// literal appended to the level around it, so every character is handled a constant number of
// times, and nesting lives in a vector rather than on the call stack.
bool EvaluateCondition(const ConditionText& condition, ConditionClock clock) {
    const std::string& shape = condition.Shape();
    const std::vector<int>& slots = condition.Slots();
    const std::vector<std::string>& values = condition.Values();
    const std::vector<bool> quoted = QuotedCharacters(shape);
    const std::vector<std::size_t> ends = GroupEnds(shape, quoted);
    NowText now(clock);
    std::vector<Flat> levels(1);
    std::vector<std::size_t> closes; // where each open level ends
    for (std::size_t at = 0; at < shape.size(); ++at) {
        if (ends[at] != npos) {
            closes.push_back(ends[at]);
            levels.emplace_back();
        } else if (!closes.empty() && closes.back() == at) {
            const bool value = EvaluateFlat(levels.back(), values, now);
            closes.pop_back();
            levels.pop_back();
            levels.back().AppendLiteral(value);
        } else {
            levels.back().Append(shape[at], slots[at], quoted[at]);
        }
    }
    return EvaluateFlat(levels.back(), values, now);
}

bool EvaluateCondition(const std::string& text) {
    return EvaluateCondition(ConditionText(text));
}

bool EvaluateComparison(const std::string& text) {
    const ConditionText condition(text);
    const std::string& shape = condition.Shape();
    const std::vector<bool> quoted = QuotedCharacters(shape);
    Flat flat;
    for (std::size_t at = 0; at < shape.size(); ++at)
        flat.Append(shape[at], condition.Slots()[at], quoted[at]);
    NowText now(NowAsDateTime);
    return EvaluateComparison(flat, 0, flat.shape.size(), condition.Values(), now);
}

int SplitAtOperator(const std::vector<std::string>& operators, const std::string& text,
                    std::string& left, std::string& right) {
    for (std::size_t index = 0; index < operators.size(); ++index) {
        const std::size_t at = text.find(operators[index]);
        if (at != std::string::npos) {
            left = text.substr(0, at);
            right = text.substr(at + operators[index].size());
            return static_cast<int>(index);
        }
    }
    return -1;
}

std::string Unquote(const std::string& text) {
    if (text.size() < 2)
        return text == "\"" ? std::string() : text;
    if (text.front() == '"' && text.back() == '"')
        return text.substr(1, text.size() - 2);
    return text;
}

} // namespace vrel
