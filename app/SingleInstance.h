#pragma once

#include <string>

namespace vrel {

// Activates the top-level X11 window titled exactly title (window managers reparent clients, so
// the root's grandchildren count too). False without an X display or such a window.
bool ActivateRunningInstance(const std::string& title);

} // namespace vrel
