#pragma once

namespace vrel {

// Runs the event loop for about ms milliseconds: events and datagrams are handled as they
// come, without spinning while nothing happens.
void ProcessEventsFor(int ms);

} // namespace vrel
