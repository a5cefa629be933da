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

ConfirmFunction& ConfirmReplacement() {
    static ConfirmFunction function;
    return function;
}

QString Title(const std::string& caption) {
    return caption.empty() ? QCoreApplication::applicationName() : QString::fromLatin1(caption);
}

} // namespace

bool Confirm(QWidget* owner, const std::string& text, const std::string& caption) {
    if (ConfirmReplacement())
        return ConfirmReplacement()(owner, text, caption);
    QMessageBox box(QMessageBox::Warning, Title(caption), QString::fromLatin1(text),
                    QMessageBox::Yes | QMessageBox::No, owner);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

ConfirmFunction SetConfirmFunction(ConfirmFunction function) {
    ConfirmFunction previous = std::move(ConfirmReplacement());
    ConfirmReplacement() = std::move(function);
    return previous;
}

void ShowMessageBox(QWidget* owner, const std::string& text, const std::string& caption) {
    if (Replacement()) {
        Replacement()(owner, text, caption);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, Title(caption), QString::fromLatin1(text), QMessageBox::Ok, owner);
    box.exec();
}

MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function) {
    MessageBoxFunction previous = std::move(Replacement());
    Replacement() = std::move(function);
    return previous;
}

} // namespace vrel
