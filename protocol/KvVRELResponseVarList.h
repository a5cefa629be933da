#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vrel {

class KvOptionList;

// The rows of a definition table before the row whose name is null; 0 for no table.
template <class Def> int definition_count(const Def* table) {
    int n = 0;
    while (table != nullptr && table[n].name != nullptr)
        ++n;
    return n;
}

// A named list owning its entries, deep copies but for option lists. Entries are held by
// pointer so that appending keeps the existing ones in place.
template <class List, class Entry, class Def> class OwningList {
public:
    OwningList() = default;
    OwningList(const OwningList& other) { assign(other); }
    OwningList& operator=(const OwningList& other) { return assign(other); }

    static std::unique_ptr<List> create_empty() { return std::make_unique<List>(); }
    static std::unique_ptr<List> create_from_definitions(const Def* table) {
        auto list = create_empty();
        list->append_definitions(table);
        return list;
    }
    static std::unique_ptr<List> create_copy(const List& source) {
        return std::make_unique<List>(source);
    }

    // Replaces the entries by deep copies of the source's; the name stays. The entries already
    // owned are overwritten: a list copied over answer after answer keeps its allocations.
    List& assign(const OwningList& source) {
        const auto& from = source.entries_;
        if (&from != &entries_) {
            entries_.resize(std::min(entries_.size(), from.size()));
            for (std::size_t i = 0; i < entries_.size(); ++i)
                *entries_[i] = *from[i];
            for (std::size_t i = entries_.size(); i < from.size(); ++i)
                entries_.push_back(std::make_unique<Entry>(*from[i]));
        }
        return static_cast<List&>(*this);
    }
    void append_definitions(const Def* table) {
        const int n = definition_count(table);
        entries_.reserve(entries_.size() + static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            entries_.push_back(std::make_unique<Entry>(table[i]));
    }
    void clear() { entries_.clear(); }
    int count() const { return static_cast<int>(entries_.size()); }
    // Throws std::out_of_range for an index outside 0..count()-1.
    Entry& at(int index) { return *entries_.at(index); }
    const Entry& at(int index) const { return *entries_.at(index); }

    std::string name;

private:
    std::vector<std::unique_ptr<Entry>> entries_;
};

// A definition row; a row whose name is null ends the table.
struct ResponseVariableDef {
    std::uint8_t id;
    const char* name;
    std::uint8_t valueType;
    const KvOptionList* optionList;
    const char* value; // null: empty
};

// One field of a structured variable.
struct KvVRELResponseVar {
    KvVRELResponseVar() = default;
    explicit KvVRELResponseVar(const ResponseVariableDef& row)
        : id(row.id), name(row.name), valueType(row.valueType), optionList(row.optionList),
          value(row.value != nullptr ? row.value : "") {}

    std::uint8_t id = 0;
    std::string name;
    std::uint8_t valueType = 0;
    const KvOptionList* optionList = nullptr; // shared, never owned
    std::string value;
};

class KvVRELResponseVarList
    : public OwningList<KvVRELResponseVarList, KvVRELResponseVar, ResponseVariableDef> {};

} // namespace vrel
