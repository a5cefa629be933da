#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace vrel {

// A CSV text that cannot be split; the message begins with "line N: ".
class CsvError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct CsvRecord {
    int line = 0; // where the record begins, for messages
    std::vector<std::string> fields;
};

// Splits RFC 4180 text into records: fields may be quoted, a quoted field may hold commas,
// line breaks and doubled quotes; LF or CRLF line ends (CRLF is taken as LF, also inside
// quoted fields); a leading byte order mark, as spreadsheets write it, is dropped; blank lines
// are skipped. Throws CsvError.
std::vector<CsvRecord> SplitCsvRecords(const std::string& crlfText);

} // namespace vrel
