#pragma once

#include <functional>
#include <string>

class QWidget;

namespace vrel {

// Every message box of the window goes through here, so tests can capture them instead of
// blocking on a modal dialog.
using MessageBoxFunction =
    std::function<void(QWidget* owner, const std::string& text, const std::string& caption)>;

// A modal box with the text, the caption and a single OK button, owned by owner.
void ShowMessageBox(QWidget* owner, const std::string& text, const std::string& caption = "");
// Installs a replacement and returns the previous one; an empty function restores the box.
MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function);

} // namespace vrel
