#include "Condition.h"

#include "DateTimeText.h"
#include "Exception.h"
#include "NumberText.h"
#include "TextCompare.h"

#include <deque>
#include <optional>
#include <string_view>

namespace vrel {

namespace {

constexpr auto npos = std::string_view::npos;

// What a condition frame waits for while a part of its text is evaluated.
enum class Pending { Nothing, Group, Or, And };

// One evaluation of a condition text. Frames live on an explicit stack rather than the call
// stack, so a condition nested a few ten thousand groups deep cannot overflow it. Parts
// handed to a child frame are views into the parent's text, which stays put meanwhile.
struct Frame {
    std::string_view text;
    std::string rebuilt;  // owns the text once a group was replaced by its literal
    bool negated = false; // an odd number of "!" was dropped from the front
    Pending pending = Pending::Nothing;
    std::string_view before; // Group: the text before "("
    std::string_view after;  // Group: the text after ")"; Or, And: the right operand
};

// Where the operators of a text stand. Only the first pair of double quotes is a quoted
// span; the quote characters do not hide parentheses from the matching scan.
struct Operators {
    explicit Operators(std::string_view text)
        : quoteOpen(text.find('"')),
          quoteClose(quoteOpen == npos ? npos : text.find('"', quoteOpen + 1)),
          notAt(text.find('!')), andAt(text.find('&')), orAt(text.find('|')),
          openAt(text.find('(')), closeAt(MatchingClose(text, openAt)) {}

    bool Quoted(std::size_t at) const {
        return quoteOpen != npos && quoteClose != npos && quoteOpen < at && at < quoteClose;
    }
    bool Usable(std::size_t at) const { return at != npos && !Quoted(at); }

    static std::size_t MatchingClose(std::string_view text, std::size_t open) {
        if (open == npos)
            return npos;
        int depth = 1;
        for (std::size_t at = open + 1; at < text.size(); ++at) {
            if (text[at] == '(')
                ++depth;
            else if (text[at] == ')' && --depth == 0)
                return at;
        }
        return npos;
    }

    std::size_t quoteOpen, quoteClose, notAt, andAt, orAt, openAt, closeAt;
};

// Evaluates frame.text as far as it can alone: returns the part whose truth value the frame
// needs next, or nothing once `value` holds the frame's result.
std::optional<std::string_view> Start(Frame& frame, bool& value) {
    for (;;) {
        const std::string_view text = frame.text;
        const Operators at(text);
        if (at.openAt != npos && at.closeAt != npos && !at.Quoted(at.openAt) &&
            !at.Quoted(at.closeAt)) {
            frame.pending = Pending::Group;
            frame.before = text.substr(0, at.openAt);
            frame.after = text.substr(at.closeAt + 1);
            return text.substr(at.openAt + 1, at.closeAt - at.openAt - 1);
        }
        if (at.Usable(at.orAt)) {
            frame.pending = Pending::Or;
            frame.after = text.substr(at.orAt + 1);
            return text.substr(0, at.orAt);
        }
        if (at.Usable(at.andAt)) {
            frame.pending = Pending::And;
            frame.after = text.substr(at.andAt + 1);
            return text.substr(0, at.andAt);
        }
        if (at.Usable(at.notAt)) {
            // The "!" belongs in front of its operand; whatever stands first is dropped.
            frame.negated = !frame.negated;
            frame.text = text.substr(1);
            continue;
        }
        value = frame.negated != EvaluateComparison(std::string(text));
        return std::nullopt;
    }
}

// Takes the truth value of the part the frame waited for and goes on as Start does.
std::optional<std::string_view> Resume(Frame& frame, bool partValue, bool& value) {
    const Pending pending = frame.pending;
    frame.pending = Pending::Nothing;
    switch (pending) {
    case Pending::Group: {
        // before and after may point into rebuilt itself: build aside, then replace.
        std::string next;
        next.reserve(frame.before.size() + 5 + frame.after.size());
        next.append(frame.before).append(partValue ? "true" : "false").append(frame.after);
        frame.rebuilt = std::move(next);
        frame.text = frame.rebuilt;
        break;
    }
    case Pending::Or:
        if (partValue) {
            value = !frame.negated;
            return std::nullopt;
        }
        frame.text = frame.after;
        break;
    case Pending::And:
        if (!partValue) {
            value = frame.negated;
            return std::nullopt;
        }
        frame.text = frame.after;
        break;
    case Pending::Nothing:
        break;
    }
    return Start(frame, value);
}

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

std::string Trim(const std::string& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlankOrControl(text[first]))
        ++first;
    while (last > first && IsBlankOrControl(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

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

} // namespace

const std::vector<std::string>& ComparisonOperators() {
    static const std::vector<std::string> operators{"<>", ">=", "<=", ">", "<", "="};
    return operators;
}

bool EvaluateCondition(const std::string& text) {
    std::deque<Frame> frames(1); // a deque keeps the frames below in place while it grows
    frames.back().text = text;
    bool value = false;
    std::optional<std::string_view> part = Start(frames.back(), value);
    for (;;) {
        if (part) {
            frames.emplace_back().text = *part;
            part = Start(frames.back(), value);
            continue;
        }
        frames.pop_back();
        if (frames.empty())
            return value;
        part = Resume(frames.back(), value, value);
    }
}

bool EvaluateComparison(const std::string& text) {
    std::string left;
    std::string right;
    const int op = SplitAtOperator(ComparisonOperators(), text, left, right);
    if (op < 0) {
        // A literal must stand alone: " true" is a bad operand, not true.
        if (EqualsIgnoreCase(text, "true"))
            return true;
        if (EqualsIgnoreCase(text, "false"))
            return false;
        RaiseCommon(-1);
    }
    left = Unquote(Trim(left));
    right = Unquote(Trim(right));
    // One reading of the clock for both sides, so NOW=NOW holds.
    std::optional<std::string> now;
    for (std::string* operand : {&left, &right}) {
        if (EqualsIgnoreCase(*operand, "NOW")) {
            if (!now)
                now = FormatFloat(NowAsDateTime());
            *operand = *now;
        }
    }
    return Compare(op, left, right);
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
