#include <QCoreApplication>

#include <gtest/gtest.h>

// QProcess and the sockets of the end-to-end tests want a Qt application object.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
