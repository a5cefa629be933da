#pragma once

#include "DeviceConflicts.h"

#include <vector>

namespace vrel {

// The IPv4 addresses of this host's interfaces that are up, with their netmasks.
std::vector<HostAddress> HostAddresses();

} // namespace vrel
