#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vrel {

enum class OptionKind : std::uint32_t { Number = 1, Text = 2, Prefix = 3 };

// One row of an option definition table: number holds the value for Number lists, text for
// Text and Prefix lists. A row whose name is null ends the table.
struct OptionDef {
    std::int32_t number;
    const char* text;
    const char* name;
};

struct OptionEntry {
    std::int32_t number = 0; // Number lists
    std::string value;       // Text and Prefix lists
    std::string name;
};

// Translates between values carried by protocol variables and the names a user sees.
class KvOptionList {
public:
    KvOptionList(const OptionDef* table, OptionKind kind, bool caseSensitive);

    void Append(const OptionDef* table);

    int Count() const { return static_cast<int>(entries_.size()); }
    // Throws std::out_of_range for an index outside 0..Count()-1.
    const OptionEntry& Entry(int index) const { return entries_.at(index); }

    // Position of the first matching entry, or -1. FindByValue on a Number list throws
    // ConvertError for a text that is neither "(NULL)" nor an integer.
    int FindByName(const std::string& text) const;
    int FindByValue(const std::string& text) const;
    // The translated text, or the text unchanged when nothing matches.
    std::string ValueToName(const std::string& text) const;
    std::string NameToValue(const std::string& text) const;
    // The item index a combo box or radio group showing this list selects for the text: the
    // entry found by name, else the entry found by value, else -1.
    int SelectionIndex(const std::string& text) const;

private:
    bool Matches(const std::string& text, const std::string& key) const;

    OptionKind kind_;
    bool caseSensitive_;
    std::vector<OptionEntry> entries_;
};

// The value type keywords, Number kind, case-insensitive.
const KvOptionList& ValueTypeNames();

} // namespace vrel
