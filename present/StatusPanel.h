#pragma once

#include <QLabel>

namespace vrel {

// One panel of a status bar: a label placed in a QStatusBar, a log target of its own kind.
class StatusPanel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
};

} // namespace vrel
