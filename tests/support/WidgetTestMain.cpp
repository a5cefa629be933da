#include <QApplication>

#include <QTemporaryDir>

#include <gtest/gtest.h>

// Windows, list views and bound controls are widgets; without a display they run on the
// offscreen platform unless the caller picked another one.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Every Set a test makes, in this process or in the programs it starts, is journaled in a
    // folder of the run's own, never in the journal of whoever runs the tests.
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    // The window remembers its size and columns: each run starts from the defaults.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
