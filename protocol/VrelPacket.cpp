#include "VrelPacket.h"

#include "KvOptionList.h"
#include "ResultCodes.h"
#include "ValueCodec.h"
#include "VrelTypes.h"

#include <QCryptographicHash>

#include <cstring>

namespace vrel {

namespace {

void PutBig16(std::string& area, std::size_t offset, std::size_t value) {
    area[offset] = static_cast<char>((value >> 8) & 0xFF);
    area[offset + 1] = static_cast<char>(value & 0xFF);
}

std::string Md5(const std::string& bytes) {
    const QByteArray digest = QCryptographicHash::hash(
        QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
        QCryptographicHash::Md5);
    return std::string(digest.constData(), static_cast<std::size_t>(digest.size()));
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

int build_request(std::uint8_t command, std::uint8_t sequence, const std::string& targetMac,
                  const std::string& password, const KvVRELVarList& vars,
                  std::string& datagram) {
    const std::string mac = hex_to_bytes(targetMac);
    if (mac.size() != kMacSize)
        return kBadMac;

    std::string payload;
    const int payloadLength = build_payload(vars, command, payload);
    if (payloadLength < 0)
        return payloadLength;

    // The device digests the password behind the payload in one 8192-byte area; a request
    // that does not fit it cannot be digested as the device does.
    const std::string secret = password.substr(0, password.find('\0'));
    const std::size_t length = kHeaderSize + payload.size();
    if (length + secret.size() > kSendAreaSize)
        return kBadPacket;

    std::string area(kHeaderSize, '\0');
    std::memcpy(area.data() + kOffMagic, kMagic, sizeof kMagic);
    area[kOffCommand] = static_cast<char>(command);
    area[kOffSequence] = static_cast<char>(sequence);
    PutBig16(area, kOffLength, length);
    area[kOffStatus] = 0x10;
    std::memcpy(area.data() + kOffMac, mac.data(), kMacSize);
    area[kOffConstant] = 0x01;
    area += payload;

    // Digest over the header with a zero digest field, the payload and the password.
    const std::string digest = Md5(area + secret);
    std::memcpy(area.data() + kOffDigest, digest.data(), digest.size());
    datagram = std::move(area); // the password itself never goes on the wire
    return 0;
}

const char* response_drop_text(ResponseDrop drop) {
    switch (drop) {
    case ResponseDrop::kNone:
        return "accepted";
    case ResponseDrop::kSourcePort:
        return "not from the device port";
    case ResponseDrop::kShort:
        return "shorter than a header";
    case ResponseDrop::kMagic:
        return "wrong magic";
    case ResponseDrop::kLength:
        return "length field differs from the size";
    }
    return "unknown";
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
                const int used = decode_into(field.id, field.valueType, field.optionList,
                                             field.value);
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
    switch (status & 0x0F) {
    case kStatusOk:
        return 0;
    case kStatusPasswordError:
        return kPasswordError;
    case kStatusNotDone:
        return kNotDone;
    case kStatusBadCommand:
        return kBadCommand;
    default:
        return kUnknownError;
    }
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
