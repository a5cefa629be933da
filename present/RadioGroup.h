#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;

namespace vrel {

// A framed group of radio buttons, one per item; the item index is the checked one's, or -1.
class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit RadioGroup(QWidget* parent = nullptr);

    QStringList Items() const;
    // Replaces the buttons; nothing is selected afterwards.
    void SetItems(const QStringList& items);

    int ItemIndex() const;
    // An index outside the items (-1 among them) leaves no button selected.
    void SetItemIndex(int index);

private:
    QButtonGroup* buttons_;
};

} // namespace vrel
