// An answer as it comes off the socket: header checks, then payload decoding into the
// Discovery list and into a list that holds one variable of every value type.
#include "KvVRELVarList.h"
#include "VrelPacket.h"
#include "VrelTables.h"
#include "VrelTypes.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

std::unique_ptr<vrel::KvVRELVarList> EveryValueType() {
    static const vrel::VariableDef table[] = {
        {1, "bool8", vrel::kBool8, vrel::kReadOnly, nullptr, nullptr, ""},
        {2, "bool16", vrel::kBool16, vrel::kReadOnly, nullptr, nullptr, ""},
        {3, "bool32", vrel::kBool32, vrel::kReadOnly, nullptr, nullptr, ""},
        {4, "int8", vrel::kInt8, vrel::kReadOnly, nullptr, nullptr, ""},
        {5, "uint8", vrel::kUint8, vrel::kReadOnly, nullptr, nullptr, ""},
        {6, "int16", vrel::kInt16, vrel::kReadOnly, nullptr, nullptr, ""},
        {7, "uint16", vrel::kUint16, vrel::kReadOnly, nullptr, nullptr, ""},
        {8, "int32", vrel::kInt32, vrel::kReadOnly, nullptr, nullptr, ""},
        {9, "uint32", vrel::kUint32, vrel::kReadOnly, nullptr, nullptr, ""},
        {10, "double", vrel::kDouble, vrel::kReadOnly, nullptr, nullptr, ""},
        {11, "timeticks", vrel::kTimeticks, vrel::kReadOnly, nullptr, nullptr, ""},
        {12, "datetime", vrel::kDatetime, vrel::kReadOnly, nullptr, nullptr, ""},
        {13, "ipaddress", vrel::kIpAddress, vrel::kReadOnly, nullptr, nullptr, ""},
        {14, "macaddress", vrel::kMacAddress, vrel::kReadOnly, nullptr, nullptr, ""},
        {15, "bitstr", vrel::kBitStr, vrel::kReadOnly, nullptr, nullptr, ""},
        {16, "octetstr", vrel::kOctetStr, vrel::kReadOnly, nullptr, nullptr, ""},
        {17, "displaystr", vrel::kDisplayStr, vrel::kReadOnly, nullptr, nullptr, ""},
        {0, nullptr, 0, 0, nullptr, nullptr, nullptr},
    };
    return vrel::KvVRELVarList::create_from_definitions(table);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto header = vrel::check_response(data, size, 64512);
    constexpr std::size_t kHeaderSize = 36;
    // The payload is decoded also when the header is refused: decoding must hold on its own.
    const std::uint8_t* payload = size > kHeaderSize ? data + kHeaderSize : data;
    const std::size_t count = size > kHeaderSize ? size - kHeaderSize : size;
    const std::uint8_t status = header ? header->status : 0;
    auto discovery = vrel::KvVRELVarList::create_from_definitions(vrel::DiscoveryVariables());
    vrel::response_result(vrel::kDiscover, status, *discovery, payload, count);
    auto every = EveryValueType();
    vrel::decode_payload(*every, payload, count);
    return 0;
}
