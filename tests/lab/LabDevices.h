#pragma once

#include <string>

namespace vrel::test {

// One device per segment: the first in its segment's subnet, the second in a subnet the host
// has no address in, as a factory-fresh device often is.
inline const std::string kSegmentA = "1,SEG-A,0A0000000011,172.31.1.20,255.255.255.0,\n";
inline const std::string kSegmentB = "2,SEG-B,0A0000000022,192.168.77.5,255.255.255.0,pw\n";
inline const char* const kMacA = "0A0000000011";
inline const char* const kMacB = "0A0000000022";

} // namespace vrel::test
