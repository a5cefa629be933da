#include "KvVRELVarList.h"
#include "SimulatedNetwork.h"
#include "VrelPacket.h"
#include "VrelTables.h"
#include "VrelTypes.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include <algorithm>
#include <set>
#include <sstream>

namespace vrel::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

std::vector<std::string> TextsOf(std::vector<Device> rows, bool sorted = true) {
    std::vector<std::string> texts;
    for (const auto& r : rows)
        texts.push_back(Text(r));
    if (sorted)
        std::sort(texts.begin(), texts.end());
    return texts;
}

// The table form read back by the column starts of its header line.
std::vector<Device> ReadTable(const std::string& out) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    if (lines.empty()) {
        ADD_FAILURE() << "no header line";
        return {};
    }
    constexpr int n = cli::kDeviceColumns;
    std::size_t start[n + 1];
    for (int c = 0; c < n; ++c)
        start[c] = lines[0].find(cli::kDeviceHeaders[c]);
    start[n] = std::string::npos;
    std::vector<Device> rows;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string cell[n];
        for (int c = 0; c < n; ++c) {
            cell[c] = lines[i].substr(std::min(start[c], lines[i].size()),
                                      c < n - 1 ? start[c + 1] - start[c] : std::string::npos);
            cell[c].erase(cell[c].find_last_not_of(' ') + 1);
        }
        rows.push_back({cell[0], cell[1], cell[2], cell[3], cell[4], cell[5]});
    }
    return rows;
}

// RFC 4180 read strictly: every record ends in CRLF, a bare CR or LF only inside quotes.
std::vector<std::vector<std::string>> ReadCsv(const std::string& out) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false, wasQuoted = false;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const char c = out[i];
        if (quoted) {
            if (c == '"' && i + 1 < out.size() && out[i + 1] == '"')
                field += out[i++];
            else if (c == '"')
                quoted = false;
            else
                field += c;
        } else if (c == '"' && field.empty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == ',') {
            record.push_back(field);
            field.clear();
            wasQuoted = false;
        } else if (c == '\r' && i + 1 < out.size() && out[i + 1] == '\n') {
            ++i;
            record.push_back(field);
            records.push_back(record);
            record.clear();
            field.clear();
            wasQuoted = false;
        } else if (c == '\r' || c == '\n' || c == '"' || wasQuoted) {
            ADD_FAILURE() << "not RFC 4180 at byte " << i << " of:\n" << out;
            return records;
        } else {
            field += c;
        }
    }
    if (!record.empty() || !field.empty() || quoted)
        ADD_FAILURE() << "the last record does not end in CRLF:\n" << out;
    return records;
}

std::vector<Device> RowsOfCsv(const std::string& out) {
    const auto records = ReadCsv(out);
    if (records.empty()) {
        ADD_FAILURE() << "no header record";
        return {};
    }
    EXPECT_THAT(records[0], ElementsAre("productCode", "modelName", "macAddress", "ipAddress",
                                        "netmask", "interface"));
    std::vector<Device> rows;
    for (std::size_t i = 1; i < records.size(); ++i) {
        const auto& f = records[i];
        if (f.size() != cli::kDeviceColumns) {
            ADD_FAILURE() << "record " << i << " has " << f.size() << " fields";
            continue;
        }
        rows.push_back({f[0], f[1], f[2], f[3], f[4], f[5]});
    }
    return rows;
}

std::vector<Device> RowsOfJson(const std::string& out) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(out), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << out;
    EXPECT_TRUE(doc.isArray()) << out;
    std::vector<Device> rows;
    for (const auto& value : doc.array()) {
        const QJsonObject o = value.toObject();
        EXPECT_EQ(o.size(), cli::kDeviceColumns);
        auto field = [&](const char* key) { return o.value(key).toString().toStdString(); };
        rows.push_back({field("productCode"), field("modelName"), field("macAddress"),
                        field("ipAddress"), field("netmask"), field("interface")});
    }
    return rows;
}

struct Format {
    const char* name;
    QStringList option;
    std::vector<Device> (*read)(const std::string&);
};

const Format kFormats[] = {
    {"table", {}, &ReadTable},
    {"json", {"--json"}, &RowsOfJson},
    {"csv", {"--csv"}, &RowsOfCsv},
};

using DiscoverCommand = SimulatedNetwork;

TEST_F(DiscoverCommand, EveryFormatListsEachDeviceOnce) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    // Every answer is sent twice: a repeat must not become a second row.
    ASSERT_TRUE(StartDeviceFile({"--duplicate", "100"})) << Sim().Log();
    for (const auto& format : kFormats) {
        SCOPED_TRACE(format.name);
        const QStringList args = QStringList{"discover", "--timeout", "0.5"} + format.option;
        const VrelRun run = RunVrel(args);
        ASSERT_EQ(run.exitCode, 0) << Describe(args, run);
        EXPECT_EQ(run.err, "");
        // In the sandbox the broadcast goes out by the routing table and comes back on lo.
        EXPECT_EQ(TextsOf(format.read(run.out)), TextsOf({OnLoopback(kRelay), OnLoopback(kSensor)}))
            << run.out;
        // The answers are collected for the whole time-out, and not for the default 7 s.
        EXPECT_GE(run.elapsedMs, 450);
        EXPECT_LT(run.elapsedMs, 3000);
    }
}

// The MAC addresses of the answers to one Discover broadcast, in the order they came.
std::vector<std::string> AnswerOrder(int listenMs) {
    QUdpSocket socket;
    EXPECT_TRUE(socket.bind(QHostAddress::AnyIPv4, 0));
    auto vars = KvVRELVarList::create_from_definitions(DiscoveryVariables());
    std::string request;
    EXPECT_EQ(build_request(kDiscover, 1, "FFFFFFFFFFFF", "", *vars, request), 0);
    socket.writeDatagram(request.data(), qint64(request.size()), QHostAddress::Broadcast, 64512);
    std::vector<std::string> macs;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < listenMs) {
        socket.waitForReadyRead(20);
        while (socket.hasPendingDatagrams()) {
            const QNetworkDatagram d = socket.receiveDatagram();
            const auto header =
                check_response(reinterpret_cast<const std::uint8_t*>(d.data().constData()),
                               std::size_t(d.data().size()), quint16(d.senderPort()));
            if (!header)
                continue;
            std::string mac;
            for (const std::uint8_t b : header->mac) {
                mac += "0123456789ABCDEF"[b >> 4];
                mac += "0123456789ABCDEF"[b & 15];
            }
            if (std::find(macs.begin(), macs.end(), mac) == macs.end())
                macs.push_back(mac);
        }
    }
    return macs;
}

// Devices leave the factory with one address: every holder is marked, and stderr says so.
TEST_F(DiscoverCommand, SharedAddressIsNoted) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_TRUE(StartDeviceRows("1,A,0A0000000001,192.168.0.250,255.255.255.0,\r\n"
                                "2,B,0A0000000002,192.168.0.250,255.255.255.0,\r\n"
                                "3,C,0A0000000003,192.168.0.3,255.255.255.0,\r\n",
                                "0A0000000001"))
        << Sim().Log();
    const QStringList args = {"discover", "--json", "--timeout", "0.3"};
    const VrelRun run = RunVrel(args);
    ASSERT_EQ(run.exitCode, 0) << Describe(args, run);
    std::map<std::string, std::string> notes;
    for (const auto& value : QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).array())
        notes[value.toObject().value("macAddress").toString().toStdString()] =
            value.toObject().value("notes").toString().toStdString();
    EXPECT_EQ(notes,
              (std::map<std::string, std::string>{{"0A0000000001", "IP address used by 2 devices"},
                                                  {"0A0000000002", "IP address used by 2 devices"},
                                                  {"0A0000000003", ""}}));
    EXPECT_EQ(run.err, "vrel: conflicts: 2 devices share an IP address\n");
}

TEST_F(DiscoverCommand, RowsComeInTheOrderOfTheFirstAnswers) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    // A fixed seed makes the simulator shuffle its answers the same way after each start;
    // repeats of an answer follow it within 20 ms, long before the next device's answer.
    const QStringList sim = {"--spread", "300", "--duplicate", "100", "--seed", "11", "--quiet"};
    ASSERT_TRUE(StartGenerated(5, sim)) << Sim().Log();
    const auto order = AnswerOrder(500);
    ASSERT_EQ(order.size(), 5u);
    std::vector<std::string> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    ASSERT_NE(order, sorted) << "this seed gives no shuffled order; pick another";

    ASSERT_TRUE(StartGenerated(5, sim)) << Sim().Log();
    for (const auto& format : kFormats) {
        SCOPED_TRACE(format.name);
        const QStringList args = QStringList{"discover", "--timeout", "0.5"} + format.option;
        const VrelRun run = RunVrel(args);
        ASSERT_EQ(run.exitCode, 0) << Describe(args, run);
        std::vector<std::string> macs;
        for (const auto& row : format.read(run.out))
            macs.push_back(row.macAddress);
        EXPECT_EQ(macs, order) << run.out;
        ASSERT_TRUE(StartGenerated(5, sim)) << Sim().Log(); // the same shuffle again
    }
}

TEST_F(DiscoverCommand, NoAnswerIsNoFailure) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    // No simulator runs: the broadcast reaches nobody.
    const std::pair<QStringList, std::vector<Device> (*)(const std::string&)> cases[] = {
        {{"--json"}, &RowsOfJson},
        {{"--csv"}, &RowsOfCsv},
    };
    const QStringList plain = {"discover", "--timeout", "0.3"};
    const VrelRun table = RunVrel(plain);
    EXPECT_EQ(table.exitCode, 0) << Describe(plain, table);
    EXPECT_EQ(table.out, "");
    // Loopback is no broadcast network: the diagnostics say that none was found.
    EXPECT_THAT(table.err, StartsWith("vrel: no device answered\n"));
    EXPECT_THAT(table.err, HasSubstr("hint: no network interface is up"));
    for (const auto& [option, read] : cases) {
        const QStringList args = plain + option;
        const VrelRun run = RunVrel(args);
        EXPECT_EQ(run.exitCode, 0) << Describe(args, run);
        EXPECT_THAT(run.err, StartsWith("vrel: no device answered\n"));
        // Scripts still get a document they can read: an empty array, a lone header.
        EXPECT_TRUE(read(run.out).empty()) << run.out;
    }
}

TEST_F(DiscoverCommand, WhereKeepsOnlyMatchingAnswers) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_TRUE(StartDeviceFile()) << Sim().Log();
    const std::pair<QString, std::vector<Device>> cases[] = {
        {"$0.2=\"0A0000000002\"", {kSensor}},
        {"$0.3=\"10.0.0.1\"", {kRelay}},
        {"$0.1=\"Relay, 4 channels\"", {kRelay}},
        {"$0.4<>\"1.2.3.4\"", {kRelay, kSensor}},
        {"$0.0=\"9999\"", {}},
    };
    for (const auto& [condition, rows] : cases) {
        const QStringList args = {"discover", "--csv", "--timeout", "0.3", "--where", condition};
        const VrelRun run = RunVrel(args);
        EXPECT_EQ(run.exitCode, 0) << Describe(args, run);
        std::vector<Device> expected;
        std::transform(rows.begin(), rows.end(), std::back_inserter(expected), OnLoopback);
        EXPECT_EQ(TextsOf(RowsOfCsv(run.out)), TextsOf(expected)) << Describe(args, run);
    }
}

TEST_F(DiscoverCommand, AConditionFailingOnOneAnswerReportsItAndGoesOn) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    // The "|" reaches its bare right operand only for the device at 10.0.0.1; the check with
    // empty values before sending passes.
    ASSERT_TRUE(StartDeviceRows("1,\"a\"\"|\"\"b\",0A0000000001,10.0.0.1,255.255.255.0,\r\n"
                                "2,plain,0A0000000002,10.0.0.2,255.255.255.0,\r\n",
                                "0A0000000001"))
        << Sim().Log();
    const QStringList args = {"discover", "--csv",   "--timeout",
                              "0.3",      "--where", "$0.3<>\"10.0.0.1\"|bogus"};
    const VrelRun run = RunVrel(args);
    EXPECT_EQ(run.exitCode, 0) << Describe(args, run);
    const auto rows = RowsOfCsv(run.out);
    ASSERT_EQ(rows.size(), 1u) << Describe(args, run);
    EXPECT_EQ(rows[0].macAddress, "0A0000000002");
    EXPECT_THAT(run.err, HasSubstr("answer from 0A0000000001: (KvCommon) Bad logic operand!"));
}

TEST_F(DiscoverCommand, MalformedAnswersAreDropped) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    ASSERT_TRUE(StartGenerated(3, {"--garbage", "100"})) << Sim().Log();
    const QStringList args = {"discover", "--csv", "--timeout", "0.3"};
    const VrelRun run = RunVrel(args);
    EXPECT_EQ(run.exitCode, 0) << Describe(args, run);
    EXPECT_TRUE(RowsOfCsv(run.out).empty()) << run.out;
    EXPECT_THAT(run.err, HasSubstr("no device answered"));
}

} // namespace
} // namespace vrel::test
