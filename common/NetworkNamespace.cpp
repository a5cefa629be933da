#include "NetworkNamespace.h"

#include <fstream>
#include <sstream>

namespace vrel {

std::vector<std::string> NetworkInterfaceNames() {
    std::vector<std::string> names;
    std::ifstream dev("/proc/net/dev");
    std::string line;
    // Two header lines, then "name: counters..." per interface.
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

bool OnlyLoopbackInterface() {
    const std::vector<std::string> names = NetworkInterfaceNames();
    return names.size() == 1 && names.front() == "lo";
}

} // namespace vrel
