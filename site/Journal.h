#pragma once

#include "Device.h"
#include "VerifiedSet.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vrel {

// One Set as the journal records it, for the handover of a site: who changed which device
// from what to what, and how it ended. Texts are 8-bit Latin-1 as everywhere in this tool (a
// model name as the device sent it), so the journal's cells match discover --csv; a password is
// never recorded.
struct JournalEntry {
    std::string time; // ISO 8601 with the local offset: 2026-12-08T23:14:05+01:00
    std::string user, host, interfaceName;
    std::string mac, model;
    std::string oldIp, oldNetmask; // empty when the address before the Set is not known
    std::string newIp, newNetmask;
    std::string verdict; // VerdictName's words
    int attempts = 0;    // Set datagrams sent

    bool operator==(const JournalEntry&) const = default;
};

// The column names of the header row, in the order they are written.
extern const std::vector<std::string> kJournalColumns;

// $XDG_STATE_HOME/vrel/journal.csv, by default ~/.local/state/vrel/journal.csv.
std::string JournalPath();
// The entry of one Set: time, user and host of now, the rest from the device as it was listed
// before (empty fields where it is not known), the target and the outcome.
JournalEntry JournalEntryForSet(const Device& before, const VerifiedSet::Target& target,
                                const SetOutcome& outcome);

// An entry's cells in the order of kJournalColumns, as they are written.
std::vector<std::string> JournalCells(const JournalEntry& entry);
// The header row and one entry as CSV lines (CRLF), each cell as CsvCell writes it.
std::string JournalHeaderLine();
std::string JournalLine(const JournalEntry& entry);

// Appends entry to the journal at path, creating its folders and the header row of a new file.
// Another process appending at the same time never mixes its line into this one: each line is
// one write on an append descriptor under an exclusive lock. Returns a warning for the user
// when the journal cannot be written; the Set it records has happened all the same.
std::optional<std::string> AppendToJournal(const JournalEntry& entry,
                                           const std::string& path = JournalPath());

// The entries of the journal at path in file order; nullopt when there is no journal. Columns
// are found by name, unknown ones ignored. Throws std::runtime_error ("PATH: line N: ...") when
// the file cannot be read or split.
std::optional<std::vector<JournalEntry>> ReadJournal(const std::string& path);

// Seconds since the epoch of an ISO 8601 time (with or without offset; without one it is local
// time) or of a date YYYY-MM-DD (its local midnight); nullopt for anything else.
std::optional<std::int64_t> JournalTimeSeconds(const std::string& text);
// The entries at or after since (seconds since the epoch); entries with an unreadable time are
// left out.
std::vector<JournalEntry> JournalEntriesSince(const std::vector<JournalEntry>& entries,
                                              std::int64_t since);

} // namespace vrel
