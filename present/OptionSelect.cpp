#include "OptionSelect.h"

#include "KvOptionList.h"
#include "RadioGroup.h"

#include <QComboBox>

namespace vrel {

namespace {

// By name first; a text that names nothing leaves the control without a selection before the
// value lookup runs, which on a Number list raises for a text that is no integer.
template <class SetIndex>
void SelectByNameElseValue(const KvOptionList& list, const std::string& text, SetIndex set) {
    const int byName = list.FindByName(text);
    set(byName);
    if (byName < 0)
        set(list.FindByValue(text));
}

} // namespace

void SelectInComboBox(const KvOptionList& list, QComboBox* box, const std::string& text) {
    SelectByNameElseValue(list, text, [box](int index) {
        if (box != nullptr)
            box->setCurrentIndex(index);
    });
}

void SelectInRadioGroup(const KvOptionList& list, RadioGroup* group, const std::string& text) {
    SelectByNameElseValue(list, text, [group](int index) {
        if (group != nullptr)
            group->SetItemIndex(index);
    });
}

} // namespace vrel
