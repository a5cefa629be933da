#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;

namespace vrel {

// A framed group of radio buttons, one per item, of which at most one is selected. The item
// index is the position of the selected button, -1 when none is.
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
