#include "KvRadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vrel {

KvRadioGroup::KvRadioGroup(QWidget* parent)
    : QGroupBox(parent), buttons_(new QButtonGroup(this)), layout_(new QVBoxLayout(this)) {}

QStringList KvRadioGroup::Items() const {
    QStringList items;
    for (QAbstractButton* button : buttons_->buttons())
        items << button->text();
    return items;
}

void KvRadioGroup::SetItems(const QStringList& items) {
    for (QAbstractButton* button : buttons_->buttons()) {
        buttons_->removeButton(button);
        delete button;
    }
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        buttons_->addButton(button, i);
        layout_->addWidget(button);
    }
}

int KvRadioGroup::ItemIndex() const {
    return buttons_->checkedId();
}

void KvRadioGroup::SetItemIndex(int index) {
    if (QAbstractButton* button = buttons_->button(index)) {
        button->setChecked(true);
        return;
    }
    // An exclusive group refuses to uncheck its checked button; lift the rule meanwhile.
    if (QAbstractButton* checked = buttons_->checkedButton()) {
        buttons_->setExclusive(false);
        checked->setChecked(false);
        buttons_->setExclusive(true);
    }
}

} // namespace vrel
