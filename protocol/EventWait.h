#pragma once

namespace vrel {

// Runs the event loop for about ms milliseconds, handling events as they come.
void ProcessEventsFor(int ms);

} // namespace vrel
