#include "Exception.h"
#include "KvOptionList.h"
#include "TextCompare.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace vrel {
namespace {

const OptionDef kEnd = {0, nullptr, nullptr};

// Power states: a Number list whose numbers are not positions, with a duplicated name.
const OptionDef kPowerDefs[] = {
    {10, nullptr, "off"}, {20, nullptr, "on"}, {-5, nullptr, "fault"}, {30, nullptr, "on"}, kEnd};

// Vendor prefixes of MAC address texts; "0050C2" is longer than the other entries' texts.
const OptionDef kVendorDefs[] = {
    {0, "001122", "Acme-"}, {0, "0050C2", "Ieee:"}, {0, "AB", "Short_"}, kEnd};

// Model codes with Latin-1 names.
const OptionDef kModelDefs[] = {
    {0, "m1", "Z\xE4hler"}, {0, "m2", "Relais"}, {0, "M3", "relais"}, kEnd};

// In the byValue column: FindByValue and ValueToName raise the integer conversion error.
constexpr int kThrows = -2;

struct Lookup {
    const char* text;
    int byName;
    int byValue;
    const char* toName;
    const char* toValue;
};

void CheckLookups(const KvOptionList& list, const Lookup* begin, const Lookup* end) {
    for (const Lookup* c = begin; c != end; ++c) {
        SCOPED_TRACE(std::string("text '") + c->text + "'");
        EXPECT_EQ(list.FindByName(c->text), c->byName);
        if (c->byValue == kThrows) {
            EXPECT_THROW(list.FindByValue(c->text), ConvertError);
            EXPECT_THROW(list.ValueToName(c->text), ConvertError);
        } else {
            EXPECT_EQ(list.FindByValue(c->text), c->byValue);
            EXPECT_EQ(list.ValueToName(c->text), c->toName);
        }
        EXPECT_EQ(list.NameToValue(c->text), c->toValue);
    }
}

TEST(OptionList, NumberLookups) {
    const KvOptionList list(kPowerDefs, OptionKind::Number, false);
    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Entry(2).number, -5);
    EXPECT_EQ(list.Entry(2).name, "fault");
    const Lookup cases[] = {
        {"on", 1, kThrows, "", "20"}, // duplicate name: the first entry wins
        {"ON", 1, kThrows, "", "20"},
        {"20", -1, 1, "on", "20"},
        {"30", -1, 3, "on", "30"},
        {"-5", -1, 2, "fault", "-5"},
        {"$14", -1, 1, "on", "$14"}, // the integer reader's hexadecimal form
        {" 10", -1, 0, "off", " 10"},
        {"7", -1, -1, "7", "7"},
        {"(NULL)", -1, -1, "(NULL)", "(NULL)"},
    };
    CheckLookups(list, std::begin(cases), std::end(cases));
}

TEST(OptionList, NumberListRejectsNonIntegerValueText) {
    const KvOptionList list(kPowerDefs, OptionKind::Number, false);
    for (const char* text : {"abc", "", "20 ", "1.5", "(null)"}) {
        EXPECT_THROW(list.FindByValue(text), ConvertError) << "'" << text << "'";
        EXPECT_THROW(list.ValueToName(text), ConvertError) << "'" << text << "'";
        EXPECT_THROW(list.SelectionIndex(text), ConvertError) << "'" << text << "'";
    }
    try {
        list.FindByValue("abc");
    } catch (const ConvertError& e) {
        EXPECT_EQ(e.Message(), "'abc' is not a valid integer value");
    }
    // A name is found before any conversion is tried.
    EXPECT_EQ(list.SelectionIndex("fault"), 2);
    EXPECT_EQ(list.SelectionIndex("(NULL)"), -1);
}

TEST(OptionList, EmptyNumberListConvertsNothing) {
    const KvOptionList list(&kEnd, OptionKind::Number, false);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.FindByValue("abc"), -1);
    EXPECT_EQ(list.ValueToName("abc"), "abc");
    EXPECT_EQ(list.SelectionIndex("abc"), -1);
    EXPECT_EQ(list.NameToValue("abc"), "abc");
}

TEST(OptionList, PrefixLookups) {
    const KvOptionList list(kVendorDefs, OptionKind::Prefix, true);
    const Lookup cases[] = {
        {"001122AABBCC", -1, 0, "Acme-AABBCC", "001122AABBCC"},
        {"Acme-AABBCC", 0, -1, "Acme-AABBCC", "001122AABBCC"},
        {"0050C2123456", -1, 1, "Ieee:123456", "0050C2123456"},
        {"Ieee:123456", 1, -1, "Ieee:123456", "0050C2123456"},
        {"001122", -1, 0, "Acme-", "001122"}, // the whole text is the prefix
        {"Acme-", 0, -1, "Acme-", "001122"},
        {"0050C", -1, -1, "0050C", "0050C"}, // shorter than its prefix
        {"A", -1, -1, "A", "A"},             // shorter than every prefix
        {"", -1, -1, "", ""},
        {"acme-AABBCC", -1, -1, "acme-AABBCC", "acme-AABBCC"}, // case-sensitive
        {"ABCD", -1, 2, "Short_CD", "ABCD"},
    };
    CheckLookups(list, std::begin(cases), std::end(cases));
}

TEST(OptionList, PrefixLookupsIgnoringCase) {
    const KvOptionList list(kVendorDefs, OptionKind::Prefix, false);
    const Lookup cases[] = {
        {"acme-xyz", 0, -1, "acme-xyz", "001122xyz"},
        {"ACME-xyz", 0, -1, "ACME-xyz", "001122xyz"},
        {"0050c2aa", -1, 1, "Ieee:aa", "0050c2aa"},
        {"abcd", -1, 2, "Short_cd", "abcd"},
    };
    CheckLookups(list, std::begin(cases), std::end(cases));
}

TEST(OptionList, TextLookupsCaseSensitive) {
    const KvOptionList list(kModelDefs, OptionKind::Text, true);
    const Lookup cases[] = {
        {"Z\xE4hler", 0, -1, "Z\xE4hler", "m1"},
        {"Z\xC4HLER", -1, -1, "Z\xC4HLER", "Z\xC4HLER"},
        {"relais", 2, -1, "relais", "M3"},
        {"Relais", 1, -1, "Relais", "m2"},
        {"m3", -1, -1, "m3", "m3"},
        {"M3", -1, 2, "relais", "M3"},
        {"m", -1, -1, "m", "m"}, // whole texts only, no prefix match
    };
    CheckLookups(list, std::begin(cases), std::end(cases));
}

TEST(OptionList, TextLookupsIgnoringCase) {
    const KvOptionList list(kModelDefs, OptionKind::Text, false);
    const Lookup cases[] = {
        {"Z\xC4HLER", 0, -1, "Z\xC4HLER", "m1"}, {"z\xE4hler", 0, -1, "z\xE4hler", "m1"},
        {"RELAIS", 1, -1, "RELAIS", "m2"}, // two names fold to the same text: the first wins
        {"m3", -1, 2, "relais", "m3"},           {"M1", -1, 0, "Z\xE4hler", "M1"},
    };
    CheckLookups(list, std::begin(cases), std::end(cases));
}

TEST(OptionList, SelectionIndexPrefersNameThenValue) {
    const KvOptionList text(kModelDefs, OptionKind::Text, true);
    EXPECT_EQ(text.SelectionIndex("Relais"), 1);
    EXPECT_EQ(text.SelectionIndex("m2"), 1);
    EXPECT_EQ(text.SelectionIndex("nothing"), -1);
    const KvOptionList prefix(kVendorDefs, OptionKind::Prefix, true);
    EXPECT_EQ(prefix.SelectionIndex("Ieee:00"), 1);
    EXPECT_EQ(prefix.SelectionIndex("0050C2FF"), 1);
    EXPECT_EQ(prefix.SelectionIndex("99"), -1);
    const KvOptionList number(kPowerDefs, OptionKind::Number, false);
    EXPECT_EQ(number.SelectionIndex("-5"), 2);
    EXPECT_EQ(number.SelectionIndex("99"), -1);
}

TEST(OptionList, AppendAndEntryBounds) {
    KvOptionList list(kModelDefs, OptionKind::Text, true);
    list.Append(&kEnd);
    EXPECT_EQ(list.Count(), 3);
    list.Append(kVendorDefs);
    ASSERT_EQ(list.Count(), 6);
    EXPECT_EQ(list.Entry(0).name, "Z\xE4hler");
    EXPECT_EQ(list.Entry(3).value, "001122");
    EXPECT_EQ(list.Entry(5).name, "Short_");
    EXPECT_EQ(list.FindByValue("AB"), 5);
    EXPECT_THROW(list.Entry(6), std::out_of_range);
    EXPECT_THROW(list.Entry(-1), std::out_of_range);
}

// The list keeps copies: the table's texts may be gone after construction.
TEST(OptionList, EntriesAreCopies) {
    std::string value = "v1", name = "Name";
    const OptionDef defs[] = {{0, value.c_str(), name.c_str()}, kEnd};
    const KvOptionList list(defs, OptionKind::Text, true);
    value.assign("xx");
    name.assign("yyyy");
    EXPECT_EQ(list.Entry(0).value, "v1");
    EXPECT_EQ(list.Entry(0).name, "Name");
}

TEST(OptionList, NumberListIgnoringCase) {
    const OptionDef defs[] = {
        {1, nullptr, "readonly"}, {2, nullptr, "writeonly"}, {3, nullptr, "readwrite"}, kEnd};
    const KvOptionList access(defs, OptionKind::Number, false);
    ASSERT_EQ(access.Count(), 3);
    const Lookup cases[] = {
        {"WRITEONLY", 1, kThrows, "", "2"},     {"readonly", 0, kThrows, "", "1"},
        {"3", -1, 2, "readwrite", "3"},         {"7", -1, -1, "7", "7"},
        {"(NULL)", -1, -1, "(NULL)", "(NULL)"},
    };
    CheckLookups(access, std::begin(cases), std::end(cases));
}

TEST(OptionList, ValueTypeNames) {
    const char* const names[] = {"bool8",     "int8",      "uint8",     "bool16",     "int16",
                                 "uint16",    "bool32",    "int32",     "uint32",     "double",
                                 "timeticks", "datetime",  "ipaddress", "macaddress", "bitstr",
                                 "octetstr",  "displaystr"};
    const KvOptionList& types = ValueTypeNames();
    ASSERT_EQ(types.Count(), 17);
    for (int code = 1; code <= 17; ++code) {
        const std::string number = std::to_string(code);
        EXPECT_EQ(types.Entry(code - 1).number, code);
        EXPECT_EQ(types.ValueToName(number), names[code - 1]);
        EXPECT_EQ(types.NameToValue(names[code - 1]), number);
    }
    EXPECT_EQ(types.NameToValue("DisplayStr"), "17");
    EXPECT_EQ(types.ValueToName("0"), "0");
    EXPECT_EQ(types.ValueToName("18"), "18");
}

TEST(TextCompare, FoldsLatin1LettersOnly) {
    struct Case {
        const char* a;
        const char* b;
        bool equal;
    };
    const Case cases[] = {
        {"abc", "ABC", true},
        {"Z\xE4hler", "Z\xC4HLER", true},
        {"\xE0\xFE", "\xC0\xDE", true}, // first and last of the folded Latin-1 range
        {"\xD7", "\xF7", false},        // multiplication and division signs are not letters
        {"\xDF", "\xFF", false},        // sharp s and y with diaeresis have no upper case here
        {"@", "`", false},
        {"[", "{", false},
        {"abc", "abcd", false},
        {"", "", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EqualsIgnoreCase(c.a, c.b), c.equal) << "'" << c.a << "' vs '" << c.b << "'";
}

TEST(TextCompare, StartsWith) {
    EXPECT_TRUE(StartsWith("Acme-01", "Acme-", true));
    EXPECT_FALSE(StartsWith("acme-01", "Acme-", true));
    EXPECT_TRUE(StartsWith("ACME-01", "acme-", false));
    EXPECT_TRUE(StartsWith("\xC4x", "\xE4", false));
    EXPECT_FALSE(StartsWith("Acm", "Acme", false));
    EXPECT_TRUE(StartsWith("anything", "", true));
    EXPECT_TRUE(StartsWith("", "", false));
}

} // namespace
} // namespace vrel
