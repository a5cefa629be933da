#include "CliText.h"

#include "CsvRecords.h"
#include "KvOptionList.h"
#include "VisibleText.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string_view>

namespace vrel::cli {

const char* const kDeviceKeys[kDeviceColumns] = {"productCode", "modelName", "macAddress",
                                                 "ipAddress",   "netmask",   "interface"};
const char* const kDeviceHeaders[kDeviceColumns] = {"Product Code", "Model Name", "Mac Address",
                                                    "IP Address",   "Netmask",    "Interface"};

namespace {

std::array<std::string_view, kDeviceColumns> Fields(const Device& d) {
    return {d.productCode, d.modelName, d.macAddress, d.ipAddress, d.netmask, d.interfaceName};
}

// Qt does the escaping and the number format.
std::string JsonValueText(const QJsonValue& value) {
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2).toStdString(); // strip [ and ]
}

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

std::string FormatTable(const DeviceList& rows, const std::vector<std::string>& notes) {
    // A Notes column only when there is something to note: most segments have no conflicts.
    const bool noted = std::ranges::any_of(notes, [](const std::string& n) { return !n.empty(); });
    std::vector<std::vector<std::string>> lines{{kDeviceHeaders, kDeviceHeaders + kDeviceColumns}};
    if (noted)
        lines[0].push_back("Notes");
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::vector<std::string>& line = lines.emplace_back();
        for (const std::string_view field : Fields(rows[r]))
            line.push_back(VisibleText(field)); // hidden bytes escaped for the terminal
        if (r < notes.size() && !notes[r].empty())
            line.push_back(notes[r]);
    }
    return ColumnsText(lines);
}

std::string ColumnsText(const std::vector<std::vector<std::string>>& lines) {
    std::vector<std::size_t> width(lines[0].size(), 0);
    for (const auto& line : lines) {
        for (std::size_t c = 0; c < line.size(); ++c)
            width[c] = std::max(width[c], line[c].size());
    }
    std::string out;
    for (const auto& line : lines) {
        for (std::size_t c = 0; c < line.size(); ++c) {
            out += line[c];
            if (c + 1 < line.size())
                out += std::string(width[c] - line[c].size() + 2, ' ');
        }
        out += "\n";
    }
    return out;
}

std::string JsonObjectText(const JsonFields& fields, const std::string& indent) {
    // QJsonObject sorts its keys; scripts and readers expect the order the fields were given.
    std::string out = "{";
    for (std::size_t i = 0; i < fields.size(); ++i)
        out += (i ? ",\n" : "\n") + indent + "    " + JsonValueText(Latin1(fields[i].first)) +
               ": " + JsonValueText(fields[i].second);
    return out + "\n" + indent + "}";
}

std::string JsonArrayText(const std::vector<JsonFields>& objects) {
    std::string out = "[";
    for (std::size_t i = 0; i < objects.size(); ++i)
        out += (i ? ",\n    " : "\n    ") + JsonObjectText(objects[i], "    ");
    return out + "\n]\n";
}

std::string FormatJson(const DeviceList& rows, const std::vector<std::string>& notes,
                       const DeviceIndex* index) {
    std::vector<JsonFields> objects;
    objects.reserve(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const auto values = Fields(rows[r]);
        JsonFields& fields = objects.emplace_back();
        for (std::size_t c = 0; c < kDeviceColumns; ++c)
            fields.emplace_back(kDeviceKeys[c], Latin1(values[c]));
        if (r < notes.size() && !notes[r].empty())
            fields.emplace_back("notes", Latin1(notes[r]));
        if (const int others = index ? index->ConflictsOf(rows[r].macAddress) : 0)
            fields.emplace_back("duplicates", others);
    }
    return JsonArrayText(objects);
}

void WriteCsv(std::size_t count, const DeviceAt& deviceAt, std::ostream& out) {
    out << CsvLine({kDeviceKeys, kDeviceKeys + kDeviceColumns});
    // In chunks: ten thousand rows would otherwise first grow one text of half a megabyte, and
    // a line at a time costs a stream call per row.
    constexpr std::size_t kChunkBytes = 64 * 1024;
    std::string chunk;
    for (std::size_t r = 0; r < count; ++r) {
        const auto f = Fields(deviceAt(r));
        for (std::size_t c = 0; c < kDeviceColumns; ++c) {
            if (c)
                chunk += ',';
            if (PlainCsvCell(f[c]))
                chunk += f[c];
            else
                chunk += CsvCell(f[c]);
        }
        chunk += "\r\n";
        if (chunk.size() >= kChunkBytes || r + 1 == count) {
            out << chunk;
            chunk.clear();
        }
    }
}

std::string NothingFoundText(const std::vector<NetInterface>& all,
                             const std::vector<SendOutcome>& sent,
                             const std::map<std::string, int>& answers) {
    std::string out;
    bool anyUsable = false, anySent = false;
    std::vector<std::string> withoutAddress;
    for (const NetInterface& i : all) {
        if (i.loopback)
            continue;
        anyUsable = anyUsable || i.Usable();
        if (i.address.empty())
            withoutAddress.push_back(i.name);
        std::string state = sent.empty() ? "not used, the routing table decided" : "not chosen";
        for (const SendOutcome& o : sent) {
            if (o.interface.name == i.name)
                state = o.sent ? "sent" : "not sent (" + o.error + ")";
        }
        if (!i.Usable() && !i.UnusableReason().empty() && state == "not chosen")
            state = "not sent (" + i.UnusableReason() + ")";
        anySent = anySent || state == "sent";
        const auto count = answers.find(i.name);
        out += "vrel:   " + i.Label() + ": " + state + ", " +
               std::to_string(count == answers.end() ? 0 : count->second) + " answers\n";
    }
    // Interfaces that were down are named in sent, but the routing table took the request.
    const bool routed = std::ranges::none_of(sent, [](const SendOutcome& o) { return o.sent; });
    if (routed)
        out += "vrel:   the request went to 255.255.255.255 (or --address) by the routing table\n";
    if (!anyUsable)
        out += "vrel: hint: no network interface is up and running with an IPv4 address and "
               "broadcast; connect a cable or bring one up\n";
    for (const std::string& name : withoutAddress)
        out += "vrel: hint: " + name +
               " has no IPv4 address; devices behind it cannot be reached until it has one\n";
    if (anySent || routed)
        out += "vrel: hint: a host firewall may drop the answers (UDP from port 64512); "
               "'nft list ruleset' shows its rules\n";
    return out;
}

std::string SendFailureText(const std::vector<SendOutcome>& sent) {
    std::vector<SendOutcome> failed;
    std::ranges::copy_if(sent, std::back_inserter(failed), [](const auto& o) { return !o.sent; });
    return failed.empty() ? "" : "vrel: " + TriedText(failed) + "\n";
}

VarArgument ParseVarArgument(const std::string& text) {
    const auto first = text.find(':');
    if (first == std::string::npos)
        throw std::invalid_argument("'" + text + "' is not ID:TYPE[:NAME]");
    const auto second = text.find(':', first + 1);
    const std::string id = text.substr(0, first);
    const std::string type = text.substr(first + 1, second - first - 1); // npos: to the end
    unsigned value = 0;
    const auto [ptr, ec] = std::from_chars(id.data(), id.data() + id.size(), value);
    if (ec != std::errc() || ptr != id.data() + id.size() || value > 255)
        throw std::invalid_argument("'" + id + "' is not a variable id (0 to 255)");
    const int index = ValueTypeNames().FindByName(type);
    if (index < 0)
        throw std::invalid_argument("'" + type + "' is not a value type (bool8 ... displaystr)");
    const std::string name = second == std::string::npos ? "" : text.substr(second + 1);
    return {static_cast<std::uint8_t>(value),
            static_cast<std::uint8_t>(ValueTypeNames().Entry(index).number),
            name.empty() ? id : name};
}

std::uint32_t ParseTimeout(const std::string& text) {
    double seconds = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (ec != std::errc() || ptr != text.data() + text.size() ||
        !(seconds >= 0.01 && seconds <= 3600))
        throw std::invalid_argument("'" + text + "' is not a time-out in seconds (0.01 to 3600)");
    return static_cast<std::uint32_t>(std::lround(seconds * 100));
}

} // namespace vrel::cli
