#include "SimDeviceFile.h"

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

struct Record {
    int line = 0; // where the record begins
    std::vector<std::string> fields;
};

[[noreturn]] void fail(int line, const std::string& what) {
    throw SimDeviceFileError("line " + std::to_string(line) + ": " + what);
}

// Splits the text into records, keeping the line each begins on for messages. CRLF line ends
// are taken as LF, also inside quoted fields.
std::vector<Record> split_records(const std::string& crlfText) {
    // One pass: erasing each CR in place would move the rest of the file once per line.
    std::string text;
    text.reserve(crlfText.size());
    for (std::size_t at = 0; at < crlfText.size(); ++at) {
        if (crlfText[at] != '\r' || at + 1 >= crlfText.size() || crlfText[at + 1] != '\n')
            text.push_back(crlfText[at]);
    }
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) // byte order mark that spreadsheets write
        text.erase(0, 3);
    std::vector<Record> records;
    int line = 1;
    std::size_t i = 0;
    const auto fieldEnds = [&] { return i >= text.size() || text[i] == ',' || text[i] == '\n'; };
    while (i < text.size()) {
        Record rec;
        rec.line = line;
        for (;;) {
            std::string field;
            if (i < text.size() && text[i] == '"') {
                for (++i;; ++i) {
                    if (i >= text.size())
                        fail(rec.line, "quoted field not closed");
                    if (text[i] == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                        field += text[i++];
                    } else if (text[i] == '"') {
                        ++i;
                        break;
                    } else {
                        line += text[i] == '\n';
                        field += text[i];
                    }
                }
                if (!fieldEnds())
                    fail(line, "text after the closing quote of a field");
            } else {
                for (; !fieldEnds(); ++i) {
                    if (text[i] == '"')
                        fail(line, "quote inside an unquoted field");
                    field += text[i];
                }
            }
            rec.fields.push_back(std::move(field));
            if (i < text.size() && text[i] == ',') {
                ++i;
                continue;
            }
            if (i < text.size()) { // the line end
                ++i;
                ++line;
            }
            break;
        }
        if (rec.fields.size() != 1 || !rec.fields[0].empty())
            records.push_back(std::move(rec));
    }
    return records;
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

SimDevice read_device(const Record& rec) {
    if (rec.fields.size() != kFieldCount)
        fail(rec.line, "expected 6 fields, found " + std::to_string(rec.fields.size()));
    SimDevice d;
    d.productCode = read_product_code(rec.fields[0], rec.line);
    d.modelName = rec.fields[1];
    const auto mac = parse_mac(rec.fields[2]);
    if (!mac)
        fail(rec.line, "MAC address '" + rec.fields[2] + "' is not twelve hex digits");
    d.mac = *mac;
    const auto ip = parse_dotted_ipv4(rec.fields[3]);
    if (!ip)
        fail(rec.line, "IP address '" + rec.fields[3] + "' is not a dotted IPv4 address");
    const auto mask = parse_dotted_ipv4(rec.fields[4]);
    if (!mask)
        fail(rec.line, "netmask '" + rec.fields[4] + "' is not a dotted IPv4 address");
    const std::string problem = address_problem(*ip, *mask);
    if (!problem.empty())
        fail(rec.line, rec.fields[3] + " with netmask " + rec.fields[4] + ": " + problem);
    d.ipAddress = format_ipv4(*ip);
    d.netmask = format_ipv4(*mask);
    d.password = rec.fields[5];
    return d;
}

} // namespace

std::vector<SimDevice> SimDeviceFile::parse(const std::string& text) {
    const auto records = split_records(text);
    if (records.empty())
        fail(1, "empty file; the first line must be the header");
    const Record& header = records.front();
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
