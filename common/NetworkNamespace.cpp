#include "NetworkNamespace.h"

#include <algorithm>
#include <fstream>

namespace vrel {

std::vector<std::string> NetworkInterfaceNames() {
    std::vector<std::string> names;
    std::ifstream dev("/proc/net/dev");
    // "name: counters..." per interface, behind two header lines without a colon.
    for (std::string line; std::getline(dev, line);) {
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        const auto first = std::min(line.find_first_not_of(' '), colon);
        names.push_back(line.substr(first, colon - first));
    }
    return names;
}

bool OnlyLoopbackInterface() {
    return NetworkInterfaceNames() == std::vector<std::string>{"lo"};
}

} // namespace vrel
