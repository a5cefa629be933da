#pragma once

#include <functional>
#include <string>

namespace vrel {

// Shows a failure no caller can take, as raised in an event handler: the window installs a
// message box, the command line a line on stderr, tests a recorder.
using ErrorDisplayFunction = std::function<void(const std::string& message)>;

void ShowError(const std::string& message);
// Installs a display and returns the one it replaces; an empty function restores stderr.
ErrorDisplayFunction SetErrorDisplay(ErrorDisplayFunction display);

} // namespace vrel
