#include "KvVRELVarList.h"

namespace vrel {

KvVRELVar::KvVRELVar(const KvVRELVar& other) {
    *this = other;
}

KvVRELVar& KvVRELVar::operator=(const KvVRELVar& other) {
    if (&other == this)
        return *this;
    id = other.id;
    name = other.name;
    valueType = other.valueType;
    access = other.access;
    optionList = other.optionList;
    // An answer is copied over the list it was decoded from, answer after answer: the
    // response variables already there are overwritten rather than made anew.
    if (!other.responseVars)
        responseVars.reset();
    else if (responseVars)
        responseVars->assign(*other.responseVars);
    else
        responseVars = KvVRELResponseVarList::create_copy(*other.responseVars);
    value = other.value;
    return *this;
}

int definition_count(const VariableDef* table) {
    int n = 0;
    while (table != nullptr && table[n].name != nullptr)
        ++n;
    return n;
}

std::unique_ptr<KvVRELVarList> KvVRELVarList::create_empty() {
    return std::make_unique<KvVRELVarList>();
}

std::unique_ptr<KvVRELVarList> KvVRELVarList::create_from_definitions(const VariableDef* table) {
    auto list = create_empty();
    list->append_definitions(table);
    return list;
}

std::unique_ptr<KvVRELVarList> KvVRELVarList::create_copy(const KvVRELVarList& source) {
    auto list = create_empty();
    list->assign(source);
    return list;
}

KvVRELVarList& KvVRELVarList::assign(const KvVRELVarList& source) {
    if (&source == this)
        return *this;
    AssignOwned(entries_, source.entries_);
    return *this;
}

void KvVRELVarList::append_definitions(const VariableDef* table) {
    const int n = definition_count(table);
    entries_.reserve(entries_.size() + static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const VariableDef& row = table[i];
        auto var = std::make_unique<KvVRELVar>();
        var->id = row.id;
        var->name = row.name;
        var->valueType = row.valueType;
        var->access = row.access;
        var->optionList = row.optionList;
        if (row.responseVars != nullptr)
            var->responseVars = KvVRELResponseVarList::create_copy(*row.responseVars);
        var->value = row.value != nullptr ? row.value : "";
        entries_.push_back(std::move(var));
    }
}

int KvVRELVarList::readable_value_count() const {
    int n = 0;
    for (const auto& var : entries_) {
        if (var->responseVars)
            n += var->responseVars->count();
        else if (var->readable())
            n += 1;
    }
    return n;
}

} // namespace vrel
