// Response conditions on a command object: the answer's values put in place of the markers,
// then evaluated.
#include "Exception.h"
#include "FormatSettings.h"
#include "KvOptionList.h"
#include "KvVRELRequest.h"
#include "VrelTables.h"
#include "VrelTypes.h"

#include <gtest/gtest.h>

#include <chrono>

namespace vrel {
namespace {

const OptionDef kModes[] = {{7, nullptr, "auto"}, {9, nullptr, "manual"}, {0, nullptr, nullptr}};
const KvOptionList kModeList(kModes, OptionKind::Number, false);

// One variable of every value-type group, then the Discovery structure.
class Conditions : public ::testing::Test {
protected:
    void SetUp() override {
        const VariableDef table[] = {
            {10, "flag", kBool8, kReadOnly, nullptr, nullptr, "true"},          // $0
            {11, "count", kUint16, kReadOnly, nullptr, nullptr, "258"},         // $1
            {12, "up", kTimeticks, kReadOnly, nullptr, nullptr, "1 day 0:00:00.05"}, // $2
            {13, "when", kDatetime, kReadOnly, nullptr, nullptr, "1900/01/01 12:00:00 pm"}, // $3
            {14, "ip", kIpAddress, kReadOnly, nullptr, nullptr, "10.0.0.1"},    // $4
            {15, "name", kDisplayStr, kReadOnly, nullptr, nullptr, "a$0b"},     // $5
            {16, "mode", kInt8, kReadOnly, &kModeList, nullptr, "manual"},      // $6
            {0, "Discovery", kNoValueType, kReadOnly, nullptr, &DiscoveryResponseVarList(),
             nullptr},                                                          // $7
            {0, nullptr, 0, 0, nullptr, nullptr, nullptr},
        };
        request.variables.append_definitions(table);
        auto& fields = *request.variables.at(7).responseVars;
        fields.at(1).value = "SIM-3";
        fields.at(3).value = "10.0.0.3";
    }

    KvVRELRequest request;
    ScopedFormatSettings settings{FormatSettings{}};
};

TEST_F(Conditions, SubstitutesEachValueTypeGroup) {
    const struct {
        const char* expression;
        const char* expected;
    } cases[] = {
        {"$0", "1"},                  // bool: exactly "true" gives 1
        {"$1", "258"},                // numbers as they stand
        {"$2", "8640005"},            // timeticks as hundredths
        {"$3", "2.5"},                // datetime as its day count
        {"$4", "\"10.0.0.1\""},       // addresses and strings quoted
        {"$6", "9"},                  // an option name back to its wire value
        {"$7.1", "\"SIM-3\""},        // a field of a structured variable
        {"$7", "\"\""},               // the structure itself has no value of its own
        {"$", "1"},                   // no digits: variable 0
        {"x$1y$0z", "x258y1z"},       // every marker, left to right
        {"$7.3=\"10.0.0.3\"", "\"10.0.0.3\"=\"10.0.0.3\""},
        {"no markers", "no markers"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(request.Substitute(c.expression, true, "$"), c.expected) << c.expression;
}

TEST_F(Conditions, BooleanTextsOtherThanTrueGiveZero) {
    request.variables.at(0).value = "True";
    EXPECT_EQ(request.Substitute("$0", true, "$"), "0");
}

TEST_F(Conditions, AValueHoldingTheMarkerIsNotSubstitutedAgain) {
    // "a$0b" would otherwise be rewritten for ever.
    EXPECT_EQ(request.Substitute("$5", true, "$"), "\"a$0b\"");
    EXPECT_EQ(request.Substitute("$5$1", true, "$"), "\"a$0b\"258");
}

TEST_F(Conditions, SubstitutionFailures) {
    const struct {
        const char* expression;
        bool quote;
        int code;
    } cases[] = {
        {"$8", true, -1016},   // beyond the variables
        {"$0.0", true, -1016}, // a sub-index on a variable without fields
        {"$7.5", true, -1016}, // beyond the fields
        {"$99999999999999999999", true, -1016},
        {"$4", false, -1017},  // a text value where quoting is off
    };
    for (const auto& c : cases) {
        try {
            request.Substitute(c.expression, c.quote, "$");
            ADD_FAILURE() << c.expression << " did not fail";
        } catch (const Exception& e) {
            EXPECT_EQ(e.HelpContext(), c.code) << c.expression;
            EXPECT_EQ(e.Message(), c.code == -1016
                                       ? "(KvVREL) Bad VREL response variable index in the expression!"
                                       : "(KvVREL) Bad VREL syntax in the expression!");
        }
    }
    request.variables.at(3).value = "not a date";
    EXPECT_THROW(request.Substitute("$3", true, "$"), ConvertError);
}

TEST_F(Conditions, CheckResponseEvaluatesTheSubstitutedCondition) {
    const struct {
        const char* condition;
        bool expected;
    } cases[] = {
        {"", true},
        {"$7.1=\"SIM-3\"", true},
        {"$7.1=\"SIM-4\"", false},
        {"$7.1=\"SIM-3\"&$1=258", true},
        {"$1=1|$0=1", true},
        {"!$0=1", false},
        {"$1<9", true}, // texts, not numbers: "258" < "9"
    };
    for (const auto& c : cases) {
        request.responseCondition = c.condition;
        EXPECT_EQ(request.CheckResponse(), c.expected) << c.condition;
    }
    request.responseCondition = "$7.1";
    EXPECT_THROW(request.CheckResponse(), Exception); // a bare operand
}

TEST_F(Conditions, DeviceValuesAreDataNeverSyntax) {
    // Names a device on the segment may choose to steer a filter, each against a condition
    // it must not pass (or, for a name holding an operator, one it must).
    const struct {
        const char* name;
        const char* condition;
        bool expected;
    } cases[] = {
        {"=\"|true|\"", "$7.1=\"SIM-3\"&$7.3=\"10.0.0.9\"", false},
        {"SIM-ab<=3ab", "$7.1=\"SIM-3\"", false},
        {"x\"|\"x", "$7.1=\"SIM-3\"", false},
        {"\")|(\"", "($7.1=\"SIM-3\")", false},
        {"a&true", "$7.1=\"a\"", false},
        {"!", "$7.1<>\"!\"", false},
        {"now", "$7.1=NOW", false},        // a name, not the clock
        {"true", "$7.1", false},           // never a literal: a bare operand fails
        {"Gate=North", "$7.1=\"Gate=North\"", true},
        {"a|b&(c)", "$7.1=\"a|b&(c)\"&$7.3=\"10.0.0.3\"", true},
        {"\"", "$7.1=\"\"\"\"", false}, // user's text: "" then a lone quote
        {" pad ", "$7.1=\" pad \"", true},
    };
    for (const auto& c : cases) {
        request.variables.at(7).responseVars->at(1).value = c.name;
        request.responseCondition = c.condition;
        bool passed = false;
        try {
            passed = request.CheckResponse();
        } catch (const Exception&) {
            passed = false;
        }
        EXPECT_EQ(passed, c.expected) << c.name << " against " << c.condition;
    }
}

TEST_F(Conditions, LongValuesCostLinearTime) {
    // Read as syntax, each "|" of this name would split the condition once and each split
    // rescan the rest: hours of work. As data it is one comparison.
    std::string name;
    for (int i = 0; i < 100000; ++i)
        name += "x=y|";
    request.variables.at(7).responseVars->at(1).value = name;
    request.responseCondition = "\"x\"=$7.1|\"ok\"=\"ok\"";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(request.CheckResponse());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST_F(Conditions, ConditionsLeaveTheVariablesUnchanged) {
    request.responseCondition = "$7.1=\"SIM-3\"";
    request.CheckResponse();
    EXPECT_EQ(request.variables.at(7).responseVars->at(1).value, "SIM-3");
    EXPECT_EQ(request.variables.at(6).value, "manual");
}

} // namespace
} // namespace vrel
