#pragma once

#include "KvVRELVarList.h"

namespace vrel {

// The fields of one device in a Discover answer, in wire order.
extern const ResponseVariableDef DiscoveryResponseVars[];
// The response-variable list built from DiscoveryResponseVars at program start.
const KvVRELResponseVarList& DiscoveryResponseVarList();
// One structured readonly variable "Discovery" (id 0) over DiscoveryResponseVarList().
const VariableDef* DiscoveryVariables();
// IP Address (3), IP Netmask (4), both readwrite ipaddress, and Action (5), writeonly int8.
extern const VariableDef SetVariables[];

} // namespace vrel
