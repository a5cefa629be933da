#pragma once

namespace vrel {

// The window program: single-instance check, main window, event loop. Returns 0.
int RunApplication(int argc, char** argv);

} // namespace vrel
