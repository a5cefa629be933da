#include "CliText.h"
#include "VrelTypes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

namespace vrel::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string FormatCsv(const DeviceList& rows) {
    std::ostringstream out;
    WriteCsv(
        rows.size(), [&rows](std::size_t r) -> const Device& { return rows[r]; }, out);
    return out.str();
}

const Device kRelay{
    "4660", "Relay, 4 channels", "0A0000000001", "192.168.100.200", "255.255.255.0", "eth1"};
const Device kShort{"1", "A", "0A0000000002", "10.0.0.1", "255.0.0.0", "enp0s31f6"};

TEST(CliText, TableIsAlignedUnderItsHeaders) {
    // Written out by hand: every column as wide as its widest cell, two blanks between
    // columns, nothing behind the last one.
    EXPECT_EQ(FormatTable({kShort, kRelay}),
              "Product Code  Model Name         Mac Address   IP Address       Netmask        "
              "Interface\n"
              "1             A                  0A0000000002  10.0.0.1         255.0.0.0      "
              "enp0s31f6\n"
              "4660          Relay, 4 channels  0A0000000001  192.168.100.200  255.255.255.0  "
              "eth1\n");
    EXPECT_EQ(FormatTable({}),
              "Product Code  Model Name  Mac Address  IP Address  Netmask  Interface\n");
}

// Conflicts add a Notes column and a "notes" field, only where there is something to note.
TEST(CliText, NotesAppearOnlyWhereThereAreAny) {
    EXPECT_EQ(
        FormatTable({kShort, kRelay}, {"", "IP address used by 2 devices"}),
        "Product Code  Model Name         Mac Address   IP Address       Netmask        Interface  "
        "Notes\n"
        "1             A                  0A0000000002  10.0.0.1         255.0.0.0      enp0s31f6\n"
        "4660          Relay, 4 channels  0A0000000001  192.168.100.200  255.255.255.0  eth1       "
        "IP address used by 2 devices\n");
    EXPECT_EQ(FormatTable({kShort}, {""}), FormatTable({kShort}));
    const QJsonArray array =
        QJsonDocument::fromJson(
            QByteArray::fromStdString(FormatJson({kShort, kRelay}, {"", "the host's own address"})))
            .array();
    ASSERT_EQ(array.size(), 2);
    EXPECT_FALSE(array[0].toObject().contains("notes"));
    EXPECT_EQ(array[1].toObject().value("notes").toString(), "the host's own address");
}

TEST(CliText, TableShowsControlBytesAsEscapes) {
    // A name that would retitle the terminal, and one that would print a forged row.
    const Device hostile{"1", "\x1b]0;owned\x07", "0A0000000001", "10.0.0.1\n2 Fake",
                            "\x9b" "2J", ""};
    const auto lines = Lines(FormatTable({hostile}));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_THAT(lines[1], HasSubstr("\\x1b]0;owned\\x07  "));
    EXPECT_THAT(lines[1], HasSubstr("10.0.0.1\\x0a2 Fake  \\x9b2J"));
    for (const char c : lines[1])
        EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) << int(c);
}

TEST(CliText, TableCellsStartWhereTheirHeaderStarts) {
    const std::vector<DeviceList> tables = {
        {kRelay},
        {kShort, kRelay, kShort},
        {{"65535", "A model name far wider than its header", "0A00000000FF", "1.2.3.4", "", ""}},
        {{"", "", "", "", "", ""}},
    };
    for (const auto& rows : tables) {
        const auto lines = Lines(FormatTable(rows));
        ASSERT_EQ(lines.size(), rows.size() + 1);
        std::size_t start[kDeviceColumns];
        for (int c = 0; c < kDeviceColumns; ++c) {
            start[c] = lines[0].find(kDeviceHeaders[c]);
            ASSERT_NE(start[c], std::string::npos) << kDeviceHeaders[c];
            if (c > 0) {
                EXPECT_EQ(lines[0].substr(start[c] - 2, 2), "  ") << "two blanks before a column";
            }
        }
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const std::string& line = lines[r + 1];
            SCOPED_TRACE(line);
            const std::string_view cells[kDeviceColumns] = {rows[r].productCode, rows[r].modelName,
                                                       rows[r].macAddress,  rows[r].ipAddress,
                                                       rows[r].netmask,     rows[r].interfaceName};
            for (int c = 0; c < kDeviceColumns - 1; ++c) {
                EXPECT_EQ(line.substr(start[c], cells[c].size()), cells[c]);
                const std::size_t gap = start[c] + cells[c].size();
                EXPECT_EQ(line.substr(gap, start[c + 1] - gap),
                          std::string(start[c + 1] - gap, ' '));
            }
            EXPECT_EQ(line.substr(start[kDeviceColumns - 1]), cells[kDeviceColumns - 1])
                << "nothing behind the last column";
        }
    }
}

TEST(CliText, JsonHoldsOneObjectPerRowWithTheSixKeysInColumnOrder) {
    const DeviceList rows = {
        kRelay,
        {"2", "Say \"hi\" \\ back\ttab", "0A0000000002", "10.0.0.2", "255.255.0.0", ""},
        {"3", "Caf\xE9", "0A0000000003", "10.0.0.3", "255.255.255.0", "wl\"an"},
    };
    const std::string text = FormatJson(rows);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    ASSERT_TRUE(doc.isArray());
    const QJsonArray array = doc.array();
    ASSERT_EQ(array.size(), 3);
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QJsonObject o = array.at(i).toObject();
        EXPECT_EQ(o.size(), kDeviceColumns);
        EXPECT_EQ(o.value("interface").toString().toStdString(), rows[i].interfaceName);
        EXPECT_EQ(o.value("productCode").toString().toStdString(), rows[i].productCode);
        EXPECT_EQ(o.value("macAddress").toString().toStdString(), rows[i].macAddress);
        EXPECT_EQ(o.value("ipAddress").toString().toStdString(), rows[i].ipAddress);
        EXPECT_EQ(o.value("netmask").toString().toStdString(), rows[i].netmask);
    }
    // Each object lists its keys in the documented order, not sorted.
    std::size_t at = 0;
    for (std::size_t i = 0; i < rows.size(); ++i)
        for (const char* key : kDeviceKeys) {
            const std::size_t next = text.find('"' + std::string(key) + '"', at);
            ASSERT_NE(next, std::string::npos) << key << " of object " << i << " out of order";
            at = next;
        }
    EXPECT_EQ(array.at(0).toObject().value("modelName").toString(), "Relay, 4 channels");
    EXPECT_EQ(array.at(1).toObject().value("modelName").toString(), "Say \"hi\" \\ back\ttab");
    // Model names are 8-bit texts; a byte above 127 must still give valid UTF-8 JSON.
    EXPECT_EQ(array.at(2).toObject().value("modelName").toString(),
              QString::fromUtf8("Caf\xC3\xA9"));

    const QJsonDocument empty = QJsonDocument::fromJson(QByteArray::fromStdString(FormatJson({})));
    ASSERT_TRUE(empty.isArray());
    EXPECT_TRUE(empty.array().isEmpty());
}

// set and apply write numbers and flags too: the fields keep their order, and the layout is
// Qt's own indented one, so output reads the same as before with keys in sorted order.
TEST(CliText, JsonFieldsKeepTheirOrderAndQtsLayout) {
    const JsonFields device{{"verdict", "verified"}, {"attempts", 2}, {"found", true}};
    EXPECT_EQ(JsonObjectText(device),
              "{\n    \"verdict\": \"verified\",\n    \"attempts\": 2,\n    \"found\": true\n}");
    const JsonFields sorted{{"a", 1}, {"b", QString::fromLatin1("Caf\xE9")}};
    const QJsonObject object{{"a", 1}, {"b", QString::fromLatin1("Caf\xE9")}};
    const struct {
        std::vector<JsonFields> objects;
        QJsonArray array;
    } cases[] = {{{}, {}}, {{sorted}, {object}}, {{sorted, sorted}, {object, object}}};
    for (const auto& c : cases)
        EXPECT_EQ(JsonArrayText(c.objects), QJsonDocument(c.array).toJson().toStdString());
}

TEST(CliText, CsvQuotesOnlyFieldsThatNeedIt) {
    const std::string header = "productCode,modelName,macAddress,ipAddress,netmask,interface\r\n";
    const std::pair<std::string, std::string> cases[] = {
        {"Plain", "Plain"},
        {"", ""},
        {" padded ", " padded "},
        {"Relay, 4 channels", "\"Relay, 4 channels\""},
        {"Sensor \"S2\"", "\"Sensor \"\"S2\"\"\""},
        {"\"", "\"\"\"\""},
        {"two\nlines", "two\\x0alines"}, // a line break would forge a record
        {"two\r\nlines", "two\\x0d\\x0alines"},
        {"cr\ronly", "cr\\x0donly"},
        // Cells a spreadsheet would run as formulas are shown as text.
        {"=cmd|' /C calc'!A0", "'=cmd|' /C calc'!A0"},
        {"+1", "'+1"},
        {"-2", "'-2"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tx", "'\\x09x"},
        {"\r=1", "'\\x0d=1"},
        {"=a,b", "\"'=a,b\""},
        {"a=b", "a=b"},
        {"\x1b]0;owned\x07", "\\x1b]0;owned\\x07"},
        {"\x7f\x9b\xA0", "\\x7f\\x9b\xA0"}, // DEL and C1 escaped, Latin-1 letters kept
    };
    for (const auto& [model, field] : cases) {
        SCOPED_TRACE(model);
        EXPECT_EQ(FormatCsv({{"7", model, "0A0000000007", "10.0.0.7", "255.255.255.0", ""}}),
                  header + "7," + field + ",0A0000000007,10.0.0.7,255.255.255.0,\r\n");
    }
    EXPECT_EQ(FormatCsv({}), header);
    EXPECT_EQ(
        FormatCsv({kShort, {"1,2", "x", "m", "\"ip\"", "n", ""}}),
        header +
            "1,A,0A0000000002,10.0.0.1,255.0.0.0,enp0s31f6\r\n\"1,2\",x,m,\"\"\"ip\"\"\",n,\r\n");
}

TEST(CliText, VarSpecReadsIdTypeAndOptionalName) {
    struct Good {
        const char* text;
        int id, type;
        const char* name;
    };
    const Good good[] = {
        {"1:displaystr", 1, kDisplayStr, "1"},
        {"3:ipaddress:ip", 3, kIpAddress, "ip"},
        {"3:IPADDRESS:ip", 3, kIpAddress, "ip"},
        {"235:UInt16:product code", 235, kUint16, "product code"},
        {"0:bool8", 0, kBool8, "0"},
        {"255:macaddress", 255, kMacAddress, "255"},
        {"7:uint8:", 7, kUint8, "7"},      // an empty name falls back to the id
        {"7:uint8:a:b", 7, kUint8, "a:b"}, // the name is everything after the type
    };
    for (const auto& g : good) {
        SCOPED_TRACE(g.text);
        const VarArgument wanted = ParseVarArgument(g.text);
        EXPECT_EQ(wanted.id, g.id);
        EXPECT_EQ(wanted.type, g.type);
        EXPECT_EQ(wanted.name, g.name);
    }
    const std::pair<const char*, const char*> bad[] = {
        {"1", "'1' is not ID:TYPE[:NAME]"},
        {"", "is not ID:TYPE[:NAME]"},
        {":uint8", "'' is not a variable id"},
        {"256:uint8", "'256' is not a variable id"},
        {"-1:uint8", "'-1' is not a variable id"},
        {"x:uint8", "'x' is not a variable id"},
        {"1x:uint8", "'1x' is not a variable id"},
        {"1:strange", "'strange' is not a value type"},
        {"1:", "'' is not a value type"},
        {"1:3", "'3' is not a value type"},
        {"1:uint8x:name", "'uint8x' is not a value type"},
    };
    for (const auto& [text, message] : bad) {
        SCOPED_TRACE(text);
        try {
            ParseVarArgument(text);
            ADD_FAILURE() << "accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_THAT(e.what(), HasSubstr(message));
        }
    }
}

TEST(CliText, TimeoutIsSecondsIn10msUnits) {
    const std::pair<const char*, std::uint32_t> good[] = {
        {"0.01", 1}, {"0.5", 50}, {"3", 300}, {"7", 700}, {"0.25", 25}, {"3600", 360000},
    };
    for (const auto& [text, units] : good)
        EXPECT_EQ(ParseTimeout(text), units) << text;
    for (const char* text : {"", "0", "0.001", "0.009", "3600.5", "-1", "abc", " 1", "1 ", "1s",
                             "nan", "inf", "1,5"}) {
        SCOPED_TRACE(text);
        try {
            ParseTimeout(text);
            ADD_FAILURE() << "accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_THAT(e.what(), HasSubstr("is not a time-out in seconds"));
        }
    }
}

NetInterface Interface(const std::string& name, const std::string& address, bool up = true) {
    NetInterface i;
    i.index = static_cast<int>(name.size());
    i.name = name;
    i.address = address;
    i.prefixLength = 24;
    i.up = i.running = up;
    i.broadcast = true;
    i.loopback = name == "lo";
    return i;
}

TEST(CliText, NothingFoundSaysWhereTheRequestWentAndWhatMayBeWrong) {
    const NetInterface lo = Interface("lo", "127.0.0.1"), eth0 = Interface("eth0", "10.0.0.1"),
                         eth1 = Interface("eth1", ""), wlan0 = Interface("wlan0", "10.9.0.1"),
                         down = Interface("eth2", "10.2.0.1", false);
    const SendOutcome sentEth0{eth0, true, ""};
    const struct {
        const char* name;
        std::vector<NetInterface> all;
        std::vector<SendOutcome> sent;
        std::map<std::string, int> answers;
        std::vector<std::string> lines, absent;
    } cases[] = {
        {"loopback only",
         {lo},
         {},
         {},
         {"routing table", "hint: no network interface is up", "'nft list ruleset'"},
         {"lo "}},
        {"one sent, one without address",
         {lo, eth0, eth1},
         {sentEth0},
         {{"eth0", 2}},
         {"vrel:   eth0 10.0.0.1/24: sent, 2 answers\n",
          "vrel:   eth1 (no IPv4 address): not sent (no IPv4 address), 0 answers\n",
          "hint: eth1 has no IPv4 address", "firewall"},
         {"no network interface is up", "routing table"}},
        {"restricted by name, one down",
         {eth0, wlan0, down},
         {sentEth0},
         {},
         {"eth0 10.0.0.1/24: sent, 0 answers", "wlan0 10.9.0.1/24: not chosen, 0 answers",
          "eth2 10.2.0.1/24: not sent (down), 0 answers"},
         {"hint: eth"}},
        {"down, so the routing table took it",
         {down},
         {{down, false, "down"}},
         {},
         {"eth2 10.2.0.1/24: not sent (down)", "no network interface is up", "routing table"},
         {"hint: eth"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string text = NothingFoundText(c.all, c.sent, c.answers);
        for (const auto& line : c.lines)
            EXPECT_THAT(text, HasSubstr(line)) << text;
        for (const auto& line : c.absent)
            EXPECT_THAT(text, Not(HasSubstr(line))) << text;
    }
}

} // namespace
} // namespace vrel::cli
