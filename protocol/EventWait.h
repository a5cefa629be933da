#pragma once

#include <QEventLoop>
#include <QTimer>

namespace vrel {

// Runs the event loop for about ms milliseconds, handling events as they come.
inline void ProcessEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace vrel
