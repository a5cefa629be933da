#include "OptionSelect.h"

#include "KvOptionList.h"
#include "KvRadioGroup.h"

#include <QComboBox>

namespace vrel {

void SelectInComboBox(const KvOptionList& list, QComboBox* box, const std::string& text) {
    const int index = list.SelectionIndex(text);
    if (box != nullptr)
        box->setCurrentIndex(index);
}

void SelectInRadioGroup(const KvOptionList& list, KvRadioGroup* group, const std::string& text) {
    const int index = list.SelectionIndex(text);
    if (group != nullptr)
        group->SetItemIndex(index);
}

} // namespace vrel
