#include "OptionSelect.h"

#include "KvOptionList.h"
#include "RadioGroup.h"

#include <QComboBox>

namespace vrel {

namespace {

// By name first; a text that names nothing leaves the control without a selection before the
// value lookup runs, which on a Number list raises for a text that is no integer.
template <class Control>
void SelectByNameElseValue(const KvOptionList& list, Control* control, void (Control::*set)(int),
                           const std::string& text) {
    const int byName = list.FindByName(text);
    (control->*set)(byName);
    if (byName < 0)
        (control->*set)(list.FindByValue(text));
}

} // namespace

void SelectInComboBox(const KvOptionList& list, QComboBox* box, const std::string& text) {
    SelectByNameElseValue(list, box, &QComboBox::setCurrentIndex, text);
}

void SelectInRadioGroup(const KvOptionList& list, RadioGroup* group, const std::string& text) {
    SelectByNameElseValue(list, group, &RadioGroup::SetItemIndex, text);
}

} // namespace vrel
