#include "OptionSelect.h"

#include "KvOptionList.h"
#include "RadioGroup.h"

#include <QComboBox>

namespace vrel {

namespace {

// By name first; a text that names nothing leaves the control without a selection before the
// value lookup runs, which on a Number list raises for a text that is no integer.
void SelectByNameElseValue(const KvOptionList& list, const std::string& text, auto select) {
    const int byName = list.FindByName(text);
    select(byName);
    if (byName < 0)
        select(list.FindByValue(text));
}

} // namespace

void SelectInComboBox(const KvOptionList& list, QComboBox* box, const std::string& text) {
    SelectByNameElseValue(list, text, [box](int i) { box->setCurrentIndex(i); });
}

void SelectInRadioGroup(const KvOptionList& list, RadioGroup* group, const std::string& text) {
    SelectByNameElseValue(list, text, [group](int i) { group->SetItemIndex(i); });
}

} // namespace vrel
