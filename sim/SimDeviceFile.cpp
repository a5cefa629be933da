#include "SimDeviceFile.h"

#include "CsvRecords.h"
#include "DeviceAddress.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

namespace vrel {

namespace {

const char* const kHeader[] = {"productCode", "modelName", "macAddress",
                               "ipAddress",   "netmask",   "password"};
constexpr std::size_t kFieldCount = 6;

[[noreturn]] void fail(int line, const std::string& what) {
    throw SimDeviceFileError("line " + std::to_string(line) + ": " + what);
}

std::uint16_t read_product_code(const std::string& text, int line) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    unsigned long value = 0;
    const bool allDigits = !digits.empty() && digits.size() <= 6 &&
                           digits.find_first_not_of(hex ? "0123456789abcdefABCDEF"
                                                        : "0123456789") == std::string::npos;
    if (allDigits)
        value = std::stoul(digits, nullptr, hex ? 16 : 10);
    if (!allDigits || value > 0xFFFF)
        fail(line, "product code '" + text + "' is not a number from 0 to 65535");
    return static_cast<std::uint16_t>(value);
}

SimDevice read_device(const CsvRecord& rec) {
    if (rec.fields.size() != kFieldCount)
        fail(rec.line, "expected 6 fields, found " + std::to_string(rec.fields.size()));
    SimDevice d;
    d.productCode = read_product_code(rec.fields[0], rec.line);
    d.modelName = rec.fields[1];
    const auto mac = parse_mac(rec.fields[2]);
    if (!mac)
        fail(rec.line, "MAC address '" + rec.fields[2] + "' is not twelve hex digits");
    d.mac = *mac;
    const auto ip = ParseDottedQuad(rec.fields[3]);
    if (!ip)
        fail(rec.line, "IP address '" + rec.fields[3] + "' is not a dotted IPv4 address");
    const auto mask = ParseDottedQuad(rec.fields[4]);
    if (!mask)
        fail(rec.line, "netmask '" + rec.fields[4] + "' is not a dotted IPv4 address");
    const std::string problem = AddressProblem(*ip, *mask);
    if (!problem.empty())
        fail(rec.line, rec.fields[3] + " with netmask " + rec.fields[4] + ": " + problem);
    d.ipAddress = FormatDottedQuad(*ip);
    d.netmask = FormatDottedQuad(*mask);
    d.password = rec.fields[5];
    return d;
}

} // namespace

std::vector<SimDevice> SimDeviceFile::parse(const std::string& text) {
    std::vector<CsvRecord> records;
    try {
        records = SplitCsvRecords(text);
    } catch (const CsvError& e) {
        throw SimDeviceFileError(e.what());
    }
    if (records.empty())
        fail(1, "empty file; the first line must be the header");
    const CsvRecord& header = records.front();
    bool headerOk = header.fields.size() == kFieldCount;
    for (std::size_t i = 0; headerOk && i < kFieldCount; ++i)
        headerOk = header.fields[i] == kHeader[i];
    if (!headerOk)
        fail(header.line,
             "the header must be productCode,modelName,macAddress,ipAddress,netmask,password");
    std::vector<SimDevice> devices;
    std::set<std::string> macs;
    for (std::size_t r = 1; r < records.size(); ++r) {
        SimDevice d = read_device(records[r]);
        if (!macs.insert(d.mac).second)
            fail(records[r].line, "MAC address " + d.macText() + " appears twice");
        devices.push_back(std::move(d));
    }
    return devices;
}

std::vector<SimDevice> SimDeviceFile::load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw SimDeviceFileError(path + ": " + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    try {
        return parse(text.str());
    } catch (const SimDeviceFileError& e) {
        throw SimDeviceFileError(path + ": " + e.what());
    }
}

} // namespace vrel
