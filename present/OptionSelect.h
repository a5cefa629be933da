#pragma once

#include <string>

class QComboBox;

namespace vrel {

class KvOptionList;
class RadioGroup;

// Select the entry matching the text by name, else by value, else none; the control holds the
// names in entry order. On a Number list a text no name, "(NULL)" nor integer throws ConvertError.
void SelectInComboBox(const KvOptionList& list, QComboBox* box, const std::string& text);
void SelectInRadioGroup(const KvOptionList& list, RadioGroup* group, const std::string& text);

} // namespace vrel
