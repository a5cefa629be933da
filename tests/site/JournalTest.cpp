#include "Journal.h"

#include "CsvRecords.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

namespace vrel {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// Every test writes below a folder of its own; none may reach the user's ~/.local/state.
class Journal : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/vrel-journal-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir_ = name;
        path_ = dir_ + "/state/vrel/journal.csv";
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string FileText() const {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string dir_, path_;
};

JournalEntry Sample(std::string model) {
    return {"2026-12-08T23:14:05+01:00", "ann", "lab-7", "eth0", "0A0000000001", std::move(model),
            "10.0.0.1", "255.255.255.0", "10.0.0.7", "255.255.255.0", "verified", 1};
}

TEST_F(Journal, LinesAreSafeCsvAndReadBack) {
    const std::pair<std::string, std::string> cases[] = {
        {"Relay 4", "Relay 4"},
        {"Gate, \"North\"", "\"Gate, \"\"North\"\"\""},
        {"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
        {"-1+1", "'-1+1"},
        {"A\r\n0A0000000002,forged", "\"A\\x0d\\x0a0A0000000002,forged\""},
        {"\x1b[2J\x9b" "31m", "\\x1b[2J\\x9b31m"},
    };
    for (const auto& [model, cell] : cases) {
        SCOPED_TRACE(model);
        EXPECT_EQ(JournalLine(Sample(model)),
                  "2026-12-08T23:14:05+01:00,ann,lab-7,eth0,0A0000000001," + cell +
                      ",10.0.0.1,255.255.255.0,10.0.0.7,255.255.255.0,verified,1\r\n");
        ASSERT_EQ(AppendToJournal(Sample(model), path_), std::nullopt);
    }
    const std::string text = FileText();
    EXPECT_THAT(text, StartsWith(JournalHeaderLine()));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + std::ssize(cases))
        << "one physical line per Set";
    const auto entries = ReadJournal(path_);
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), std::size(cases));
    EXPECT_EQ((*entries)[0], Sample("Relay 4"));
    EXPECT_EQ((*entries)[1].model, "Gate, \"North\"");
    // Written again, an entry read back gives the same line: --csv prints the file as stored.
    for (std::size_t i = 0; i < entries->size(); ++i)
        EXPECT_EQ(JournalLine((*entries)[i]), JournalLine(Sample(cases[i].first)));
}

TEST_F(Journal, ConcurrentWritersNeverMixLines) {
    constexpr int kWriters = 4, kLines = 150;
    // Longer than a pipe buffer, so that only the lock keeps a line whole.
    const std::string model(6000, 'm');
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int n = 0; n < kLines; ++n) {
                JournalEntry e = Sample(model);
                e.user = "writer" + std::to_string(w);
                e.attempts = n;
                if (AppendToJournal(e, path_))
                    _exit(1);
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const auto entries = ReadJournal(path_);
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), std::size_t{kWriters * kLines});
    std::map<std::string, int> next; // each writer's lines in its own order
    for (const JournalEntry& e : *entries) {
        EXPECT_EQ(e.model, model);
        EXPECT_EQ(e.attempts, next[e.user]++);
    }
    EXPECT_EQ(next.size(), std::size_t{kWriters});
}

TEST_F(Journal, AnUnwritableJournalIsAWarning) {
    std::ofstream(dir_ + "/file") << "x";
    const auto warning = AppendToJournal(Sample("A"), dir_ + "/file/vrel/journal.csv");
    ASSERT_TRUE(warning);
    EXPECT_THAT(*warning, HasSubstr(dir_ + "/file/vrel/journal.csv cannot be written"));
    EXPECT_EQ(ReadJournal(path_), std::nullopt) << "no journal yet";
}

TEST(JournalTime, ReadsDatesAndIsoTimes) {
    const std::int64_t at = 1796768045; // 2026-12-08T22:14:05Z
    const std::pair<const char*, std::optional<std::int64_t>> cases[] = {
        {"2026-12-08T23:14:05+01:00", at},
        {"2026-12-08T22:14:05Z", at},
        {"2026-12-08T17:14:05-0500", at},
        {"2026-12-08T22:14:05.5Z", at},
        {"2026-12-08T22:14Z", at - 5},
        {"2026-13-08", std::nullopt},
        {"2026-12-08T25:00:00Z", std::nullopt},
        {"yesterday", std::nullopt},
        {"", std::nullopt},
        {"2026-12-08T22:14:05Z junk", std::nullopt},
    };
    for (const auto& [text, seconds] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(JournalTimeSeconds(text), seconds);
    }
    // A date or a time without offset is local, as the user reads the clock.
    const auto date = JournalTimeSeconds("2026-12-08");
    ASSERT_TRUE(date);
    EXPECT_EQ(JournalTimeSeconds("2026-12-08T00:00:00"), date);
}

TEST(JournalTime, SinceKeepsEntriesAtOrAfter) {
    std::vector<JournalEntry> entries(4, Sample("A"));
    entries[0].time = "2026-12-08T22:14:04Z";
    entries[1].time = "2026-12-08T23:14:05+01:00";
    entries[2].time = "garbled";
    entries[3].time = "2026-12-09T08:00:00+09:00";
    const auto kept = JournalEntriesSince(entries, *JournalTimeSeconds("2026-12-08T22:14:05Z"));
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].time, entries[1].time);
    EXPECT_EQ(kept[1].time, entries[3].time);
}

TEST(JournalPath, FollowsXdgStateHome) {
    const char* saved = std::getenv("XDG_STATE_HOME");
    const std::string restore = saved ? saved : "";
    setenv("XDG_STATE_HOME", "/srv/state", 1);
    EXPECT_EQ(JournalPath(), "/srv/state/vrel/journal.csv");
    setenv("XDG_STATE_HOME", "relative", 1); // to be ignored
    EXPECT_EQ(JournalPath(), std::string(std::getenv("HOME")) + "/.local/state/vrel/journal.csv");
    if (saved)
        setenv("XDG_STATE_HOME", restore.c_str(), 1);
    else
        unsetenv("XDG_STATE_HOME");
}

TEST(JournalEntryForSet, RecordsTheSetButNoPassword) {
    const Device before{"4660", "Relay", "0A0000000001", "10.0.0.1", "255.255.255.0", "eth1"};
    const VerifiedSet::Target target{"0A0000000001", "secret", "10.0.0.7", "255.255.0.0"};
    SetOutcome outcome;
    outcome.verdict = SetVerdict::kAppliedAnswerLost;
    outcome.attempts = 3;
    const JournalEntry e = JournalEntryForSet(before, target, outcome);
    EXPECT_LE(std::llabs(JournalTimeSeconds(e.time).value_or(0) - std::time(nullptr)), 60);
    EXPECT_FALSE(e.user.empty());
    EXPECT_EQ(e.interfaceName, "eth1");
    EXPECT_EQ(e.model, "Relay");
    EXPECT_EQ(e.oldIp + " " + e.oldNetmask, "10.0.0.1 255.255.255.0");
    EXPECT_EQ(e.newIp + " " + e.newNetmask, "10.0.0.7 255.255.0.0");
    EXPECT_EQ(e.verdict, "applied, answer lost");
    EXPECT_EQ(e.attempts, 3);
    EXPECT_THAT(JournalLine(e), ::testing::Not(HasSubstr("secret")));
}

} // namespace
} // namespace vrel
