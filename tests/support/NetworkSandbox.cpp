#include "NetworkSandbox.h"

#include "NetworkNamespace.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace vrel::test {

namespace {

// True inside a namespace tools/netlab built: its stamp file names this very namespace (by
// the inode of /proc/self/ns/net, which the lab recorded while the namespace still had
// loopback only) and every interface but loopback is one the lab made. The variable only says
// where the stamp is; a stamp of another namespace, or an interface the lab did not make,
// refuses.
bool InLabNamespace(const std::vector<std::string>& names) {
    const char* path = std::getenv("VREL_NETLAB_STAMP");
    struct stat self {};
    if (path == nullptr || *path == '\0' || stat("/proc/self/ns/net", &self) != 0)
        return false;
    std::ifstream stamp(path);
    std::string inode;
    if (!std::getline(stamp, inode) || inode != std::to_string(self.st_ino))
        return false;
    std::vector<std::string> made{"lo"};
    for (std::string link; std::getline(stamp, link);)
        made.push_back(link);
    return std::all_of(names.begin(), names.end(), [&](const std::string& n) {
        return std::find(made.begin(), made.end(), n) != made.end();
    });
}

} // namespace

::testing::AssertionResult NetworkIsSandboxed() {
    if (OnlyLoopbackInterface())
        return ::testing::AssertionSuccess();
    const auto names = NetworkInterfaceNames();
    if (!names.empty() && InLabNamespace(names))
        return ::testing::AssertionSuccess();
    std::string list;
    for (const auto& n : names)
        list += (list.empty() ? "" : ", ") + n;
    return ::testing::AssertionFailure()
           << "refusing to open a socket outside a private network namespace (interfaces: "
           << (list.empty() ? "none readable" : list)
           << "); run the tests through tools/netns-run, as `make test` does";
}

} // namespace vrel::test
