#pragma once

#include "KvVRELResponseVarList.h"
#include "VrelTypes.h"

namespace vrel {

// A definition row; a row whose name is null ends the table.
struct VariableDef {
    std::uint8_t id;
    const char* name;
    std::uint8_t valueType;
    std::uint32_t access;
    const KvOptionList* optionList;
    const KvVRELResponseVarList* responseVars; // copied into each variable built from the row
    const char* value;                         // null: empty
};

// One protocol variable. A structured variable has response variables and no value of its
// own (value type 0).
struct KvVRELVar {
    KvVRELVar() = default;
    explicit KvVRELVar(const VariableDef& row);
    KvVRELVar(const KvVRELVar& other) { *this = other; }
    KvVRELVar& operator=(const KvVRELVar& other);

    bool readable() const { return (access & kReadable) != 0; }
    bool writable() const { return (access & kWritable) != 0; }

    std::uint8_t id = 0;
    std::string name;
    std::uint8_t valueType = 0;
    std::uint32_t access = 0;
    const KvOptionList* optionList = nullptr;            // shared, never owned
    std::unique_ptr<KvVRELResponseVarList> responseVars; // owned, may be null
    std::string value;
};

class KvVRELVarList : public OwningList<KvVRELVarList, KvVRELVar, VariableDef> {
public:
    // Number of values a result row holds: the response variables of structured variables
    // plus one per other readable variable.
    int readable_value_count() const;
};

} // namespace vrel
