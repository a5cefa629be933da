#include "Condition.h"

#include "DateTimeText.h"
#include "Exception.h"
#include "NumberText.h"
#include "TextCompare.h"

#include <deque>
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

// Double quotes pair from the left; a last quote without a partner opens nothing. Calls
// visit(at, quoted) for every character; the quote characters themselves count as unquoted.
template <typename Visit> void WalkQuotes(std::string_view text, Visit&& visit) {
    std::size_t unpaired = npos;
    std::size_t quotes = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '"') {
            ++quotes;
            unpaired = at;
        }
    }
    if (quotes % 2 == 0)
        unpaired = npos;
    bool inside = false;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '"' && at != unpaired) {
            inside = !inside;
            visit(at, false);
        } else {
            visit(at, inside);
        }
    }
}

// Where the unquoted operators of a text stand, found in one pass.
struct Operators {
    explicit Operators(std::string_view text) {
        std::size_t depth = 0;
        WalkQuotes(text, [&](std::size_t at, bool quoted) {
            if (quoted)
                return;
            const auto first = [at](std::size_t& found) {
                if (found == npos)
                    found = at;
            };
            switch (text[at]) {
            case '!':
                first(notAt);
                break;
            case '&':
                first(andAt);
                break;
            case '|':
                first(orAt);
                break;
            case '(':
                first(openAt);
                if (closeAt == npos)
                    ++depth;
                break;
            case ')':
                if (openAt != npos && closeAt == npos && --depth == 0)
                    closeAt = at;
                break;
            default:
                break;
            }
        });
    }

    std::size_t notAt = npos, andAt = npos, orAt = npos, openAt = npos, closeAt = npos;
};

// What a condition frame waits for while a part of its text is evaluated.
enum class Pending { Nothing, Group, Or, And };

// One evaluation of a condition text. Frames live on an explicit stack rather than the call
// stack, so a condition nested a few ten thousand groups deep cannot overflow it. Parts
// handed to a child frame are views into the parent's text, which stays put meanwhile.
struct Frame {
    Piece text;
    std::string rebuiltShape; // own the text once a group was replaced by its literal
    std::vector<int> rebuiltSlots;
    bool negated = false; // an odd number of "!" was dropped from the front
    Pending pending = Pending::Nothing;
    Piece before; // Group: the text before "("
    Piece after;  // Group: the text after ")"; Or, And: the right operand
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

bool EvaluateComparison(Piece text, const std::vector<std::string>& values) {
    std::vector<bool> quoted(text.shape.size());
    WalkQuotes(text.shape, [&](std::size_t at, bool inside) { quoted[at] = inside; });
    const auto& operators = ComparisonOperators();
    for (std::size_t index = 0; index < operators.size(); ++index) {
        std::size_t at = text.shape.find(operators[index]);
        while (at != npos && quoted[at])
            at = text.shape.find(operators[index], at + 1);
        if (at == npos)
            continue;
        Operand left(text.Sub(0, at), values);
        Operand right(text.Sub(at + operators[index].size()), values);
        std::string sides[] = {left.Trimmed(), right.Trimmed()};
        const bool fromDevice[] = {left.fromDevice, right.fromDevice};
        // One reading of the clock for both sides, so NOW=NOW holds. A value reading "now"
        // is a name, not the keyword.
        std::optional<std::string> now;
        for (int side = 0; side < 2; ++side) {
            if (!fromDevice[side] && EqualsIgnoreCase(sides[side], "NOW")) {
                if (!now)
                    now = FormatFloat(NowAsDateTime());
                sides[side] = *now;
            }
        }
        return Compare(static_cast<int>(index), sides[0], sides[1]);
    }
    // A literal must stand alone: " true" is a bad operand, not true. A value's mark matches
    // no letter, so a value is never a literal.
    const std::string whole(text.shape);
    if (EqualsIgnoreCase(whole, "true"))
        return true;
    if (EqualsIgnoreCase(whole, "false"))
        return false;
    RaiseCommon(-1);
}

// Evaluates frame.text as far as it can alone: returns the part whose truth value the frame
// needs next, or nothing once `value` holds the frame's result.
std::optional<Piece> Start(Frame& frame, bool& value, const std::vector<std::string>& values) {
    for (;;) {
        const Piece text = frame.text;
        const Operators at(text.shape);
        if (at.openAt != npos && at.closeAt != npos) {
            frame.pending = Pending::Group;
            frame.before = text.Sub(0, at.openAt);
            frame.after = text.Sub(at.closeAt + 1);
            return text.Sub(at.openAt + 1, at.closeAt - at.openAt - 1);
        }
        if (at.orAt != npos) {
            frame.pending = Pending::Or;
            frame.after = text.Sub(at.orAt + 1);
            return text.Sub(0, at.orAt);
        }
        if (at.andAt != npos) {
            frame.pending = Pending::And;
            frame.after = text.Sub(at.andAt + 1);
            return text.Sub(0, at.andAt);
        }
        if (at.notAt != npos) {
            // The "!" belongs in front of its operand; whatever stands first is dropped.
            frame.negated = !frame.negated;
            frame.text = text.Sub(1);
            continue;
        }
        value = frame.negated != EvaluateComparison(text, values);
        return std::nullopt;
    }
}

// Takes the truth value of the part the frame waited for and goes on as Start does.
std::optional<Piece> Resume(Frame& frame, bool partValue, bool& value,
                            const std::vector<std::string>& values) {
    const Pending pending = frame.pending;
    frame.pending = Pending::Nothing;
    switch (pending) {
    case Pending::Group: {
        // before and after may point into the rebuilt text itself: build aside, then replace.
        const std::string_view literal = partValue ? "true" : "false";
        std::string shape;
        shape.reserve(frame.before.shape.size() + literal.size() + frame.after.shape.size());
        shape.append(frame.before.shape).append(literal).append(frame.after.shape);
        std::vector<int> slots(frame.before.slots, frame.before.slots + frame.before.shape.size());
        slots.insert(slots.end(), literal.size(), -1);
        slots.insert(slots.end(), frame.after.slots, frame.after.slots + frame.after.shape.size());
        frame.rebuiltShape = std::move(shape);
        frame.rebuiltSlots = std::move(slots);
        frame.text = {frame.rebuiltShape, frame.rebuiltSlots.data()};
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
    return Start(frame, value, values);
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

bool EvaluateCondition(const ConditionText& condition) {
    const std::vector<std::string>& values = condition.Values();
    std::deque<Frame> frames(1); // a deque keeps the frames below in place while it grows
    frames.back().text = {condition.Shape(), condition.Slots().data()};
    bool value = false;
    std::optional<Piece> part = Start(frames.back(), value, values);
    for (;;) {
        if (part) {
            frames.emplace_back().text = *part;
            part = Start(frames.back(), value, values);
            continue;
        }
        frames.pop_back();
        if (frames.empty())
            return value;
        part = Resume(frames.back(), value, value, values);
    }
}

bool EvaluateCondition(const std::string& text) {
    return EvaluateCondition(ConditionText(text));
}

bool EvaluateComparison(const std::string& text) {
    const ConditionText condition(text);
    return EvaluateComparison(Piece{condition.Shape(), condition.Slots().data()},
                              condition.Values());
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
