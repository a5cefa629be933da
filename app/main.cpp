#include "ErrorDisplay.h"
#include "MessageBox.h"
#include "SingleInstance.h"
#include "SystemLocale.h"
#include "TTheVrel.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <string_view>

int main(int argc, char** argv) {
    // Answered before the application object exists: it needs a display to start, and
    // packaging checks and shell users ask for these on machines without one.
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--version" || arg == "-v") {
            std::printf("vrel-config %s\n", VREL_VERSION);
            return 0;
        }
        if (arg == "--help" || arg == "-h") {
            std::printf("Usage: vrel-config [OPTIONS]\n\n"
                        "The VREL Configuration window: finds VREL devices on the local network "
                        "and sets\ntheir IP address and netmask.\n\n"
                        "Options:\n"
                        "  -h, --help     this text\n"
                        "  -v, --version  the version\n"
                        "The usual Qt options (-platform NAME, -display DISPLAY, ...) apply.\n");
            return 0;
        }
    }
    using namespace vrel;
    QApplication app(argc, argv);
    QApplication::setApplicationName("vrel-config");
    QApplication::setApplicationVersion(VREL_VERSION);
    UseSystemLocaleFormats();
    SetErrorDisplay([](const std::string& message) { ShowMessageBox(nullptr, message); });

    // An instance is a top-level window with our caption; only X11 has windows to search.
    const bool running =
        QGuiApplication::platformName() == "xcb" && ActivateRunningInstance(TTheVrel::kCaption);
    try {
        TTheVrel window;
        window.show();
        if (running) // end right after the window was shown, as the running one takes over
            QTimer::singleShot(0, &app, &QCoreApplication::quit);
        app.exec();
    } catch (const std::exception& e) {
        ShowError(e.what());
    }
    return 0;
}
