#include <QCoreApplication>

#include <gtest/gtest.h>

// The socket tests run SimServer and QUdpSocket on a Qt event loop.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
