#include "Journal.h"

#include "CsvRecords.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <QString>
#include <QSysInfo>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vrel {

const std::vector<std::string> kJournalColumns = {
    "time",      "user",       "host",         "interface",  "macAddress", "modelName",
    "oldIpAddress", "oldNetmask", "newIpAddress", "newNetmask", "verdict",    "attempts"};

namespace {

JournalEntry EntryOf(const std::vector<std::string>& cells) {
    JournalEntry e;
    std::string* const fields[] = {&e.time,  &e.user,       &e.host,  &e.interfaceName,
                                   &e.mac,   &e.model,      &e.oldIp, &e.oldNetmask,
                                   &e.newIp, &e.newNetmask, &e.verdict};
    for (std::size_t c = 0; c < std::size(fields); ++c)
        *fields[c] = cells[c];
    e.attempts = std::atoi(cells[std::size(fields)].c_str());
    return e;
}

std::string UserName() {
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name && *pw->pw_name)
        return pw->pw_name;
    if (const char* user = std::getenv("USER"); user && *user)
        return user;
    return std::to_string(geteuid());
}

std::string TimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    std::string time = text;
    time.insert(time.size() - 2, ":"); // +0100 -> +01:00
    return time;
}

// Writes all of text; a pipe or a full disk may take part of it per call.
bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

std::string JournalPath() {
    // The base directory rules: a relative XDG_STATE_HOME is to be ignored.
    const char* state = std::getenv("XDG_STATE_HOME");
    std::filesystem::path base;
    if (state && state[0] == '/') {
        base = state;
    } else {
        const char* home = std::getenv("HOME");
        const passwd* pw = home && *home ? nullptr : getpwuid(getuid());
        base = std::filesystem::path(home && *home ? home : pw ? pw->pw_dir : "/") / ".local/state";
    }
    return (base / "vrel" / "journal.csv").string();
}

JournalEntry JournalEntryForSet(const Device& before, const VerifiedSet::Target& target,
                                const SetOutcome& outcome) {
    JournalEntry e;
    e.time = TimeNow();
    e.user = UserName();
    e.host = QSysInfo::machineHostName().toStdString();
    e.interfaceName = before.interfaceName;
    e.mac = target.mac;
    e.model = before.modelName;
    e.oldIp = before.ipAddress;
    e.oldNetmask = before.netmask;
    e.newIp = target.ip;
    e.newNetmask = target.netmask;
    e.verdict = VerdictName(outcome.verdict);
    e.attempts = outcome.attempts;
    return e;
}

std::string JournalHeaderLine() {
    return CsvLine(kJournalColumns);
}

std::vector<std::string> JournalCells(const JournalEntry& e) {
    return {e.time,  e.user,       e.host,  e.interfaceName, e.mac,     e.model,
            e.oldIp, e.oldNetmask, e.newIp, e.newNetmask,    e.verdict, std::to_string(e.attempts)};
}

std::string JournalLine(const JournalEntry& entry) {
    return CsvLine(JournalCells(entry));
}

std::optional<std::string> AppendToJournal(const JournalEntry& entry, const std::string& path) {
    const auto warning = [&](const std::string& why) {
        return "the journal " + path + " cannot be written: " + why;
    };
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    if (ec)
        return warning(ec.message());
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return warning(std::strerror(errno));
    std::optional<std::string> result;
    struct stat st {};
    if (::flock(fd, LOCK_EX) != 0 || ::fstat(fd, &st) != 0) {
        result = warning(std::strerror(errno));
    } else {
        // Header and first line in one write, so that a second writer waiting for the lock
        // finds a file that has its header already.
        const std::string text = (st.st_size == 0 ? JournalHeaderLine() : "") + JournalLine(entry);
        if (!WriteAll(fd, text))
            result = warning(std::strerror(errno ? errno : EIO));
    }
    ::close(fd); // releases the lock
    return result;
}

std::optional<std::vector<JournalEntry>> ReadJournal(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) && !ec)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error(path + ": " + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    CsvTable table;
    try {
        table = ReadCsvTable(text.str(), kJournalColumns);
    } catch (const CsvError& e) {
        throw std::runtime_error(path + ": " + e.what());
    }
    std::vector<JournalEntry> entries;
    for (const CsvRecord& rec : table.rows) {
        std::vector<std::string> cells(kJournalColumns.size());
        for (std::size_t c = 0; c < cells.size(); ++c) {
            const int at = table.position[c];
            if (at >= 0 && static_cast<std::size_t>(at) < rec.fields.size())
                cells[c] = rec.fields[static_cast<std::size_t>(at)];
        }
        entries.push_back(EntryOf(cells));
    }
    return entries;
}

std::optional<std::int64_t> JournalTimeSeconds(const std::string& text) {
    const QString q = QString::fromStdString(text);
    static const QRegularExpression date(R"(^\d{4}-\d{2}-\d{2}$)");
    static const QRegularExpression time(
        R"(^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}(:\d{2}(\.\d+)?)?(Z|[+-]\d{2}:?\d{2})?$)");
    QDateTime when;
    if (date.match(q).hasMatch())
        when = QDate::fromString(q, Qt::ISODate).startOfDay();
    else if (time.match(q).hasMatch())
        when = QDateTime::fromString(q, Qt::ISODate);
    if (!when.isValid())
        return std::nullopt;
    return when.toSecsSinceEpoch();
}

std::vector<JournalEntry> JournalEntriesSince(const std::vector<JournalEntry>& entries,
                                              std::int64_t since) {
    std::vector<JournalEntry> kept;
    std::ranges::copy_if(entries, std::back_inserter(kept), [&](const JournalEntry& e) {
        const auto at = JournalTimeSeconds(e.time);
        return at && *at >= since;
    });
    return kept;
}

} // namespace vrel
