#include "CliText.h"

#include "KvOptionList.h"
#include "VrelTypes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <stdexcept>

namespace vrel::cli {

const char* const kDeviceKeys[5] = {"productCode", "modelName", "macAddress", "ipAddress",
                                    "netmask"};
const char* const kDeviceHeaders[5] = {"Product Code", "Model Name", "Mac Address", "IP Address",
                                       "Netmask"};

namespace {

std::vector<std::string> Fields(const DeviceRow& r) {
    return {r.productCode, r.modelName, r.macAddress, r.ipAddress, r.netmask};
}

std::string CsvField(const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos)
        return field;
    std::string quoted = "\"";
    for (char c : field) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + "\"";
}

} // namespace

std::string FormatTable(const std::vector<DeviceRow>& rows, const std::vector<std::string>& notes) {
    // A Notes column only when there is something to note: most segments have no conflicts.
    const bool noted =
        std::any_of(notes.begin(), notes.end(), [](const std::string& n) { return !n.empty(); });
    std::vector<std::vector<std::string>> lines{{kDeviceHeaders, kDeviceHeaders + 5}};
    if (noted)
        lines[0].push_back("Notes");
    for (std::size_t r = 0; r < rows.size(); ++r) {
        lines.push_back(Fields(rows[r]));
        if (noted)
            lines.back().push_back(r < notes.size() ? notes[r] : "");
    }
    std::vector<std::size_t> width(lines[0].size(), 0);
    for (const auto& f : lines) {
        for (std::size_t c = 0; c < f.size(); ++c)
            width[c] = std::max(width[c], f[c].size());
    }
    std::string out;
    for (const auto& f : lines) {
        std::string line;
        // Nothing behind the last cell, also when a row has no note.
        const std::size_t used = noted && f.back().empty() ? f.size() - 1 : f.size();
        for (std::size_t c = 0; c < used; ++c) {
            line += f[c];
            if (c + 1 < used)
                line += std::string(width[c] - f[c].size() + 2, ' ');
        }
        out += line + "\n";
    }
    return out;
}

std::string FormatJson(const std::vector<DeviceRow>& rows, const std::vector<std::string>& notes) {
    QJsonArray array;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        QJsonObject object;
        const auto f = Fields(rows[r]);
        for (int c = 0; c < 5; ++c)
            object.insert(QLatin1String(kDeviceKeys[c]), QString::fromLatin1(f[c]));
        if (r < notes.size() && !notes[r].empty())
            object.insert("notes", QString::fromStdString(notes[r]));
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented).toStdString();
}

std::string FormatCsv(const std::vector<DeviceRow>& rows) {
    std::string out;
    for (int c = 0; c < 5; ++c)
        out += std::string(c ? "," : "") + kDeviceKeys[c];
    out += "\r\n";
    for (const auto& row : rows) {
        const auto f = Fields(row);
        for (int c = 0; c < 5; ++c)
            out += (c ? "," : "") + CsvField(f[c]);
        out += "\r\n";
    }
    return out;
}

VarArgument ParseVarArgument(const std::string& text) {
    const auto first = text.find(':');
    if (first == std::string::npos)
        throw std::invalid_argument("'" + text + "' is not ID:TYPE[:NAME]");
    const auto second = text.find(':', first + 1);
    const std::string id = text.substr(0, first);
    const std::string type =
        text.substr(first + 1, second == std::string::npos ? second : second - first - 1);
    VarArgument wanted;
    unsigned value = 0;
    const auto [ptr, ec] = std::from_chars(id.data(), id.data() + id.size(), value);
    if (id.empty() || ec != std::errc() || ptr != id.data() + id.size() || value > 255)
        throw std::invalid_argument("'" + id + "' is not a variable id (0 to 255)");
    wanted.id = static_cast<std::uint8_t>(value);
    const int index = ValueTypeNames().FindByName(type);
    if (index < 0)
        throw std::invalid_argument("'" + type + "' is not a value type (bool8 ... displaystr)");
    wanted.type = static_cast<std::uint8_t>(ValueTypeNames().Entry(index).number);
    wanted.name = second == std::string::npos ? id : text.substr(second + 1);
    if (wanted.name.empty())
        wanted.name = id;
    return wanted;
}

std::uint32_t ParseTimeout(const std::string& text) {
    double seconds = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() ||
        !(seconds >= 0.01 && seconds <= 3600))
        throw std::invalid_argument("'" + text + "' is not a time-out in seconds (0.01 to 3600)");
    return static_cast<std::uint32_t>(std::lround(seconds * 100));
}

} // namespace vrel::cli
