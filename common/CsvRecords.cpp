#include "CsvRecords.h"

namespace vrel {

namespace {

[[noreturn]] void fail(int line, const std::string& what) {
    throw CsvError("line " + std::to_string(line) + ": " + what);
}

} // namespace

std::vector<CsvRecord> SplitCsvRecords(const std::string& crlfText) {
    // One pass: erasing each CR in place would move the rest of the file once per line.
    std::string text;
    text.reserve(crlfText.size());
    for (std::size_t at = 0; at < crlfText.size(); ++at) {
        if (crlfText[at] != '\r' || at + 1 >= crlfText.size() || crlfText[at + 1] != '\n')
            text.push_back(crlfText[at]);
    }
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) // byte order mark that spreadsheets write
        text.erase(0, 3);
    std::vector<CsvRecord> records;
    int line = 1;
    std::size_t i = 0;
    const auto fieldEnds = [&] { return i >= text.size() || text[i] == ',' || text[i] == '\n'; };
    while (i < text.size()) {
        CsvRecord rec;
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

} // namespace vrel
