#include "MessageBox.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

namespace vrel {

namespace {

MessageBoxFunction& Replacement() {
    static MessageBoxFunction function;
    return function;
}

} // namespace

void ShowMessageBox(QWidget* owner, const std::string& text, const std::string& caption) {
    if (Replacement()) {
        Replacement()(owner, text, caption);
        return;
    }
    const QString title = caption.empty() ? QCoreApplication::applicationName()
                                          : QString::fromLatin1(caption);
    QMessageBox box(QMessageBox::NoIcon, title, QString::fromLatin1(text), QMessageBox::Ok, owner);
    box.exec();
}

MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function) {
    MessageBoxFunction previous = std::move(Replacement());
    Replacement() = std::move(function);
    return previous;
}

} // namespace vrel
