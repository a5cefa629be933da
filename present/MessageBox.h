#pragma once

#include <functional>
#include <string>

class QWidget;

namespace vrel {

// Every message box goes through here, so tests can capture them instead of blocking.
using MessageBoxFunction =
    std::function<void(QWidget* owner, const std::string& text, const std::string& caption)>;

// A modal box with the text, the caption and a single OK button, owned by owner.
void ShowMessageBox(QWidget* owner, const std::string& text, const std::string& caption = "");
// Installs a replacement and returns the previous one; an empty function restores the box.
MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function);

// A question with Yes and No, No the default; true for Yes. Replaceable as the message box is.
using ConfirmFunction = std::function<bool(QWidget* owner, const std::string& text)>;
bool Confirm(QWidget* owner, const std::string& text);
ConfirmFunction SetConfirmFunction(ConfirmFunction function);

} // namespace vrel
