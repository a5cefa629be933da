// Prints the Discover and Set requests the tool sends, byte for byte, with their digests:
// a quick look at the wire format without any socket.
#include "ValueCodec.h"
#include "VrelPacket.h"
#include "VrelTables.h"
#include "VrelTypes.h"

#include <cstdio>
#include <string>

namespace {

void Print(const char* title, const std::string& datagram) {
    std::printf("%s (%zu bytes)\n", title, datagram.size());
    for (std::size_t i = 0; i < datagram.size(); i += 16) {
        std::printf("  %04zx ", i);
        for (std::size_t k = i; k < i + 16 && k < datagram.size(); ++k)
            std::printf(" %02X", static_cast<unsigned char>(datagram[k]));
        std::printf("\n");
    }
    std::printf("  digest %s\n\n",
                vrel::bytes_to_hex(datagram.substr(vrel::kOffDigest, 16)).c_str());
}

} // namespace

int main() {
    using namespace vrel;
    auto discovery = KvVRELVarList::create_from_definitions(DiscoveryVariables());
    std::string discover;
    if (build_request(kDiscover, 0, "FFFFFFFFFFFF", "", *discovery, discover) != 0)
        return 1;
    Print("Discover to FFFFFFFFFFFF, sequence 0, no password", discover);

    auto set = KvVRELVarList::create_from_definitions(SetVariables);
    set->at(0).value = "192.168.0.10";
    set->at(1).value = "255.255.255.0";
    set->at(2).value = "3";
    std::string request;
    if (build_request(kSet, 1, "020000000001", "secret", *set, request) != 0)
        return 1;
    Print("Set 192.168.0.10 / 255.255.255.0 on 020000000001, sequence 1, password \"secret\"",
          request);
    return 0;
}
