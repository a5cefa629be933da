#include "CliSession.h"
#include "SystemLocale.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("vrel");
    QCoreApplication::setApplicationVersion(VREL_VERSION);
    vrel::UseSystemLocaleFormats();
    return vrel::cli::RunCommandLine(QCoreApplication::arguments());
}
