#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vrel {

class KvOptionList;

// Makes `to` a copy of `from`, element by element, overwriting the elements `to` already
// owns: a list copied over answer after answer keeps its allocations.
template <class T>
void AssignOwned(std::vector<std::unique_ptr<T>>& to, const std::vector<std::unique_ptr<T>>& from) {
    to.resize(std::min(to.size(), from.size()));
    for (std::size_t i = 0; i < to.size(); ++i)
        *to[i] = *from[i];
    for (std::size_t i = to.size(); i < from.size(); ++i)
        to.push_back(std::make_unique<T>(*from[i]));
}

// One field of a structured variable.
struct KvVRELResponseVar {
    std::uint8_t id = 0;
    std::string name;
    std::uint8_t valueType = 0;
    const KvOptionList* optionList = nullptr; // shared, never owned
    std::string value;
};

// A definition row; a row whose name is null ends the table.
struct ResponseVariableDef {
    std::uint8_t id;
    const char* name;
    std::uint8_t valueType;
    const KvOptionList* optionList;
    const char* value; // null: empty
};

int definition_count(const ResponseVariableDef* table);

// An ordered list that owns its entries; copies are deep except for option lists.
class KvVRELResponseVarList {
public:
    KvVRELResponseVarList() = default;
    KvVRELResponseVarList(const KvVRELResponseVarList& other) { assign(other); }
    KvVRELResponseVarList& operator=(const KvVRELResponseVarList& other) { return assign(other); }

    static std::unique_ptr<KvVRELResponseVarList> create_empty();
    static std::unique_ptr<KvVRELResponseVarList>
    create_from_definitions(const ResponseVariableDef* table);
    static std::unique_ptr<KvVRELResponseVarList> create_copy(const KvVRELResponseVarList& source);

    // Replaces the entries by deep copies of the source's; the name stays.
    KvVRELResponseVarList& assign(const KvVRELResponseVarList& source);
    void append_definitions(const ResponseVariableDef* table);
    void clear() { entries_.clear(); }
    int count() const { return static_cast<int>(entries_.size()); }
    // Throws std::out_of_range for an index outside 0..count()-1.
    KvVRELResponseVar& at(int index) { return *entries_.at(index); }
    const KvVRELResponseVar& at(int index) const { return *entries_.at(index); }

    std::string name;

private:
    // Entries are held by pointer so that appending keeps the existing ones in place.
    std::vector<std::unique_ptr<KvVRELResponseVar>> entries_;
};

} // namespace vrel
