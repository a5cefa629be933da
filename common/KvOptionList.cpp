#include "KvOptionList.h"

#include "NumberText.h"
#include "TextCompare.h"

#include <algorithm>

namespace vrel {

KvOptionList::KvOptionList(const OptionDef* table, OptionKind kind, bool caseSensitive)
    : kind_(kind), caseSensitive_(caseSensitive) {
    Append(table);
}

void KvOptionList::Append(const OptionDef* table) {
    for (; table != nullptr && table->name != nullptr; ++table) {
        OptionEntry& entry = entries_.emplace_back();
        if (kind_ == OptionKind::Number)
            entry.number = table->number;
        else if (table->text != nullptr)
            entry.value = table->text;
        entry.name = table->name;
    }
}

bool KvOptionList::Matches(const std::string& text, const std::string& key) const {
    if (kind_ == OptionKind::Prefix)
        return StartsWith(text, key, caseSensitive_);
    return caseSensitive_ ? text == key : EqualsIgnoreCase(text, key);
}

int KvOptionList::FindByName(const std::string& text) const {
    const auto found =
        std::ranges::find_if(entries_, [&](const OptionEntry& e) { return Matches(text, e.name); });
    return found == entries_.end() ? -1 : static_cast<int>(found - entries_.begin());
}

int KvOptionList::FindByValue(const std::string& text) const {
    if (entries_.empty() || (kind_ == OptionKind::Number && text == "(NULL)"))
        return -1;
    const auto found = kind_ == OptionKind::Number
                           ? std::ranges::find(entries_, ReadInteger(text), &OptionEntry::number)
                           : std::ranges::find_if(entries_, [&](const OptionEntry& e) {
                                 return Matches(text, e.value);
                             });
    return found == entries_.end() ? -1 : static_cast<int>(found - entries_.begin());
}

std::string KvOptionList::ValueToName(const std::string& text) const {
    const int i = FindByValue(text);
    if (i < 0)
        return text;
    const OptionEntry& e = entries_[i];
    return kind_ == OptionKind::Prefix ? e.name + text.substr(e.value.size()) : e.name;
}

std::string KvOptionList::NameToValue(const std::string& text) const {
    const int i = FindByName(text);
    if (i < 0)
        return text;
    const OptionEntry& e = entries_[i];
    if (kind_ == OptionKind::Number)
        return std::to_string(e.number);
    return kind_ == OptionKind::Prefix ? e.value + text.substr(e.name.size()) : e.value;
}

int KvOptionList::SelectionIndex(const std::string& text) const {
    const int byName = FindByName(text);
    return byName >= 0 ? byName : FindByValue(text);
}

const KvOptionList& ValueTypeNames() {
    static const OptionDef kValueTypeDefs[] = {
        {1, nullptr, "bool8"},      {2, nullptr, "int8"},        {3, nullptr, "uint8"},
        {4, nullptr, "bool16"},     {5, nullptr, "int16"},       {6, nullptr, "uint16"},
        {7, nullptr, "bool32"},     {8, nullptr, "int32"},       {9, nullptr, "uint32"},
        {10, nullptr, "double"},    {11, nullptr, "timeticks"},  {12, nullptr, "datetime"},
        {13, nullptr, "ipaddress"}, {14, nullptr, "macaddress"}, {15, nullptr, "bitstr"},
        {16, nullptr, "octetstr"},  {17, nullptr, "displaystr"}, {0, nullptr, nullptr},
    };
    static const KvOptionList list(kValueTypeDefs, OptionKind::Number, false);
    return list;
}

} // namespace vrel
