#include "CsvRecords.h"

#include "Messages.h"
#include "VisibleText.h"

#include <algorithm>
#include <cctype>

namespace vrel {

namespace {

constexpr std::string_view kSeparators = ",;\t";

[[noreturn]] void fail(int line, const std::string& what) {
    throw CsvError("line " + std::to_string(line) + ": " + what);
}

std::string WithoutCrlf(const std::string& crlfText) {
    // One pass: erasing each CR in place would move the rest of the file once per line.
    std::string text;
    text.reserve(crlfText.size());
    for (std::size_t at = 0; at < crlfText.size(); ++at) {
        if (crlfText[at] != '\r' || at + 1 >= crlfText.size() || crlfText[at + 1] != '\n')
            text.push_back(crlfText[at]);
    }
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) // byte order mark that spreadsheets write
        text.erase(0, 3);
    return text;
}

std::string Folded(std::string_view name) {
    const std::size_t first = name.find_first_not_of(" \t\r");
    const std::size_t last = name.find_last_not_of(" \t\r");
    std::string folded(first == std::string_view::npos ? "" : name.substr(first, last + 1 - first));
    for (char& c : folded)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

int KnownIndex(const std::string& headerCell, const std::vector<std::string>& knownColumns) {
    const auto known = std::ranges::find(knownColumns, Folded(headerCell), Folded);
    return known == knownColumns.end() ? -1 : static_cast<int>(known - knownColumns.begin());
}

std::vector<CsvRecord> SplitCsvRecords(const std::string& crlfText, char separator) {
    const std::string text = WithoutCrlf(crlfText);
    std::vector<CsvRecord> records;
    int line = 1;
    std::size_t i = 0;
    const auto fieldEnds = [&] {
        return i >= text.size() || text[i] == separator || text[i] == '\n';
    };
    while (i < text.size()) {
        CsvRecord rec{line, {}};
        for (bool more = true; more;) {
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
            more = i < text.size() && text[i] == separator;
            if (i < text.size() && !more)
                ++line; // the line end
            ++i;        // past the separator or the line end
        }
        if (rec.fields.size() != 1 || !rec.fields[0].empty())
            records.push_back(std::move(rec));
    }
    return records;
}

// Spreadsheets run a cell that begins with one of these as a formula (=cmd|' /C calc'!A0);
// a leading apostrophe makes them show it as text.
bool StartsLikeFormula(std::string_view cell) {
    return !cell.empty() &&
           std::string_view("=+-@\t\r").find(cell.front()) != std::string_view::npos;
}

} // namespace

char DetectCsvSeparator(std::string_view text, const std::vector<std::string>& knownColumns) {
    // The header ends at the first line break outside quotes; skip blank lines before it.
    const std::size_t begin = std::min(text.find_first_not_of("\r\n"), text.size());
    bool quoted = false;
    char first = 0;
    std::size_t end = begin;
    for (; end < text.size(); ++end) {
        const char c = text[end];
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == '\n')
            break;
        else if (!quoted && first == 0 && kSeparators.find(c) != std::string_view::npos)
            first = c;
    }
    const std::string header(text.substr(begin, end - begin));
    char best = 0;
    std::ptrdiff_t bestCount = 0;
    for (const char separator : kSeparators) {
        std::vector<CsvRecord> records;
        try {
            records = SplitCsvRecords(header, separator);
        } catch (const CsvError&) {
            continue;
        }
        const auto known = [&](const std::string& cell) {
            return KnownIndex(cell, knownColumns) >= 0;
        };
        const std::ptrdiff_t count =
            records.empty() ? 0 : std::ranges::count_if(records[0].fields, known);
        if (count > bestCount || (count > 0 && count == bestCount && separator == first)) {
            best = separator;
            bestCount = count;
        }
    }
    return best ? best : first ? first : ',';
}

CsvTable ReadCsvTable(const std::string& text, const std::vector<std::string>& knownColumns) {
    std::vector<CsvRecord> records = SplitCsvRecords(text, DetectCsvSeparator(text, knownColumns));
    CsvTable table;
    table.position.assign(knownColumns.size(), -1);
    if (records.empty())
        return table;
    const CsvRecord& header = records.front();
    table.empty = false;
    table.headerLine = header.line;
    table.headerFields = header.fields.size();
    for (std::size_t f = 0; f < header.fields.size(); ++f) {
        const int known = KnownIndex(header.fields[f], knownColumns);
        if (known < 0) {
            if (!Folded(header.fields[f]).empty())
                table.ignoredColumns.push_back(header.fields[f]);
        } else if (table.position[known] >= 0) {
            fail(header.line, "unexpected column '" + header.fields[f] + "', which appears twice");
        } else {
            table.position[known] = static_cast<int>(f);
        }
    }
    table.rows.assign(std::make_move_iterator(records.begin() + 1),
                      std::make_move_iterator(records.end()));
    return table;
}

bool PlainCsvCell(std::string_view raw) {
    return !StartsLikeFormula(raw) && std::ranges::none_of(raw, [](char ch) {
        return ch == ',' || ch == '"' || IsHiddenByte(static_cast<unsigned char>(ch));
    });
}

std::string CsvCell(std::string_view raw) {
    const std::string cell = (StartsLikeFormula(raw) ? "'" : "") + VisibleText(raw);
    if (cell.find_first_of(",\"\r\n") == std::string::npos)
        return cell;
    return "\"" + ReplaceAll(cell, "\"", "\"\"") + "\"";
}

std::string CsvLine(const std::vector<std::string>& cells) {
    std::string line;
    for (std::size_t c = 0; c < cells.size(); ++c)
        line += (c ? "," : "") + CsvCell(cells[c]);
    return line + "\r\n";
}

} // namespace vrel
