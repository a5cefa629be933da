#include "VrelTables.h"

namespace vrel {

const ResponseVariableDef DiscoveryResponseVars[] = {
    {235, "Product Code", kUint16, nullptr, nullptr},
    {1, "Model Name", kDisplayStr, nullptr, nullptr},
    {2, "Mac Address", kMacAddress, nullptr, nullptr},
    {3, "IP Address", kIpAddress, nullptr, nullptr},
    {4, "Netmask", kIpAddress, nullptr, nullptr},
    {0, nullptr, 0, nullptr, nullptr},
};

const KvVRELResponseVarList& DiscoveryResponseVarList() {
    static const auto list = KvVRELResponseVarList::create_from_definitions(DiscoveryResponseVars);
    return *list;
}

const VariableDef* DiscoveryVariables() {
    static const VariableDef table[] = {
        {0, "Discovery", kNoValueType, kReadOnly, nullptr, &DiscoveryResponseVarList(), nullptr},
        {0, nullptr, 0, 0, nullptr, nullptr, nullptr},
    };
    return table;
}

const VariableDef SetVariables[] = {
    {3, "IP Address", kIpAddress, kReadWrite, nullptr, nullptr, nullptr},
    {4, "IP Netmask", kIpAddress, kReadWrite, nullptr, nullptr, nullptr},
    {5, "Action", kInt8, kWriteOnly, nullptr, nullptr, nullptr},
    {0, nullptr, 0, 0, nullptr, nullptr, nullptr},
};

} // namespace vrel
