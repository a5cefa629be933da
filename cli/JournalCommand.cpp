#include "CliSession.h"
#include "Journal.h"
#include "VisibleText.h"

#include <QCommandLineParser>

#include <iostream>

namespace vrel::cli {

namespace {

const char* const kJournalHeaders[] = {"Time",        "User",       "Host",    "Interface",
                                       "Mac Address", "Model Name", "Old IP",  "Old Netmask",
                                       "New IP",      "New Netmask", "Verdict", "Attempts"};

std::string JournalTable(const std::vector<JournalEntry>& entries) {
    std::vector<std::vector<std::string>> lines{
        {std::begin(kJournalHeaders), std::end(kJournalHeaders)}};
    for (const JournalEntry& e : entries) {
        lines.push_back(JournalCells(e));
        for (std::string& cell : lines.back())
            cell = VisibleText(cell); // the file may have been written by hand
    }
    return ColumnsText(lines);
}

std::string JournalJson(const std::vector<JournalEntry>& entries) {
    std::vector<JsonFields> objects;
    for (const JournalEntry& e : entries) {
        const std::vector<std::string> cells = JournalCells(e);
        JsonFields fields;
        for (std::size_t c = 0; c + 1 < cells.size(); ++c)
            fields.emplace_back(kJournalColumns[c], QString::fromLatin1(cells[c]));
        fields.emplace_back(kJournalColumns.back(), e.attempts);
        objects.push_back(std::move(fields));
    }
    return JsonArrayText(objects);
}

} // namespace

int RunJournal(const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Print the journal of Sets, one entry per Set made from this account by the command\n"
        "line or the window: $XDG_STATE_HOME/vrel/journal.csv (~/.local/state/vrel/journal.csv).");
    parser.addHelpOption();
    parser.addOption({"since",
                      "Only the Sets at or after DATE: YYYY-MM-DD (local midnight) or an ISO 8601 "
                      "time such as 2026-12-08T23:14:05+01:00.",
                      "DATE"});
    parser.addOption({"json", "Print a JSON array of objects."});
    parser.addOption({"csv", "Print CSV (RFC 4180) with a header row, as stored."});
    ParseOrThrow(parser, args);
    if (!parser.positionalArguments().isEmpty())
        throw UsageError("journal takes no arguments; try 'vrel journal --help'");
    if (parser.isSet("json") && parser.isSet("csv"))
        throw UsageError("--json and --csv exclude each other");
    std::optional<std::int64_t> since;
    if (parser.isSet("since")) {
        const std::string text = parser.value("since").toStdString();
        since = JournalTimeSeconds(text);
        if (!since)
            throw UsageError("--since: '" + VisibleText(text) +
                             "' is neither a date YYYY-MM-DD nor an ISO 8601 time such as "
                             "2026-12-08T23:14:05+01:00");
    }

    const std::string path = JournalPath();
    std::optional<std::vector<JournalEntry>> entries;
    try {
        entries = ReadJournal(path);
    } catch (const std::runtime_error& e) {
        throw UsageError(VisibleText(e.what()));
    }
    if (!entries) {
        std::cerr << "vrel: no journal yet (" << path << ")\n";
        return kExitOk;
    }
    if (since)
        *entries = JournalEntriesSince(*entries, *since);
    if (parser.isSet("json")) {
        std::cout << JournalJson(*entries);
    } else if (parser.isSet("csv")) {
        std::cout << JournalHeaderLine();
        for (const JournalEntry& e : *entries)
            std::cout << JournalLine(e);
    } else {
        std::cout << JournalTable(*entries);
    }
    return kExitOk;
}

} // namespace vrel::cli
