#pragma once

#include <string>
#include <vector>

namespace vrel {

// The network interfaces of the calling process's namespace, as /proc/net/dev lists them.
std::vector<std::string> NetworkInterfaceNames();

// True when loopback is the namespace's only interface: a fresh private namespace, where a
// broadcast reaches local sockets only. Everything that sends datagrams or builds links for a
// test, a demo or a bench checks this first; the host's own namespace always has more.
bool OnlyLoopbackInterface();

} // namespace vrel
