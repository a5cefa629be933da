#include "KvVRELVarList.h"

namespace vrel {

KvVRELVar::KvVRELVar(const VariableDef& row)
    : id(row.id), name(row.name), valueType(row.valueType), access(row.access),
      optionList(row.optionList), value(row.value != nullptr ? row.value : "") {
    if (row.responseVars != nullptr)
        responseVars = KvVRELResponseVarList::create_copy(*row.responseVars);
}

KvVRELVar& KvVRELVar::operator=(const KvVRELVar& other) {
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

int KvVRELVarList::readable_value_count() const {
    int n = 0;
    for (int i = 0; i < count(); ++i) {
        const KvVRELVar& var = at(i);
        if (var.responseVars)
            n += var.responseVars->count();
        else if (var.readable())
            n += 1;
    }
    return n;
}

} // namespace vrel
