#pragma once

#include <functional>
#include <string>

namespace vrel {

// The application's one way of showing a failure that no caller can take: an error raised in
// an event handler (a completion callback, a timer). The window installs a message box, the
// command line a line on stderr, tests a recorder.
using ErrorDisplayFunction = std::function<void(const std::string& message)>;

void ShowError(const std::string& message);
// Installs a display and returns the one it replaces; an empty function restores stderr.
ErrorDisplayFunction SetErrorDisplay(ErrorDisplayFunction display);

} // namespace vrel
