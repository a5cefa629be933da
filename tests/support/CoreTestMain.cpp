#include <QCoreApplication>

#include <QTemporaryDir>

#include <gtest/gtest.h>

// Sockets, timers and QProcess deliver their events through Qt's event loop, which needs an
// application object.
int main(int argc, char** argv) {
    // Every Set a test makes, in this process or in the programs it starts, is journaled in a
    // folder of the run's own, never in the journal of whoever runs the tests.
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
