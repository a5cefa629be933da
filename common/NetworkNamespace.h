#pragma once

#include <string>
#include <vector>

namespace vrel {

// The network interfaces of the calling process's namespace, as /proc/net/dev lists them.
std::vector<std::string> NetworkInterfaceNames();

// True when loopback is the only interface: a fresh private namespace, where a broadcast reaches
// local sockets only. Whatever sends datagrams for a test, a demo or a bench checks this first.
bool OnlyLoopbackInterface();

} // namespace vrel
