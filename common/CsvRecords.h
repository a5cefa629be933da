#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
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

// The separator of a text whose first record is a header: ',', ';' (spreadsheets in locales
// with a decimal comma) or tab. The one that splits the header into the most of the known
// column names wins; without any known name, the first of them outside quotes; else ','.
char DetectCsvSeparator(std::string_view text, const std::vector<std::string>& knownColumns);

// A CSV text with a header row, its columns found by name.
struct CsvTable {
    bool empty = true; // no header at all
    int headerLine = 1;
    std::size_t headerFields = 0;
    std::vector<int> position; // per known column, its field index; -1 when absent
    std::vector<std::string> ignoredColumns; // header names that are none of the known ones
    std::vector<CsvRecord> rows;             // the records after the header
};

// Reads RFC 4180 text with the separator DetectCsvSeparator finds; CRLF is taken as LF, a
// leading byte order mark (spreadsheets write one) dropped, blank lines skipped. Header names
// match the known ones in any case and order, blanks around them aside. Throws CsvError for
// text that cannot be split and for a known column named twice.
CsvTable ReadCsvTable(const std::string& text, const std::vector<std::string>& knownColumns);

// One cell as written for a spreadsheet: hidden bytes as \xNN escapes (VisibleText), a
// leading apostrophe before = + - @ tab or CR so that no spreadsheet runs it as a formula, and
// quotes (RFC 4180) around a cell that holds a separator, quote or line break.
std::string CsvCell(std::string_view raw);
// The cells as one CSV line, each as CsvCell writes it, ended by CRLF.
std::string CsvLine(const std::vector<std::string>& cells);
// True when CsvCell would return raw unchanged, so that callers may skip the copy.
bool PlainCsvCell(std::string_view raw);

} // namespace vrel
