#include "Condition.h"

#include "Exception.h"
#include "NumberText.h"
#include "TextCompare.h"

#include <algorithm>
#include <functional>
#include <optional>

namespace vrel {

namespace {

constexpr auto npos = std::string_view::npos;

// Two-character operators first, so that "<=" is never read as "<".
constexpr std::string_view kOperators[] = {"<>", ">=", "<=", ">", "<", "="};

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

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
    // The first unquoted c in [from, to), or to.
    std::size_t Find(char c, std::size_t from, std::size_t to) const {
        while (from < to && (shape[from] != c || quoted[from]))
            ++from;
        return from;
    }
};

// The clock is read at the first NOW and kept, so NOW=NOW holds even when it ticks meanwhile.
struct Evaluation {
    const std::vector<std::string>& values;
    ConditionClock clock;
    std::optional<std::string> now;

    const std::string& Now() {
        if (!now)
            now = FormatFloat(clock());
        return *now;
    }
};

// One side of a comparison with the values written out, trimmed of blanks and control
// characters and then of one enclosing pair of the user's quotes (a quote inside a value
// encloses nothing). The user's NOW becomes the current time; a value reading "now" is a name.
std::string OperandText(const Flat& flat, std::size_t from, std::size_t to, Evaluation& e) {
    std::string text;
    std::vector<bool> data; // per byte of text: whether a device sent it
    for (std::size_t at = from; at < to; ++at) {
        const int slot = flat.slots[at];
        if (slot < 0) {
            text.push_back(flat.shape[at]);
            data.push_back(false);
        } else {
            const std::string& value = e.values[static_cast<std::size_t>(slot)];
            text.append(value);
            data.insert(data.end(), value.size(), true);
        }
    }
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlankOrControl(text[first]))
        ++first;
    while (last > first && IsBlankOrControl(text[last - 1]))
        --last;
    const auto userQuote = [&](std::size_t at) { return text[at] == '"' && !data[at]; };
    if (last - first == 1 && userQuote(first))
        ++first;
    else if (last - first >= 2 && userQuote(first) && userQuote(last - 1))
        ++first, --last;
    const bool fromDevice = std::any_of(data.begin() + first, data.begin() + last, std::identity());
    text = text.substr(first, last - first);
    return !fromDevice && EqualsIgnoreCase(text, "NOW") ? e.Now() : text;
}

bool EvaluateComparison(const Flat& flat, std::size_t from, std::size_t to, Evaluation& e) {
    const std::string_view text = std::string_view(flat.shape).substr(from, to - from);
    for (std::size_t index = 0; index < std::size(kOperators); ++index) {
        const std::string_view op = kOperators[index];
        std::size_t at = text.find(op);
        while (at != npos && flat.quoted[from + at])
            at = text.find(op, at + 1);
        if (at == npos)
            continue;
        // std::string compares its bytes as unsigned char, a proper prefix first.
        const int order = OperandText(flat, from, from + at, e)
                              .compare(OperandText(flat, from + at + op.size(), to, e));
        const bool holds[] = {order != 0, order >= 0, order <= 0, order > 0, order < 0, order == 0};
        return holds[index];
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

// A "!" anywhere in an operand of "&" negates and drops its first character, until no "!" is
// left ("x!a=a" is two negations of "a=a"): the same as dropping up to the last "!" at once.
bool EvaluateNegated(const Flat& flat, std::size_t from, std::size_t to, Evaluation& e) {
    std::size_t after = to; // just past the last unquoted "!", else from
    while (after > from && (flat.shape[after - 1] != '!' || flat.quoted[after - 1]))
        --after;
    return ((after - from) % 2 == 1) != EvaluateComparison(flat, after, to, e);
}

// "|" binds looser than "&"; both evaluate from the left and stop once the outcome is known,
// so a bad operand behind a decided "|" or "&" is never read.
bool EvaluateFlat(const Flat& flat, Evaluation& e) {
    const std::size_t size = flat.shape.size();
    for (std::size_t orFrom = 0;; ) {
        const std::size_t orTo = flat.Find('|', orFrom, size);
        bool all = true;
        for (std::size_t andFrom = orFrom; all && andFrom <= orTo;) {
            const std::size_t andTo = flat.Find('&', andFrom, orTo);
            all = EvaluateNegated(flat, andFrom, andTo, e);
            andFrom = andTo + 1;
        }
        if (all)
            return true;
        if (orTo == size)
            return false;
        orFrom = orTo + 1;
    }
}

// Per character: whether it stands between paired quotes (the quotes not). Quotes pair from the
// left over the whole condition; a last quote without a partner opens nothing.
std::vector<bool> QuotedCharacters(std::string_view shape) {
    const std::size_t unpaired = std::ranges::count(shape, '"') % 2 == 1 ? shape.rfind('"') : npos;
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
    shape_.push_back('\0');
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

// One pass: a group is evaluated at its ")" and its literal appended to the level around it,
// so each character is handled a constant number of times and nesting lives in a vector.
bool EvaluateCondition(const ConditionText& condition, ConditionClock clock) {
    const std::string& shape = condition.shape_;
    const std::vector<int>& slots = condition.slots_;
    const std::vector<bool> quoted = QuotedCharacters(shape);
    const std::vector<std::size_t> ends = GroupEnds(shape, quoted);
    Evaluation e{condition.values_, clock, std::nullopt};
    std::vector<Flat> levels(1);
    std::vector<std::size_t> closes; // where each open level ends
    for (std::size_t at = 0; at < shape.size(); ++at) {
        if (ends[at] != npos) {
            closes.push_back(ends[at]);
            levels.emplace_back();
        } else if (!closes.empty() && closes.back() == at) {
            const std::string_view literal = EvaluateFlat(levels.back(), e) ? "true" : "false";
            closes.pop_back();
            levels.pop_back();
            for (const char c : literal)
                levels.back().Append(c, -1, false);
        } else {
            levels.back().Append(shape[at], slots[at], quoted[at]);
        }
    }
    return EvaluateFlat(levels.back(), e);
}

} // namespace vrel
