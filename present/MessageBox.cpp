#include "MessageBox.h"

#include <QCoreApplication>
#include <QMessageBox>

#include <utility>

namespace vrel {

namespace {

MessageBoxFunction messageBoxReplacement;
ConfirmFunction confirmReplacement;

QString Title(const std::string& caption) {
    return caption.empty() ? QCoreApplication::applicationName() : QString::fromLatin1(caption);
}

} // namespace

bool Confirm(QWidget* owner, const std::string& text) {
    if (confirmReplacement)
        return confirmReplacement(owner, text);
    QMessageBox box(QMessageBox::Warning, Title(""), QString::fromLatin1(text),
                    QMessageBox::Yes | QMessageBox::No, owner);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

ConfirmFunction SetConfirmFunction(ConfirmFunction function) {
    return std::exchange(confirmReplacement, std::move(function));
}

void ShowMessageBox(QWidget* owner, const std::string& text, const std::string& caption) {
    if (messageBoxReplacement)
        return messageBoxReplacement(owner, text, caption);
    QMessageBox box(QMessageBox::NoIcon, Title(caption), QString::fromLatin1(text), QMessageBox::Ok, owner);
    box.exec();
}

MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function) {
    return std::exchange(messageBoxReplacement, std::move(function));
}

} // namespace vrel
