#include "NetworkSandbox.h"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vrel::test {

namespace {

// Interface names from /proc/net/dev: two header lines, then "name: counters..." per line.
std::vector<std::string> InterfaceNames() {
    std::vector<std::string> names;
    std::ifstream dev("/proc/net/dev");
    std::string line;
    for (int header = 0; header < 2 && std::getline(dev, line); ++header) {
    }
    while (std::getline(dev, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::istringstream name(line.substr(0, colon));
        std::string trimmed;
        name >> trimmed;
        names.push_back(trimmed);
    }
    return names;
}

} // namespace

::testing::AssertionResult NetworkIsSandboxed() {
    const auto names = InterfaceNames();
    if (names.size() == 1 && names.front() == "lo")
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
