#pragma once

#include <string>

class QComboBox;

namespace vrel {

class KvOptionList;
class RadioGroup;

// Select the item of the entry matching the text by name, else by value; no item when neither
// matches. The control holds the list's names in entry order. A Number list throws
// ConvertError for a text that is neither a name, "(NULL)" nor an integer.
void SelectInComboBox(const KvOptionList& list, QComboBox* box, const std::string& text);
void SelectInRadioGroup(const KvOptionList& list, RadioGroup* group, const std::string& text);

} // namespace vrel
