#pragma once

#include "KvVRELResponseVarList.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vrel {

class KvOptionList;

// One protocol variable. A structured variable has response variables and no value of its
// own (value type 0).
struct KvVRELVar {
    KvVRELVar() = default;
    KvVRELVar(const KvVRELVar& other);
    KvVRELVar& operator=(const KvVRELVar& other);

    bool readable() const { return (access & 1u) != 0; }
    bool writable() const { return (access & 2u) != 0; }

    std::uint8_t id = 0;
    std::string name;
    std::uint8_t valueType = 0;
    std::uint32_t access = 0;
    const KvOptionList* optionList = nullptr; // shared, never owned
    std::unique_ptr<KvVRELResponseVarList> responseVars; // owned, may be null
    std::string value;
};

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

int definition_count(const VariableDef* table);

class KvVRELVarList {
public:
    KvVRELVarList() = default;
    KvVRELVarList(const KvVRELVarList& other) { assign(other); }
    KvVRELVarList& operator=(const KvVRELVarList& other) { return assign(other); }

    static std::unique_ptr<KvVRELVarList> create_empty();
    static std::unique_ptr<KvVRELVarList> create_from_definitions(const VariableDef* table);
    static std::unique_ptr<KvVRELVarList> create_copy(const KvVRELVarList& source);

    // Replaces the entries by deep copies of the source's; the name stays.
    KvVRELVarList& assign(const KvVRELVarList& source);
    void append_definitions(const VariableDef* table);
    void clear() { entries_.clear(); }
    int count() const { return static_cast<int>(entries_.size()); }
    // Throws std::out_of_range for an index outside 0..count()-1.
    KvVRELVar& at(int index) { return *entries_.at(index); }
    const KvVRELVar& at(int index) const { return *entries_.at(index); }
    // Number of values a result row holds: the response variables of structured variables
    // plus one per other readable variable.
    int readable_value_count() const;

    std::string name;

private:
    std::vector<std::unique_ptr<KvVRELVar>> entries_;
};

} // namespace vrel
