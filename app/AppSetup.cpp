#include "AppSetup.h"

#include "ErrorDisplay.h"
#include "MessageBox.h"
#include "SingleInstance.h"
#include "SystemLocale.h"
#include "TTheVrel.h"

#include <QApplication>
#include <QTimer>

namespace vrel {

int RunApplication(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("vrel-config");
    QApplication::setApplicationVersion(VREL_VERSION);
    UseSystemLocaleFormats();
    SetErrorDisplay([](const std::string& message) { ShowMessageBox(nullptr, message); });

    // An instance is a top-level window with our caption; only X11 has windows to search.
    const bool running = QGuiApplication::platformName() == "xcb" &&
                         ActivateRunningInstance(TTheVrel::kCaption);
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

} // namespace vrel
