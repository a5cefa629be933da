#include "KvOptionList.h"
#include "KvVRELVarList.h"
#include "VrelTables.h"
#include "VrelTypes.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace vrel {
namespace {

const VariableDef kVarEnd = {0, nullptr, 0, 0, nullptr, nullptr, nullptr};
const ResponseVariableDef kResponseEnd = {0, nullptr, 0, nullptr, nullptr};
const OptionDef kAccessDefs[] = {{1, nullptr, "readonly"},
                                 {2, nullptr, "writeonly"},
                                 {3, nullptr, "readwrite"},
                                 {0, nullptr, nullptr}};
const KvOptionList kAccess(kAccessDefs, OptionKind::Number, false);

const ResponseVariableDef kStatusFields[] = {
    {10, "Power", kUint8, &kAccess, "1"},
    {11, "Uptime", kTimeticks, nullptr, nullptr},
    {12, "Label", kDisplayStr, nullptr, "lab"},
    kResponseEnd,
};

TEST(VarList, BuiltInDiscoveryResponseVars) {
    struct Row {
        std::uint8_t id;
        const char* name;
        std::uint8_t type;
    };
    const Row rows[] = {
        {235, "Product Code", kUint16},  {1, "Model Name", kDisplayStr},
        {2, "Mac Address", kMacAddress}, {3, "IP Address", kIpAddress},
        {4, "Netmask", kIpAddress},
    };
    ASSERT_EQ(definition_count(DiscoveryResponseVars), 5);
    const KvVRELResponseVarList& built = DiscoveryResponseVarList();
    ASSERT_EQ(built.count(), 5);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(DiscoveryResponseVars[i].id, rows[i].id);
        EXPECT_STREQ(DiscoveryResponseVars[i].name, rows[i].name);
        EXPECT_EQ(DiscoveryResponseVars[i].valueType, rows[i].type);
        EXPECT_EQ(DiscoveryResponseVars[i].optionList, nullptr);
        EXPECT_EQ(DiscoveryResponseVars[i].value, nullptr);
        EXPECT_EQ(built.at(i).id, rows[i].id);
        EXPECT_EQ(built.at(i).name, rows[i].name);
        EXPECT_EQ(built.at(i).valueType, rows[i].type);
        EXPECT_EQ(built.at(i).value, "");
    }
}

TEST(VarList, BuiltInVariableTables) {
    ASSERT_EQ(definition_count(DiscoveryVariables()), 1);
    const VariableDef& discovery = DiscoveryVariables()[0];
    EXPECT_EQ(discovery.id, 0);
    EXPECT_STREQ(discovery.name, "Discovery");
    EXPECT_EQ(discovery.valueType, kNoValueType);
    EXPECT_EQ(discovery.access, kReadOnly);
    EXPECT_EQ(discovery.responseVars, &DiscoveryResponseVarList());
    EXPECT_EQ(discovery.optionList, nullptr);
    EXPECT_EQ(discovery.value, nullptr);

    struct Row {
        std::uint8_t id;
        const char* name;
        std::uint8_t type;
        std::uint32_t access;
    };
    const Row rows[] = {
        {3, "IP Address", kIpAddress, kReadWrite},
        {4, "IP Netmask", kIpAddress, kReadWrite},
        {5, "Action", kInt8, kWriteOnly},
    };
    ASSERT_EQ(definition_count(SetVariables), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(SetVariables[i].id, rows[i].id);
        EXPECT_STREQ(SetVariables[i].name, rows[i].name);
        EXPECT_EQ(SetVariables[i].valueType, rows[i].type);
        EXPECT_EQ(SetVariables[i].access, rows[i].access);
        EXPECT_EQ(SetVariables[i].optionList, nullptr);
        EXPECT_EQ(SetVariables[i].responseVars, nullptr);
        EXPECT_EQ(SetVariables[i].value, nullptr);
    }
}

TEST(VarList, DefinitionCountOfAbsentAndEmptyTables) {
    EXPECT_EQ(definition_count(static_cast<const VariableDef*>(nullptr)), 0);
    EXPECT_EQ(definition_count(static_cast<const ResponseVariableDef*>(nullptr)), 0);
    EXPECT_EQ(definition_count(&kVarEnd), 0);
    EXPECT_EQ(definition_count(&kResponseEnd), 0);
    EXPECT_EQ(definition_count(kStatusFields), 3);
}

TEST(VarList, BuiltFromDefinitions) {
    const KvVRELResponseVarList status =
        *KvVRELResponseVarList::create_from_definitions(kStatusFields);
    const VariableDef defs[] = {
        {7, "Status", kNoValueType, kReadOnly, nullptr, &status, nullptr},
        {8, "Mode", kUint8, kReadWrite, &kAccess, nullptr, "readonly"},
        kVarEnd,
    };
    const auto list = KvVRELVarList::create_from_definitions(defs);
    EXPECT_EQ(list->name, "");
    ASSERT_EQ(list->count(), 2);
    const KvVRELVar& structured = list->at(0);
    ASSERT_NE(structured.responseVars, nullptr);
    EXPECT_NE(structured.responseVars.get(), &status);
    ASSERT_EQ(structured.responseVars->count(), 3);
    EXPECT_EQ(structured.responseVars->at(0).optionList, &kAccess);
    EXPECT_EQ(structured.responseVars->at(0).value, "1");
    EXPECT_EQ(structured.responseVars->at(1).value, "");
    EXPECT_EQ(structured.responseVars->at(2).name, "Label");
    EXPECT_EQ(structured.value, "");
    const KvVRELVar& mode = list->at(1);
    EXPECT_EQ(mode.id, 8);
    EXPECT_EQ(mode.access, kReadWrite);
    EXPECT_TRUE(mode.readable());
    EXPECT_TRUE(mode.writable());
    EXPECT_EQ(mode.optionList, &kAccess);
    EXPECT_EQ(mode.responseVars, nullptr);
    EXPECT_EQ(mode.value, "readonly");
}

// A request keeps its own copy while it waits; the decoder writes into that copy only.
TEST(VarList, CopiesOfDiscoveryListAreIndependent) {
    auto source = KvVRELVarList::create_from_definitions(DiscoveryVariables());
    source->name = "Discovery Table";
    ASSERT_NE(source->at(0).responseVars, nullptr);
    EXPECT_NE(source->at(0).responseVars.get(), &DiscoveryResponseVarList());

    const auto copy = KvVRELVarList::create_copy(*source);
    EXPECT_EQ(copy->name, "");
    ASSERT_EQ(copy->count(), 1);
    ASSERT_NE(copy->at(0).responseVars, nullptr);
    EXPECT_NE(copy->at(0).responseVars.get(), source->at(0).responseVars.get());
    ASSERT_EQ(copy->at(0).responseVars->count(), 5);

    copy->at(0).responseVars->at(1).value = "SIM-1";
    copy->at(0).responseVars->at(1).name = "renamed";
    EXPECT_EQ(source->at(0).responseVars->at(1).value, "");
    EXPECT_EQ(source->at(0).responseVars->at(1).name, "Model Name");
    EXPECT_EQ(DiscoveryResponseVarList().at(1).value, "");
    EXPECT_EQ(DiscoveryResponseVarList().at(1).name, "Model Name");

    source->at(0).responseVars->at(2).value = "020000000001";
    EXPECT_EQ(copy->at(0).responseVars->at(2).value, "");
    EXPECT_EQ(DiscoveryResponseVarList().at(2).value, "");
}

TEST(VarList, CopiesShareOptionLists) {
    const OptionDef noOptions[] = {{0, nullptr, nullptr}};
    const KvOptionList local(noOptions, OptionKind::Text, true);
    const KvVRELResponseVarList fields =
        *KvVRELResponseVarList::create_from_definitions(kStatusFields);
    const VariableDef defs[] = {
        {1, "A", kUint8, kReadWrite, &local, nullptr, nullptr},
        {2, "B", kNoValueType, kReadOnly, nullptr, &fields, nullptr},
        kVarEnd,
    };
    const auto source = KvVRELVarList::create_from_definitions(defs);
    const auto copy = KvVRELVarList::create_copy(*source);
    EXPECT_EQ(copy->at(0).optionList, &local);
    EXPECT_EQ(copy->at(1).responseVars->at(0).optionList, &kAccess);
    const KvVRELVar single(source->at(1));
    EXPECT_EQ(single.responseVars->at(0).optionList, &kAccess);
    EXPECT_NE(single.responseVars.get(), source->at(1).responseVars.get());
}

TEST(VarList, AssignReplacesEntriesAndKeepsName) {
    auto list = KvVRELVarList::create_from_definitions(SetVariables);
    list->name = "Keep";
    const auto empty = KvVRELVarList::create_empty();
    list->assign(*empty);
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(list->name, "Keep");

    auto source = KvVRELVarList::create_from_definitions(SetVariables);
    source->name = "Source";
    source->at(0).value = "10.0.0.1";
    list->assign(*source);
    EXPECT_EQ(list->name, "Keep");
    ASSERT_EQ(list->count(), 3);
    EXPECT_NE(&list->at(0), &source->at(0));
    EXPECT_EQ(list->at(0).value, "10.0.0.1");
    list->at(0).value = "changed";
    EXPECT_EQ(source->at(0).value, "10.0.0.1");

    list->clear();
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(list->name, "Keep");

    auto fields = KvVRELResponseVarList::create_from_definitions(kStatusFields);
    fields->name = "Fields";
    fields->assign(*KvVRELResponseVarList::create_empty());
    EXPECT_EQ(fields->count(), 0);
    EXPECT_EQ(fields->name, "Fields");
    fields->name = "Named";
    const auto fieldsCopy = KvVRELResponseVarList::create_copy(*fields);
    EXPECT_EQ(fieldsCopy->name, "");
}

// Assigning a list or a variable to itself must not release what it is about to copy.
TEST(VarList, SelfAssignmentKeepsEverything) {
    auto list = KvVRELVarList::create_from_definitions(DiscoveryVariables());
    list->at(0).responseVars->at(3).value = "10.0.0.1";
    const KvVRELVarList& alias = *list;
    list->assign(alias);
    ASSERT_EQ(list->count(), 1);
    ASSERT_NE(list->at(0).responseVars, nullptr);
    ASSERT_EQ(list->at(0).responseVars->count(), 5);
    EXPECT_EQ(list->at(0).responseVars->at(3).value, "10.0.0.1");

    KvVRELResponseVarList& fields = *list->at(0).responseVars;
    const KvVRELResponseVarList& fieldsAlias = fields;
    fields.assign(fieldsAlias);
    ASSERT_EQ(fields.count(), 5);
    EXPECT_EQ(fields.at(3).value, "10.0.0.1");

    KvVRELVar& var = list->at(0);
    const KvVRELVar& varAlias = var;
    var = varAlias;
    ASSERT_NE(var.responseVars, nullptr);
    EXPECT_EQ(var.responseVars->at(3).value, "10.0.0.1");
}

TEST(VarList, AppendKeepsExistingEntriesInPlace) {
    auto list = KvVRELVarList::create_from_definitions(SetVariables);
    const KvVRELVar* before[] = {&list->at(0), &list->at(1), &list->at(2)};
    list->append_definitions(&kVarEnd);
    list->append_definitions(nullptr);
    EXPECT_EQ(list->count(), 3);

    // Enough rows to make any contiguous store move.
    std::vector<std::string> names;
    for (int i = 0; i < 100; ++i)
        names.push_back("Extra " + std::to_string(i));
    std::vector<VariableDef> rows;
    for (int i = 0; i < 100; ++i)
        rows.push_back({static_cast<std::uint8_t>(100 + i), names[i].c_str(), kUint8, kReadOnly,
                        nullptr, nullptr, nullptr});
    rows.push_back(kVarEnd);
    list->append_definitions(rows.data());
    ASSERT_EQ(list->count(), 103);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(&list->at(i), before[i]) << i;
    EXPECT_EQ(list->at(0).name, "IP Address");
    EXPECT_EQ(list->at(3).name, "Extra 0");
    EXPECT_EQ(list->at(102).id, 199);

    auto fields = KvVRELResponseVarList::create_from_definitions(kStatusFields);
    const KvVRELResponseVar* first = &fields->at(0);
    fields->append_definitions(&kResponseEnd);
    EXPECT_EQ(fields->count(), 3);
    for (int i = 0; i < 20; ++i)
        fields->append_definitions(kStatusFields);
    EXPECT_EQ(fields->count(), 63);
    EXPECT_EQ(&fields->at(0), first);
    EXPECT_EQ(fields->at(62).name, "Label");
}

TEST(VarList, AtChecksItsIndex) {
    auto list = KvVRELVarList::create_from_definitions(SetVariables);
    EXPECT_THROW(list->at(-1), std::out_of_range);
    EXPECT_THROW(list->at(3), std::out_of_range);
    const auto& constList = *list;
    EXPECT_THROW(constList.at(3), std::out_of_range);
    auto fields = KvVRELResponseVarList::create_empty();
    EXPECT_THROW(fields->at(0), std::out_of_range);
}

TEST(VarList, ReadableValueCount) {
    const KvVRELResponseVarList fields =
        *KvVRELResponseVarList::create_from_definitions(kStatusFields);
    const VariableDef structuredWriteOnly[] = {
        {1, "S", kNoValueType, kWriteOnly, nullptr, &fields, nullptr}, kVarEnd};
    const VariableDef structuredNoAccess[] = {{1, "S", kNoValueType, 0, nullptr, &fields, nullptr},
                                               kVarEnd};
    const VariableDef writeOnly[] = {{1, "W", kUint8, kWriteOnly, nullptr, nullptr, nullptr},
                                      {2, "N", kUint8, 0, nullptr, nullptr, nullptr},
                                      kVarEnd};
    const VariableDef mixed[] = {
        {1, "R", kUint8, kReadOnly, nullptr, nullptr, nullptr},
        {2, "W", kUint8, kWriteOnly, nullptr, nullptr, nullptr},
        {3, "S", kNoValueType, kReadOnly, nullptr, &fields, nullptr},
        {4, "RW", kUint8, kReadWrite, nullptr, nullptr, nullptr},
        {5, "X", kUint8, 5, nullptr, nullptr, nullptr}, // only bit 0 counts as readable
        kVarEnd};
    struct Case {
        const VariableDef* table;
        int count;
    };
    const Case cases[] = {
        {DiscoveryVariables(), 5}, {SetVariables, 2}, {&kVarEnd, 0}, {structuredWriteOnly, 3},
        {structuredNoAccess, 3},   {writeOnly, 0},    {mixed, 6},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(KvVRELVarList::create_from_definitions(cases[i].table)->readable_value_count(),
                  cases[i].count)
            << "case " << i;
}

} // namespace
} // namespace vrel
