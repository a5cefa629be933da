// The value codec both ways: wire bytes of every value type into text, and texts (as a user
// or a device file would give them) into wire bytes, then back.
#include "Exception.h"
#include "FuzzInput.h"
#include "ValueCodec.h"
#include "VrelTypes.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    // Type codes beyond the seventeen are tried too: a device may send anything.
    const std::uint8_t type = data[0] % 20;
    const std::uint8_t id = data[1];
    std::string text;
    vrel::decode_item(id, type, text, data + 2, size - 2);

    vrel::fuzz::FuzzInput input(data + 2, size - 2);
    const std::string userText = input.Next();
    std::string wire;
    try {
        const int length = vrel::encode_item(id, type, userText, wire);
        if (length > 0) {
            // What was encoded must decode again, as the item length promises.
            std::string back;
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(wire.data());
            if (vrel::decode_item(id, type, back, bytes, wire.size()) != length)
                std::abort();
        }
    } catch (const vrel::ConvertError&) {
    }
    vrel::bytes_to_hex(vrel::hex_to_bytes(userText));
    vrel::ticks_to_text(vrel::ticks_from_text(userText));
    try {
        vrel::read_ip_address(userText);
    } catch (const vrel::ConvertError&) {
    }
    return 0;
}
