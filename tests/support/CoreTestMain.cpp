#include <QCoreApplication>

#include <gtest/gtest.h>

// Sockets, timers and QProcess deliver their events through Qt's event loop, which needs an
// application object.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
