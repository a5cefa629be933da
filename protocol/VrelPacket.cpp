#include "VrelPacket.h"

#include "KvOptionList.h"
#include "ResultCodes.h"
#include "ValueCodec.h"

#include <QCryptographicHash>

#include <algorithm>
#include <cstring>

namespace vrel {

int build_payload(const KvVRELVarList& vars, std::uint8_t command, std::string& out) {
    out.clear();
    if (command == kDiscover)
        return 0;
    if (command != kGet && command != kSet)
        return kBadCommand;
    for (int i = 0; i < vars.count(); ++i) {
        const KvVRELVar& var = vars.at(i);
        if (command == kGet && var.readable()) {
            out += {static_cast<char>(var.id), '\0', '\x03'}; // a bare item head asks for a value
        } else if (command == kSet && var.writable()) {
            const std::string text =
                var.optionList != nullptr ? var.optionList->NameToValue(var.value) : var.value;
            const int length = encode_item(var.id, var.valueType, text, out);
            if (length < 0)
                return length;
        }
    }
    return static_cast<int>(out.size());
}

std::string datagram_digest(std::string datagram, const std::string& password) {
    std::fill_n(datagram.begin() + kOffDigest, kDigestSize, '\0');
    datagram.append(password, 0, password.find('\0'));
    return QCryptographicHash::hash(datagram, QCryptographicHash::Md5).toStdString();
}

std::string build_datagram(std::uint8_t command, std::uint8_t sequence, std::uint8_t status,
                           const std::string& mac, const std::string& payload,
                           const std::string& password) {
    std::string d(kHeaderSize, '\0');
    std::memcpy(d.data() + kOffMagic, kMagic, sizeof kMagic);
    d[kOffCommand] = static_cast<char>(command);
    d[kOffSequence] = static_cast<char>(sequence);
    const std::size_t length = kHeaderSize + payload.size();
    d[kOffLength] = static_cast<char>(length >> 8);
    d[kOffLength + 1] = static_cast<char>(length & 0xFF);
    d[kOffStatus] = static_cast<char>(0x10 | (status & 0x0F));
    d.replace(kOffMac, kMacSize, mac);
    d[kOffConstant] = 0x01;
    d += payload;
    d.replace(kOffDigest, kDigestSize, datagram_digest(d, password));
    return d;
}

int build_request(std::uint8_t command, std::uint8_t sequence, const std::string& targetMac,
                  const std::string& password, const KvVRELVarList& vars, std::string& datagram) {
    const std::string mac = hex_to_bytes(targetMac);
    if (mac.size() != kMacSize)
        return kBadMac;

    std::string payload;
    const int payloadLength = build_payload(vars, command, payload);
    if (payloadLength < 0)
        return payloadLength;

    // The device digests the password behind the payload in one 8192-byte area; a request
    // that does not fit it cannot be digested as the device does.
    const std::size_t secretSize = std::min(password.find('\0'), password.size());
    if (kHeaderSize + payload.size() + secretSize > kSendAreaSize)
        return kBadPacket;
    datagram = build_datagram(command, sequence, kStatusOk, mac, payload, password);
    return 0;
}

const char* response_drop_text(ResponseDrop drop) {
    static const char* const texts[] = {"accepted", "not from the device port",
                                        "shorter than a header", "wrong magic",
                                        "length field differs from the size"};
    return texts[static_cast<int>(drop)];
}

std::optional<ResponseHeader> check_response(const std::uint8_t* data, std::size_t count,
                                             std::uint16_t sourcePort, ResponseDrop* why) {
    ResponseDrop drop = ResponseDrop::kNone;
    if (sourcePort != kVrelPort)
        drop = ResponseDrop::kSourcePort;
    else if (data == nullptr || count < kHeaderSize)
        drop = ResponseDrop::kShort;
    else if (std::memcmp(data + kOffMagic, kMagic, sizeof kMagic) != 0)
        drop = ResponseDrop::kMagic;
    else if (((std::size_t{data[kOffLength]} << 8) | data[kOffLength + 1]) != count)
        drop = ResponseDrop::kLength;
    if (why != nullptr)
        *why = drop;
    if (drop != ResponseDrop::kNone)
        return std::nullopt;
    ResponseHeader header;
    header.sequence = data[kOffSequence];
    header.status = data[kOffStatus] & 0x0F;
    std::memcpy(header.mac.data(), data + kOffMac, kMacSize);
    return header;
}

int decode_payload(KvVRELVarList& vars, const std::uint8_t* payload, std::size_t count) {
    std::size_t p = 0;
    // A variable or a response variable: the same fields.
    auto decode_into = [&](auto& item) {
        const int used = decode_item(item.id, item.valueType, item.value, payload + p, count - p);
        if (used < 0)
            return used;
        if (item.optionList != nullptr)
            item.value = item.optionList->ValueToName(item.value);
        p += static_cast<std::size_t>(used);
        return used;
    };
    for (int i = 0; i < vars.count(); ++i) {
        KvVRELVar& var = vars.at(i);
        if (!var.readable())
            continue;
        int used = 0;
        if (var.responseVars) {
            for (int k = 0; k < var.responseVars->count() && used >= 0; ++k)
                used = decode_into(var.responseVars->at(k));
        } else {
            used = decode_into(var);
        }
        if (used < 0)
            return used;
    }
    return static_cast<int>(p);
}

int response_result(std::uint8_t command, std::uint8_t status, KvVRELVarList& vars,
                    const std::uint8_t* payload, std::size_t count) {
    // By status: ok, password error, not done, bad command; the others are unknown.
    static const int codes[] = {0, kPasswordError, kNotDone, kBadCommand};
    const int low = status & 0x0F;
    if (low != kStatusOk)
        return low <= kStatusBadCommand ? codes[low] : kUnknownError;
    if (command == kSet)
        return 0;
    const int used = decode_payload(vars, payload, count);
    return used >= 0 ? 0 : used;
}

} // namespace vrel
