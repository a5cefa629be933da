#include "KvVRELResponseVarList.h"

namespace vrel {

int definition_count(const ResponseVariableDef* table) {
    int n = 0;
    while (table != nullptr && table[n].name != nullptr)
        ++n;
    return n;
}

std::unique_ptr<KvVRELResponseVarList> KvVRELResponseVarList::create_empty() {
    return std::make_unique<KvVRELResponseVarList>();
}

std::unique_ptr<KvVRELResponseVarList>
KvVRELResponseVarList::create_from_definitions(const ResponseVariableDef* table) {
    auto list = create_empty();
    list->append_definitions(table);
    return list;
}

std::unique_ptr<KvVRELResponseVarList>
KvVRELResponseVarList::create_copy(const KvVRELResponseVarList& source) {
    auto list = create_empty();
    list->assign(source);
    return list;
}

KvVRELResponseVarList& KvVRELResponseVarList::assign(const KvVRELResponseVarList& source) {
    if (&source == this)
        return *this;
    AssignOwned(entries_, source.entries_);
    return *this;
}

void KvVRELResponseVarList::append_definitions(const ResponseVariableDef* table) {
    const int n = definition_count(table);
    entries_.reserve(entries_.size() + static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const ResponseVariableDef& row = table[i];
        auto var = std::make_unique<KvVRELResponseVar>();
        var->id = row.id;
        var->name = row.name;
        var->valueType = row.valueType;
        var->optionList = row.optionList;
        var->value = row.value != nullptr ? row.value : "";
        entries_.push_back(std::move(var));
    }
}

} // namespace vrel
