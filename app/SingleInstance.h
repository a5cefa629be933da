#pragma once

#include <string>

namespace vrel {

// Looks for a top-level X11 window titled exactly title (a window manager reparents clients,
// so the root's grandchildren count too) and activates it. False without an X display, or
// when no such window exists.
bool ActivateRunningInstance(const std::string& title);

} // namespace vrel
