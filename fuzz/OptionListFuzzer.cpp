// Option lists: a table built from the input in each of the three kinds, then every lookup
// with input texts, and the two global keyword lists.
#include "Exception.h"
#include "FuzzInput.h"
#include "KvOptionList.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// A text no entry can stand for is refused as a ConvertError, and only so.
template <typename Lookup> void Refusable(Lookup&& lookup) {
    try {
        lookup();
    } catch (const vrel::ConvertError&) {
    }
}

void Lookups(const vrel::KvOptionList& list, const std::string& text) {
    Refusable([&] { list.FindByName(text); });
    Refusable([&] { list.FindByValue(text); });
    Refusable([&] { list.ValueToName(text); });
    Refusable([&] { list.NameToValue(text); });
    Refusable([&] { list.SelectionIndex(text); });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const bool caseSensitive = data[0] & 1;
    vrel::fuzz::FuzzInput input(data + 1, size - 1);
    const std::string probe = input.Next();
    // Rows of (value text, name); the number of a row is taken from its text's length.
    std::vector<std::string> texts;
    for (std::string t = input.Next(); !t.empty() && texts.size() < 64; t = input.Next())
        texts.push_back(t);
    std::vector<vrel::OptionDef> table;
    for (std::size_t i = 0; i + 1 < texts.size(); i += 2)
        table.push_back({static_cast<std::int32_t>(texts[i].size()) - 8, texts[i].c_str(),
                         texts[i + 1].c_str()});
    table.push_back({0, nullptr, nullptr});
    for (const auto kind :
         {vrel::OptionKind::Number, vrel::OptionKind::Text, vrel::OptionKind::Prefix}) {
        vrel::KvOptionList list(table.data(), kind, caseSensitive);
        Lookups(list, probe);
        list.Append(table.data());
        Lookups(list, probe);
    }
    Lookups(vrel::ValueTypeNames(), probe);
    return 0;
}
