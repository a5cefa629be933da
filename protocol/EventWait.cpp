#include "EventWait.h"

#include <QEventLoop>
#include <QTimer>

namespace vrel {

void ProcessEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace vrel
