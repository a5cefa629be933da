#include "VrelSimulator.h"

#include "DeviceAddress.h"
#include "ValueCodec.h"
#include "VrelPacket.h"
#include "VrelTables.h"
#include "VrelTypes.h"

#include <algorithm>
#include <cstring>

namespace vrel {

namespace {

std::uint8_t byte_at(const std::string& d, std::size_t at) {
    return static_cast<std::uint8_t>(d[at]);
}

std::uint16_t be16_at(const std::string& d, std::size_t at) {
    return static_cast<std::uint16_t>((byte_at(d, at) << 8) | byte_at(d, at + 1));
}

void put_be16(std::string& d, std::size_t at, std::size_t value) {
    d[at] = static_cast<char>((value >> 8) & 0xFF);
    d[at + 1] = static_cast<char>(value & 0xFF);
}

std::string command_name(std::uint8_t command) {
    return command == kDiscover ? "Discover"
           : command == kGet    ? "Get"
           : command == kSet    ? "Set"
                                : "command " + std::to_string(command);
}

std::string request_text(const std::string& request) {
    return command_name(byte_at(request, kOffCommand)) + " #" +
           std::to_string(byte_at(request, kOffSequence)) + " to " +
           bytes_to_hex(request.substr(kOffMac, kMacSize));
}

std::string status_text(std::uint8_t status) {
    static const char* const texts[] = {"ok", "password error", "not done", "bad command"};
    return texts[std::min<int>(status, kStatusBadCommand)];
}

// Appends the item of one readable variable of the device; false for an id it does not know.
// Id 0 is the structured Discovery variable: a Get of it answers its five fields.
bool append_variable(const SimDevice& device, std::uint8_t id, std::string& out) {
    // In the order of DiscoveryResponseVars.
    const std::string texts[] = {std::to_string(device.productCode), device.modelName,
                                 device.macText(), device.ipAddress, device.netmask};
    bool known = false;
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        const ResponseVariableDef& field = DiscoveryResponseVars[i];
        if (id == 0 || id == field.id) {
            encode_item(field.id, field.valueType, texts[i], out);
            known = true;
        }
    }
    return known;
}

} // namespace

VrelSimulator::VrelSimulator(std::vector<SimDevice> devices, SimFaults faults, std::uint32_t seed)
    : devices_(std::move(devices)), faults_(std::move(faults)), rng_(seed) {}

SimResult VrelSimulator::handle(const std::string& request, std::int64_t nowMs) {
    SimResult result;
    const auto ignore = [&](const std::string& why) {
        result.log.push_back("ignored " + std::to_string(request.size()) +
                             "-byte datagram: " + why);
        return result;
    };
    if (request.size() < kHeaderSize)
        return ignore("shorter than a header");
    if (std::memcmp(request.data() + kOffMagic, kMagic, sizeof kMagic) != 0)
        return ignore("bad magic");
    if (be16_at(request, kOffLength) != request.size())
        return ignore("length field " + std::to_string(be16_at(request, kOffLength)));

    const std::uint8_t command = byte_at(request, kOffCommand);
    if (command != kGet && command != kSet) {
        broadcast(request, command == kDiscover ? kStatusOk : kStatusBadCommand, nowMs, result);
        return result;
    }
    const bool toAll = command == kSet && faults_.takeBroadcastSet;
    const auto targets = addressed(request.substr(kOffMac, kMacSize), toAll, nowMs);
    if (targets.empty())
        result.log.push_back(request_text(request) +
                             ": no answering device (unknown, silent or restarting MAC)");
    else if (command == kGet)
        get(request, *targets.front(), result);
    else if (toAll && request.compare(kOffMac, kMacSize, std::string(kMacSize, '\xFF')) == 0)
        for (SimDevice* target : targets)
            set(request, *target, nowMs, result);
    else
        set(request, *targets.front(), nowMs, result);
    return result;
}

std::vector<SimDevice*> VrelSimulator::addressed(const std::string& targetMac,
                                                 bool broadcastAllowed, std::int64_t nowMs) {
    const bool all = broadcastAllowed && targetMac == std::string(kMacSize, '\xFF');
    std::vector<SimDevice*> found;
    for (auto& d : devices_) {
        if ((all || d.mac == targetMac) && !faults_.silent.count(d.mac) && nowMs >= d.silentUntilMs)
            found.push_back(&d);
    }
    return found;
}

void VrelSimulator::broadcast(const std::string& request, std::uint8_t status, std::int64_t nowMs,
                              SimResult& result) {
    // FF FF FF FF FF FF reaches every device; a Discover to one MAC is answered by that device
    // only, as real devices do.
    std::vector<Reply> replies;
    for (SimDevice* d : addressed(request.substr(kOffMac, kMacSize), true, nowMs)) {
        std::string payload;
        if (status == kStatusOk)
            append_variable(*d, 0, payload);
        replies.push_back({d, status, std::move(payload)});
    }
    const std::size_t n = replies.size();
    const std::string faults = send(request, std::move(replies), result);
    result.log.push_back(request_text(request) + ": " + std::to_string(n) + " answers" + faults);
}

void VrelSimulator::get(const std::string& request, SimDevice& device, SimResult& result) {
    std::uint8_t status = kStatusOk;
    std::string payload;
    std::string ids;
    for (std::size_t p = kHeaderSize; p < request.size();) {
        const std::size_t length = request.size() - p < 3 ? 0 : be16_at(request, p + 1);
        if (length < 3 || length > request.size() - p) {
            status = kStatusNotDone;
            ids += ids.empty() ? "malformed item" : ", malformed item";
            break;
        }
        const std::uint8_t id = byte_at(request, p);
        ids += (ids.empty() ? "" : ",") + std::to_string(id);
        if (status == kStatusOk && !append_variable(device, id, payload))
            status = kStatusNotDone;
        p += length;
    }
    // Larger than any client takes from its socket.
    if (status == kStatusOk && kHeaderSize + payload.size() > kReceiveAreaSize)
        status = kStatusNotDone;
    const std::string faults =
        send(request, {{&device, status, status == kStatusOk ? payload : ""}}, result);
    result.log.push_back(request_text(request) + " ids " + (ids.empty() ? "none" : ids) + ": " +
                         status_text(status) + faults);
}

void VrelSimulator::set(const std::string& request, SimDevice& device, std::int64_t nowMs,
                        SimResult& result) {
    const auto answer = [&](std::uint8_t status, const std::string& why) {
        const std::string faults = send(request, {{&device, status, {}}}, result);
        result.log.push_back(request_text(request) + ": " + status_text(status) +
                             (why.empty() ? "" : " (" + why + ")") + faults);
    };
    if (request.compare(kOffDigest, kDigestSize, datagram_digest(request, device.password)) != 0)
        return answer(kStatusPasswordError, "digest does not match the device password");

    std::optional<std::uint32_t> ip, mask;
    std::string action;
    const auto* data = reinterpret_cast<const std::uint8_t*>(request.data());
    for (std::size_t p = kHeaderSize; p < request.size();) {
        const std::uint8_t id = data[p];
        const std::uint8_t type = id == 3 || id == 4 ? kIpAddress : id == 5 ? kInt8 : 0;
        if (type == 0)
            return answer(kStatusNotDone, "unknown variable " + std::to_string(id));
        std::string text;
        const int used = decode_item(id, type, text, data + p, request.size() - p);
        if (used < 3)
            return answer(kStatusNotDone, "malformed item " + std::to_string(id));
        if (id == 5)
            action = text;
        else
            (id == 3 ? ip : mask) = ParseDottedQuad(text);
        p += static_cast<std::size_t>(used);
    }
    const std::uint32_t newIp = ip ? *ip : ParseDottedQuad(device.ipAddress).value_or(0);
    const std::uint32_t newMask = mask ? *mask : ParseDottedQuad(device.netmask).value_or(0);
    // Devices refuse what would strand them, as the tools do unless forced.
    if (const std::string problem = AddressProblem(newIp, newMask); !problem.empty())
        return answer(kStatusNotDone,
                      FormatDottedQuad(newIp) + "/" + FormatDottedQuad(newMask) + ": " + problem);

    const auto change = [](const std::string& before, const std::string& after) {
        return before == after ? after + " (unchanged)" : before + " -> " + after;
    };
    result.log.push_back(device.macText() + " " + device.modelName + ": IP address " +
                         change(device.ipAddress, FormatDottedQuad(newIp)) + ", netmask " +
                         change(device.netmask, FormatDottedQuad(newMask)) +
                         (action.empty() ? "" : ", action " + action));
    device.ipAddress = FormatDottedQuad(newIp);
    device.netmask = FormatDottedQuad(newMask);
    answer(kStatusOk, {});
    // The "ok" leaves before the device goes quiet.
    if (faults_.restartMs > 0)
        device.silentUntilMs = nowMs + faults_.restartMs;
}

std::string VrelSimulator::send(const std::string& request, std::vector<Reply> replies,
                                SimResult& result) {
    const std::size_t n = replies.size();
    // A seeded Fisher-Yates shuffle: std::shuffle's draws differ between standard libraries.
    for (std::size_t i = n; i > 1; --i)
        std::swap(replies[i - 1], replies[below(static_cast<std::uint32_t>(i))]);
    int lost = 0, garbled = 0, duplicated = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const int delay =
            faults_.delayMs + int(faults_.spreadMs * std::int64_t(k) / std::int64_t(n));
        const bool toSet = byte_at(request, kOffCommand) == kSet;
        if (chance(faults_.lossPercent) || (toSet && chance(faults_.setLossPercent))) {
            ++lost;
            continue;
        }
        const Reply& r = replies[k];
        // The answer carries the request's command and sequence and the device's own MAC.
        std::string datagram =
            build_datagram(byte_at(request, kOffCommand), byte_at(request, kOffSequence), r.status,
                           r.device->mac, r.payload, r.device->password);
        if (chance(faults_.garbagePercent)) {
            datagram = garble(std::move(datagram));
            ++garbled;
        }
        result.answers.push_back({datagram, delay});
        if (chance(faults_.duplicatePercent)) {
            result.answers.push_back({datagram, delay + 1 + static_cast<int>(below(20))});
            ++duplicated;
        }
    }
    std::ranges::stable_sort(result.answers, {}, &SimAnswer::delayMs);

    std::string line;
    const auto note = [&](int count, const char* what) {
        if (count > 0)
            line += ", " + std::to_string(count) + " " + what;
    };
    note(lost, "lost");
    note(garbled, "garbled");
    note(duplicated, "duplicated");
    return line;
}

std::string VrelSimulator::garble(std::string d) {
    switch (below(3)) {
    case 0: // bad magic
        d[below(4)] ^= static_cast<char>(1 + below(255));
        break;
    case 1: { // length field off by 1..8 either way
        const std::size_t off = 1 + below(8);
        put_be16(d, kOffLength, below(2) != 0 || d.size() < off ? d.size() + off : d.size() - off);
        break;
    }
    default: { // truncated items: half the payload, then an item head that runs past the end
        d.resize(kHeaderSize + (d.size() - kHeaderSize) / 2);
        d += std::string("\xEB\xFF\xFF", 3);
        put_be16(d, kOffLength, d.size());
        break;
    }
    }
    return d;
}

bool VrelSimulator::chance(double percent) {
    return percent >= 100 ||
           (percent > 0 && below(1000000) < static_cast<std::uint32_t>(percent * 10000));
}

std::uint32_t VrelSimulator::below(std::uint32_t bound) {
    return rng_() % bound;
}

} // namespace vrel
