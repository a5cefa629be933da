#include "VrelRun.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

namespace vrel::test {
namespace {

using ::testing::HasSubstr;

// vrel inherits this process's environment: the journal it reads lies in a folder of the test.
class JournalCommand : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(state_.isValid());
        saved_ = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", state_.path().toUtf8());
    }
    void TearDown() override {
        if (saved_.isNull())
            qunsetenv("XDG_STATE_HOME");
        else
            qputenv("XDG_STATE_HOME", saved_);
    }

    void WriteJournal(const std::string& text) {
        QDir(state_.path()).mkpath("vrel");
        std::ofstream((state_.path() + "/vrel/journal.csv").toStdString(), std::ios::binary)
            << text;
    }

    QTemporaryDir state_;
    QByteArray saved_;
};

const std::string kJournal =
    "time,user,host,interface,macAddress,modelName,oldIpAddress,oldNetmask,newIpAddress,"
    "newNetmask,verdict,attempts\r\n"
    "2026-12-07T09:00:00+01:00,ann,lab,eth0,0A0000000001,Relay,10.0.0.1,255.255.255.0,"
    "10.0.0.7,255.255.255.0,verified,1\r\n"
    "2026-12-08T23:14:05+01:00,bob,lab,eth1,0A0000000002,\"'=1+1, \"\"x\"\"\",,,10.0.0.8,"
    "255.255.255.0,\"applied, answer lost\",3\r\n";

TEST_F(JournalCommand, PrintsTableCsvAndJson) {
    WriteJournal(kJournal);
    const VrelRun table = RunVrel({"journal"});
    ASSERT_EQ(table.exitCode, 0) << Describe({"journal"}, table);
    EXPECT_THAT(table.out, HasSubstr("Time                       User  Host  Interface  Mac Address"));
    EXPECT_THAT(table.out, HasSubstr("0A0000000002  '=1+1, \"x\"  "));

    const VrelRun csv = RunVrel({"journal", "--csv"});
    EXPECT_EQ(csv.out, kJournal) << Describe({"journal", "--csv"}, csv);

    const QStringList args = {"journal", "--json", "--since", "2026-12-08T22:00:00Z"};
    const VrelRun json = RunVrel(args);
    ASSERT_EQ(json.exitCode, 0) << Describe(args, json);
    const QJsonArray array = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).array();
    ASSERT_EQ(array.size(), 1) << json.out;
    EXPECT_EQ(array[0].toObject().value("user").toString(), "bob");
    EXPECT_EQ(array[0].toObject().value("attempts").toInt(), 3);
    EXPECT_EQ(array[0].toObject().value("oldIpAddress").toString(), "");
}

TEST_F(JournalCommand, ExitCodes) {
    struct Case {
        QStringList args;
        bool journal;
        int exitCode;
        const char* out;
        const char* err;
    };
    const Case cases[] = {
        {{"journal"}, false, 0, "", "no journal yet"},
        {{"journal", "--since", "2026-12-09"}, true, 0, "Time ", ""},
        {{"journal", "--since", "2026-12-32"}, true, 2, "", "--since: '2026-12-32' is neither"},
        {{"journal", "--since", "last week"}, true, 2, "", "is neither a date"},
        {{"journal", "--csv", "--json"}, true, 2, "", "exclude each other"},
        {{"journal", "extra"}, true, 2, "", "takes no arguments"},
        {{"journal", "--help"}, true, 0, "--since <DATE>", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        QFile::remove(state_.path() + "/vrel/journal.csv");
        if (c.journal)
            WriteJournal(kJournal);
        const VrelRun run = RunVrel(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << Describe(c.args, run);
        EXPECT_THAT(run.out, HasSubstr(c.out));
        EXPECT_THAT(run.err, HasSubstr(c.err));
        if (c.exitCode != 0) {
            EXPECT_EQ(run.out, "") << "nothing printed on bad input";
        }
    }
}

TEST_F(JournalCommand, ABrokenJournalNamesItsLine) {
    WriteJournal(kJournal + "2026-12-09T00:00:00Z,\"open\n");
    const VrelRun run = RunVrel({"journal"});
    EXPECT_EQ(run.exitCode, 2) << Describe({"journal"}, run);
    EXPECT_THAT(run.err, HasSubstr("journal.csv: line 4: quoted field not closed"));
    EXPECT_EQ(run.out, "");
}

} // namespace
} // namespace vrel::test
