#include "SimDeviceFile.h"

#include "DeviceAddress.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

namespace vrel {

namespace {

const std::vector<std::string> kColumns = {"productCode", "modelName", "macAddress",
                                           "ipAddress",   "netmask",   "password"};
enum Column { kProductCode, kModelName, kMac, kIp, kNetmask, kPassword, kColumnCount };

[[noreturn]] void fail(int line, const std::string& what) {
    throw SimDeviceFileError("line " + std::to_string(line) + ": " + what);
}

std::uint16_t read_product_code(const std::string& text, int line) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* const first = text.data() + (hex ? 2 : 0);
    const char* const last = text.data() + text.size();
    std::uint16_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value, hex ? 16 : 10);
    if (first == last || last - first > 6 || error != std::errc{} || end != last)
        fail(line, "product code '" + text + "' is not a number from 0 to 65535");
    return value;
}

SimDevice read_device(const CsvTable& table, const CsvRecord& rec) {
    if (rec.fields.size() != table.headerFields)
        fail(rec.line, "expected " + std::to_string(table.headerFields) + " fields, found " +
                           std::to_string(rec.fields.size()));
    const auto field = [&](Column c) -> const std::string& {
        return rec.fields[static_cast<std::size_t>(table.position[c])];
    };
    const std::uint16_t productCode = read_product_code(field(kProductCode), rec.line);
    const auto mac = parse_mac(field(kMac));
    if (!mac)
        fail(rec.line, "MAC address '" + field(kMac) + "' is not twelve hex digits");
    const auto ip = ParseDottedQuad(field(kIp));
    if (!ip)
        fail(rec.line, "IP address '" + field(kIp) + "' is not a dotted IPv4 address");
    const auto mask = ParseDottedQuad(field(kNetmask));
    if (!mask)
        fail(rec.line, "netmask '" + field(kNetmask) + "' is not a dotted IPv4 address");
    if (const std::string problem = AddressProblem(*ip, *mask); !problem.empty())
        fail(rec.line, field(kIp) + " with netmask " + field(kNetmask) + ": " + problem);
    return {productCode,           field(kModelName),       *mac,
            FormatDottedQuad(*ip), FormatDottedQuad(*mask), field(kPassword)};
}

} // namespace

std::vector<SimDevice> parse_device_file(const std::string& text, bool clonesAllowed) {
    const CsvTable table = ReadCsvTable(text, kColumns);
    if (table.empty)
        fail(1, "empty file; the first line must be the header");
    for (int c = 0; c < kColumnCount; ++c) {
        if (table.position[c] < 0)
            fail(table.headerLine, "the header lacks the column " + kColumns[c] +
                                       "; it needs productCode,modelName,macAddress,ipAddress,"
                                       "netmask,password");
    }
    std::vector<SimDevice> devices;
    std::set<std::string> macs;
    for (const CsvRecord& rec : table.rows) {
        SimDevice d = read_device(table, rec);
        if (!macs.insert(d.mac).second && !clonesAllowed)
            fail(rec.line, "MAC address " + d.macText() + " appears twice");
        devices.push_back(std::move(d));
    }
    return devices;
}

std::vector<SimDevice> load_device_file(const std::string& path, bool clonesAllowed) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw SimDeviceFileError(path + ": " + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    try {
        return parse_device_file(text.str(), clonesAllowed);
    } catch (const SimDeviceFileError& e) {
        throw SimDeviceFileError(path + ": " + e.what());
    }
}

} // namespace vrel
