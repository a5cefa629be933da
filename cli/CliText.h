#pragma once

#include "DeviceConflicts.h"
#include "DeviceIndex.h"
#include "NetInterfaces.h"

#include <QJsonValue>

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace vrel::cli {

constexpr int kDeviceColumns = 6;
// The keys of the JSON and CSV forms and the headers of the table, in column order.
extern const char* const kDeviceKeys[kDeviceColumns];
extern const char* const kDeviceHeaders[kDeviceColumns];

// Hidden bytes of the fields are shown as \xNN escapes (VisibleText). notes[i], when not
// empty, is what is wrong with rows[i]: a Notes column in the table, a "notes" field in JSON.
std::string FormatTable(const DeviceList& rows, const std::vector<std::string>& notes = {});
// Left-aligned columns two blanks apart; rows may be shorter than the first.
std::string ColumnsText(const std::vector<std::vector<std::string>>& lines);
// A JSON object's fields in order; device texts go in as QString::fromLatin1.
using JsonFields = std::vector<std::pair<std::string, QJsonValue>>;
// A JSON object in the field order given (Qt's writer sorts), laid out as Qt's, indented.
std::string JsonObjectText(const JsonFields& fields, const std::string& indent = "");
std::string JsonArrayText(const std::vector<JsonFields>& objects);
// An array of device objects. With an index, a device whose MAC address also answered with
// other content carries "duplicates": the count of those other answers.
std::string FormatJson(const DeviceList& rows, const std::vector<std::string>& notes = {},
                       const DeviceIndex* index = nullptr);
// RFC 4180 with a header row, each field as CsvCell writes it.
void WriteCsv(std::size_t count, const DeviceAt& deviceAt, std::ostream& out);

// The stderr lines after a Discover that found nothing: per interface, whether the request went
// out there (sent is empty when the routing table decided) and the answers, then hints.
std::string NothingFoundText(const std::vector<NetInterface>& all,
                             const std::vector<SendOutcome>& sent,
                             const std::map<std::string, int>& answers);
// One line per interface a request could not go out of.
std::string SendFailureText(const std::vector<SendOutcome>& sent);

// A readable variable named on the command line as ID:TYPE[:NAME].
struct VarArgument {
    std::uint8_t id = 0;
    std::uint8_t type = 0;
    std::string name; // the id as text when none was given
};
// Throws std::invalid_argument with a message for the user.
VarArgument ParseVarArgument(const std::string& text);

// Seconds as a count of 10 ms units; throws std::invalid_argument outside 0.01..3600 s.
std::uint32_t ParseTimeout(const std::string& text);

} // namespace vrel::cli
