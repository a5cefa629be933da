#include "Condition.h"
#include "DateTimeText.h"
#include "Exception.h"
#include "FormatSettings.h"
#include "NumberText.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace vrel {
namespace {

constexpr const char* kBad = "bad operand";

struct Case {
    std::string text;
    std::string outcome; // "true", "false" or kBad
};

// The outcome as text, so one table holds results and failures; any failure other than the
// exact bad-operand one shows up as a mismatch.
std::string Outcome(const std::string& text) {
    try {
        return EvaluateCondition(ConditionText(text)) ? "true" : "false";
    } catch (const Exception& e) {
        if (e.HelpContext() == -1 && e.Message() == "(KvCommon) Bad logic operand!")
            return kBad;
        return "failure " + std::to_string(e.HelpContext()) + ": " + e.Message();
    }
}

void ExpectOutcomes(const std::vector<Case>& cases) {
    for (const Case& c : cases)
        EXPECT_EQ(Outcome(c.text), c.outcome) << "condition: " << c.text;
}

TEST(Condition, OrBindsLooserThanAndAndBothShortCircuit) {
    ExpectOutcomes({
        {"false&false|true", "true"}, // (false&false)|true
        {"true|true&false", "true"},  // true|(true&false)
        {"false|true&false", "false"},
        {"true&false|false&true", "false"},
        {"true|bogus", "true"},
        {"false&bogus", "false"},
        {"false|bogus", kBad},
        {"true&bogus", kBad},
    });
}

TEST(Condition, NotNegatesAndDropsTheFirstCharacter) {
    ExpectOutcomes({
        {"!a=b", "true"},
        {"!a=a", "false"},
        {"!!true", "true"},
        {"x!a=a", "true"}, // "x" dropped, then "!" dropped: two negations
        {"!(a=a|b=c)", "false"},
        {"!", kBad},
    });
}

TEST(Condition, QuotedLiteralsAreComparedNotSplitOn) {
    ExpectOutcomes({
        {R"~("x&y"="x&y")~", "true"},
        {R"~("a|b"<"a|c")~", "true"},
        {R"~("f(x)"="f(x)")~", "true"},
        {R"~("x"<"(z)")~", "false"},     // a quoted group is text: "x" > "(z)"
        {R"~("(z)"<"x")~", "true"},
        {R"~(y="b|c"|x=x)~", "true"},    // the unquoted "|" behind the literal splits
        {R"~(a="Gate=North")~", "false"},
        {R"~("Gate=North"="Gate=North")~", "true"},
        {R"~("a<b"<"a<c"&"x"<>"y")~", "true"},
        {R"~(x="|true)~", "true"},     // a lone quote protects nothing
        {R"~((a=")")~", "false"},      // a quoted ")" closes no group
        {R"~("false&"!x)~", kBad},     // the pair holds: "!" drops up to itself, leaving x
    });
}

// The examples of the README's Security section. Each literal is taken whole: split at the
// quoted ">" the first would compare "m=\"<none" with nothing and hold; split at a quoted "|"
// the other two would leave an operand that is no comparison.
TEST(Condition, EveryQuotedLiteralIsTakenWhole) {
    ExpectOutcomes({
        {R"~(m="<none>")~", "false"},
        {R"~(m="a|b"|m=m)~", "true"},     // false | true
        {R"~(x="x"&y="b|c")~", "false"}, // true & false: every pair protects, not the first only
    });
}

TEST(Condition, GroupsReduceToLowerCaseLiterals) {
    std::string deep = "a=a";
    for (int i = 0; i < 3000; ++i)
        deep = "(" + deep + ")";
    ExpectOutcomes({
        {"(a=a)&(b=b)", "true"},
        {"(false|true)&true", "true"},
        {"(true&(false|(a<b)))", "true"},
        {"!(1=2)", "true"},
        {"(a=b)=false", "true"}, // rebuilt as false=false
        {"(a=a)=TRUE", "false"}, // rebuilt as true=TRUE
        {"(1=1)(2=2)", kBad},    // truetrue
        {"((a=a)", kBad},        // the inner pair is a group, the lone "(" text: "(true"
        {"(a=a))=true)", "true"}, // a lone ")" is text too: "true)" > "true"
        {"(", kBad},
        {")(", kBad},
        {"()", kBad},
        {"(true", kBad},
        {deep, "true"},
    });
}

// Texts repeated 20,000 times: a rescan per operator or per group, as a search-and-rebuild
// evaluator does, takes seconds on these; one pass takes milliseconds, even under sanitizers.
TEST(Condition, LongConditionsTakeLinearTime) {
    const auto repeat = [](const std::string& part, const std::string& end) {
        std::string text;
        for (int i = 0; i < 20000; ++i)
            text += part;
        return text + end;
    };
    const std::string nested = repeat("(", "a=a") + repeat(")", "");
    for (const std::string& text : {repeat("(a=b)|", "a=a"), repeat("a=b|", "a=a"),
                                    repeat("!", "a=a"), repeat("\"x|\"=y|", "a=a"), nested}) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Outcome(text), "true") << text.substr(0, 20);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1))
            << text.substr(0, 20);
    }
}

TEST(Condition, LiteralsIgnoreCaseButNotBlanks) {
    ExpectOutcomes({
        {"true", "true"},
        {"TRUE", "true"},
        {"False", "false"},
        {" true", kBad},
        {"true ", kBad},
        {"true & true", kBad},
        {R"~("true")~", kBad},
        {"truex", kBad},
        {" a = a ", "true"},
        {"\t a=a \r\n", "true"},
    });
}

TEST(Condition, ComparisonsAreOrdinalOnBytes) {
    ExpectOutcomes({
        {"10<9", "true"},
        {"abc=ABC", "false"},
        {"abc<>ABC", "true"},
        {"a<>a", "false"},
        {"ab<abc", "true"},
        {"abc>ab", "true"},
        {"ab>=abc", "false"},
        {"abc>=ab", "true"},
        {"ab<=abc", "true"},
        {"ab>=ab", "true"},
        {"ab<=ab", "true"},
        {"\xE9>z", "true"}, // bytes compare unsigned
        {"\xA0"
         "a=a",
         "false"},         // only bytes up to the blank are trimmed
        {"a=b<c", "true"}, // "<" is searched before "=": "a=b" < "c"
        {R"~("a b"=a b)~", "true"},
        {R"~(" a"=a)~", "false"}, // blanks inside the quotes stay
        {"=", "true"},
        {R"~(""=)~", "true"},
    });
}

TEST(Condition, NowIsTheCurrentDayCountText) {
    ExpectOutcomes({
        {R"~(NOW>"1")~", "true"},
        {"NOW>45000", "true"}, // 15 March 2023
        {"nOw<A", "true"},     // digits sort before letters
        {R"~("NOW"<A)~", "true"},
        {"NOW=now", "true"}, // one clock reading per condition
        {"NOW>1|NOW<=1&NOW<>nOw", "true"},
        {"NOWX<A", "false"},
        {"NOW", kBad},
    });
}

TEST(Condition, NowUsesTheCurrentDecimalSeparator) {
    FormatSettings comma;
    comma.decimalSeparator = ',';
    ScopedFormatSettings scope(comma);
    // Day counts of this era have five integer digits, so text order is number order here.
    const std::string before = FormatFloat(NowAsDateTime());
    const bool notEarlier = EvaluateCondition(ConditionText("NOW>=" + before));
    // The clock is read inside the call, after the bound is taken: allow it a minute.
    const bool notLater =
        EvaluateCondition(ConditionText("NOW<=" + FormatFloat(NowAsDateTime() + 1.0 / 1440)));
    EXPECT_TRUE(notEarlier) << before;
    EXPECT_TRUE(notLater) << before;
}

TEST(Condition, EmptyOperandsAndBareWordsAreBad) {
    ExpectOutcomes({
        {"", kBad},
        {"true&", kBad},
        {"&true", kBad},
        {"false|", kBad},
        {"abc", kBad},
    });
}

} // namespace
} // namespace vrel
