#include "VrelPacket.h"

#include "KvOptionList.h"
#include "ResultCodes.h"
#include "ValueCodec.h"
#include "VrelTypes.h"

#include <QCryptographicHash>

#include <algorithm>
#include <cstring>

namespace vrel {

namespace {

void PutBig16(std::string& area, std::size_t offset, std::size_t value) {
    area[offset] = static_cast<char>((value >> 8) & 0xFF);
    area[offset + 1] = static_cast<char>(value & 0xFF);
}

int BuildSetPayload(const KvVRELVarList& vars, std::string& out) {
    for (int i = 0; i < vars.count(); ++i) {
        const KvVRELVar& var = vars.at(i);
        if (!var.writable())
            continue;
        const std::string text =
            var.optionList != nullptr ? var.optionList->NameToValue(var.value) : var.value;
        const int length = encode_item(var.id, var.valueType, text, out);
        if (length < 0)
            return length;
    }
    return static_cast<int>(out.size());
}

} // namespace

int build_payload(const KvVRELVarList& vars, std::uint8_t command, std::string& out) {
    out.clear();
    switch (command) {
    case kDiscover:
        return 0;
    case kGet:
        for (int i = 0; i < vars.count(); ++i) {
            const KvVRELVar& var = vars.at(i);
            if (var.readable()) {
                out += static_cast<char>(var.id);
                out += '\0';
                out += '\x03';
            }
        }
        return static_cast<int>(out.size());
    case kSet:
        return BuildSetPayload(vars, out);
    default:
        return kBadCommand;
    }
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
    PutBig16(d, kOffLength, kHeaderSize + payload.size());
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
    auto decode_into = [&](std::uint8_t id, std::uint8_t type, const KvOptionList* options,
                           std::string& value) {
        const int used = decode_item(id, type, value, payload + p, count - p);
        if (used < 0)
            return used;
        if (options != nullptr)
            value = options->ValueToName(value);
        p += static_cast<std::size_t>(used);
        return used;
    };
    for (int i = 0; i < vars.count(); ++i) {
        KvVRELVar& var = vars.at(i);
        if (!var.readable())
            continue;
        if (var.responseVars) {
            for (int k = 0; k < var.responseVars->count(); ++k) {
                KvVRELResponseVar& field = var.responseVars->at(k);
                const int used =
                    decode_into(field.id, field.valueType, field.optionList, field.value);
                if (used < 0)
                    return used;
            }
        } else {
            const int used = decode_into(var.id, var.valueType, var.optionList, var.value);
            if (used < 0)
                return used;
        }
    }
    return static_cast<int>(p);
}

int status_to_code(std::uint8_t status) {
    // By status: ok, password error, not done, bad command; the others are unknown.
    static const int codes[] = {0, kPasswordError, kNotDone, kBadCommand};
    const int low = status & 0x0F;
    return low <= kStatusBadCommand ? codes[low] : kUnknownError;
}

int response_result(std::uint8_t command, std::uint8_t status, KvVRELVarList& vars,
                    const std::uint8_t* payload, std::size_t count) {
    if ((status & 0x0F) != kStatusOk)
        return status_to_code(status);
    if (command == kSet)
        return 0;
    const int used = decode_payload(vars, payload, count);
    return used >= 0 ? 0 : used;
}

} // namespace vrel
