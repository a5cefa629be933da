#include "Exception.h"
#include "HexBytes.h"
#include "KvOptionList.h"
#include "VrelPacket.h"
#include "VrelTables.h"
#include "VrelTypes.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <utility>

namespace vrel {
namespace {

using test::HexBytes;
using test::HexOf;
using test::Raw;

const VariableDef kVarEnd = {0, nullptr, 0, 0, nullptr, nullptr, nullptr};

std::unique_ptr<KvVRELVarList> SetList(const char* ip, const char* mask, const char* action) {
    auto list = KvVRELVarList::create_from_definitions(SetVariables);
    list->at(0).value = ip;
    list->at(1).value = mask;
    list->at(2).value = action;
    return list;
}

std::unique_ptr<KvVRELVarList> DiscoveryList() {
    return KvVRELVarList::create_from_definitions(DiscoveryVariables());
}

std::string Md5(const std::string& bytes) {
    const QByteArray digest = QCryptographicHash::hash(
        QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())), QCryptographicHash::Md5);
    return std::string(digest.constData(), static_cast<std::size_t>(digest.size()));
}

// The device's check: MD5 over the datagram with a zero digest field, followed by the
// password as far as its first NUL.
std::string ExpectedDigest(const std::string& datagram, const std::string& password) {
    std::string area = datagram;
    std::fill(area.begin() + 12, area.begin() + 28, '\0');
    return Md5(area + password.substr(0, password.find('\0')));
}

std::string DigestOf(const std::string& datagram) {
    return datagram.substr(12, 16);
}

TEST(Packet, GoldenDiscoverRequest) {
    const auto list = DiscoveryList();
    std::string datagram;
    ASSERT_EQ(build_request(kDiscover, 0x2A, "FFFFFFFFFFFF", "", *list, datagram), 0);
    EXPECT_EQ(HexOf(datagram), HexOf(HexBytes("09 2B 13 38 01 2A 00 24 00 00 10 00"
                                              "80 33 31 DE 1E 09 5B 5B A1 8D 4F 4E 41 EA 3F D2"
                                              "FF FF FF FF FF FF 01 00")));

    ASSERT_EQ(build_request(kDiscover, 0x2A, "FFFFFFFFFFFF", "secret", *list, datagram), 0);
    ASSERT_EQ(datagram.size(), 36u);
    EXPECT_EQ(HexOf(DigestOf(datagram)), HexOf(HexBytes("1ca4269024033a00a55e806dfb5ef9db")));
}

TEST(Packet, GoldenSetRequest) {
    const auto list = SetList("192.168.0.10", "255.255.255.0", "3");
    std::string datagram;
    ASSERT_EQ(build_request(kSet, 7, "020000000001", "pw", *list, datagram), 0);
    EXPECT_EQ(HexOf(datagram), HexOf(HexBytes("09 2B 13 38 03 07 00 36 00 00 10 00"
                                              "3C 67 D6 BB 23 93 D8 81 1B 3D 9B 98 09 C0 5E 75"
                                              "02 00 00 00 00 01 01 00"
                                              "03 00 07 C0 A8 00 0A"
                                              "04 00 07 FF FF FF 00"
                                              "05 00 04 03")));
    EXPECT_EQ(datagram.find("pw"), std::string::npos);
}

TEST(Packet, GoldenGetRequest) {
    const VariableDef defs[] = {
        {9, "R", kUint8, kReadOnly, nullptr, nullptr, nullptr},
        {10, "W", kUint8, kWriteOnly, nullptr, nullptr, "5"},
        {11, "RW", kUint16, kReadWrite, nullptr, nullptr, "7"},
        {0, "S", kNoValueType, kReadOnly, nullptr, &DiscoveryResponseVarList(), nullptr},
        kVarEnd,
    };
    const auto list = KvVRELVarList::create_from_definitions(defs);
    std::string datagram;
    ASSERT_EQ(build_request(kGet, 0xFF, "02 00 00 00 00 01", "", *list, datagram), 0);
    EXPECT_EQ(HexOf(datagram.substr(0, 12)), "09 2B 13 38 05 FF 00 2D 00 00 10 00");
    EXPECT_EQ(HexOf(datagram.substr(28)), HexOf(HexBytes("02 00 00 00 00 01 01 00"
                                                         "09 00 03 0B 00 03 00 00 03")));
    EXPECT_EQ(HexOf(DigestOf(datagram)), HexOf(ExpectedDigest(datagram, "")));
}

TEST(Packet, DigestCoversHeaderPayloadAndPasswordUpToNul) {
    const auto list = SetList("10.0.0.2", "255.0.0.0", "3");
    const std::string passwords[] = {
        "",
        "pw",
        "a much longer password with blanks and \xE4",
        std::string("ab\0cd", 5),
        std::string("\0xyz", 4),
        std::string(300, 'p'),
    };
    for (const auto& password : passwords) {
        SCOPED_TRACE("password of " + std::to_string(password.size()) + " bytes");
        std::string datagram;
        ASSERT_EQ(build_request(kSet, 1, "FFFFFFFFFFFF", password, *list, datagram), 0);
        ASSERT_EQ(datagram.size(), 54u);
        EXPECT_EQ(HexOf(DigestOf(datagram)), HexOf(ExpectedDigest(datagram, password)));
    }
    std::string cut, plain, leadingNul, empty;
    build_request(kSet, 1, "FFFFFFFFFFFF", std::string("ab\0cd", 5), *list, cut);
    build_request(kSet, 1, "FFFFFFFFFFFF", "ab", *list, plain);
    build_request(kSet, 1, "FFFFFFFFFFFF", std::string("\0xyz", 4), *list, leadingNul);
    build_request(kSet, 1, "FFFFFFFFFFFF", "", *list, empty);
    EXPECT_EQ(cut, plain);
    EXPECT_EQ(leadingNul, empty);
    EXPECT_NE(plain, empty);
}

TEST(Packet, TargetMacText) {
    struct Case {
        const char* mac;
        int result;
        const char* bytes;
    };
    const Case cases[] = {
        {"FFFFFFFFFFFF", 0, "FF FF FF FF FF FF"},
        {"020000000001", 0, "02 00 00 00 00 01"},
        {"02 00 00 00 00 01", 0, "02 00 00 00 00 01"},
        {"aa bb cc dd ee ff", 0, "AA BB CC DD EE FF"},
        {" 0 2 0 0 0 0 0 0 0 0 0 1 ", 0, "02 00 00 00 00 01"},
        {"0011223344", -1010, nullptr},
        {"00-11-22-33-44-55", -1010, nullptr}, // 17 digits: nine bytes
        {"00112233445566", -1010, nullptr},
        {"", -1010, nullptr},
    };
    const auto list = DiscoveryList();
    for (const auto& c : cases) {
        std::string datagram;
        EXPECT_EQ(build_request(kDiscover, 1, c.mac, "", *list, datagram), c.result) << c.mac;
        if (c.bytes && datagram.size() == 36) {
            EXPECT_EQ(HexOf(datagram.substr(28, 6)), c.bytes) << c.mac;
        }
    }
}

TEST(Packet, RefusesUnknownCommands) {
    const auto list = SetList("10.0.0.2", "255.0.0.0", "3");
    for (int command : {0, 2, 4, 6, 255}) {
        std::string datagram, payload;
        const auto code = static_cast<std::uint8_t>(command);
        EXPECT_EQ(build_payload(*list, code, payload), -1006) << command;
        EXPECT_EQ(build_request(code, 1, "FFFFFFFFFFFF", "", *list, datagram), -1006) << command;
    }
}

TEST(Packet, SetRefusesTypesWithoutWireForm) {
    for (std::uint8_t type : {std::uint8_t{0}, std::uint8_t{18}, std::uint8_t{200}}) {
        const VariableDef defs[] = {
            {3, "IP Address", kIpAddress, kReadWrite, nullptr, nullptr, "10.0.0.1"},
            {9, "Odd", type, kWriteOnly, nullptr, nullptr, "1"},
            kVarEnd,
        };
        const auto list = KvVRELVarList::create_from_definitions(defs);
        std::string datagram;
        EXPECT_EQ(build_request(kSet, 1, "FFFFFFFFFFFF", "", *list, datagram), -1007) << +type;
    }
    // Not writable: a Set never looks at it.
    const VariableDef readOnly[] = {
        {0, "S", kNoValueType, kReadOnly, nullptr, &DiscoveryResponseVarList(), nullptr}, kVarEnd};
    std::string payload = "junk";
    EXPECT_EQ(build_payload(*KvVRELVarList::create_from_definitions(readOnly), kSet, payload), 0);
    EXPECT_EQ(payload, "");
}

// Neither the address nor the netmask goes out unless it is a plain dotted quad: C notation
// that the socket library reads as some other address is refused as much as a typo.
TEST(Packet, SetValueThatCannotBeReadThrows) {
    const char* const texts[] = {"1.2.3.256", "abc", "", "10.0.0.1x", "10.1", "192.168.11",
                                 "010.0.0.1", "0x0A.0.0.1", "167772161", " 10.0.0.1",
                                 "255.255.255.0\n"};
    for (const char* text : texts) {
        for (const bool asMask : {false, true}) {
            const auto list = asMask ? SetList("10.0.0.1", text, "3")
                                     : SetList(text, "255.255.255.0", "3");
            std::string datagram;
            try {
                build_request(kSet, 1, "FFFFFFFFFFFF", "", *list, datagram);
                ADD_FAILURE() << "'" << text << "' was sent, as netmask: " << asMask;
            } catch (const ConvertError& e) {
                EXPECT_EQ(e.Message(), "'" + std::string(text) + "' is not a valid IP address");
            }
        }
    }
    const auto badAction = SetList("10.0.0.1", "255.0.0.0", "three");
    std::string payload;
    EXPECT_THROW(build_payload(*badAction, kSet, payload), ConvertError);
}

// A display name in a Set value goes out as the wire value of its option list.
TEST(Packet, SetTranslatesNamesThroughOptionList) {
    const OptionDef power[] = {{1, nullptr, "on"}, {0, nullptr, "off"}, {0, nullptr, nullptr}};
    const KvOptionList powerNames(power, OptionKind::Number, false);
    const VariableDef defs[] = {{5, "Power", kUint8, kWriteOnly, &powerNames, nullptr, nullptr},
                                 kVarEnd};
    const auto list = KvVRELVarList::create_from_definitions(defs);
    struct Case {
        const char* value;
        const char* payload;
    };
    for (const Case& c :
         {Case{"ON", "05 00 04 01"}, Case{"off", "05 00 04 00"}, Case{"7", "05 00 04 07"}}) {
        list->at(0).value = c.value;
        std::string payload;
        ASSERT_EQ(build_payload(*list, kSet, payload), 4) << c.value;
        EXPECT_EQ(HexOf(payload), c.payload) << c.value;
    }
}

TEST(Packet, EmptyPayloads) {
    const VariableDef writeOnly[] = {{1, "A", kUint8, kWriteOnly, nullptr, nullptr, "1"},
                                      {2, "B", kInt16, kWriteOnly, nullptr, nullptr, "2"},
                                      kVarEnd};
    const VariableDef readOnly[] = {{1, "A", kUint8, kReadOnly, nullptr, nullptr, "1"},
                                     {2, "B", kInt16, 0, nullptr, nullptr, "x"},
                                     kVarEnd};
    const auto getList = KvVRELVarList::create_from_definitions(writeOnly);
    const auto setList = KvVRELVarList::create_from_definitions(readOnly);
    std::string datagram;
    ASSERT_EQ(build_request(kGet, 3, "FFFFFFFFFFFF", "", *getList, datagram), 0);
    EXPECT_EQ(datagram.size(), 36u);
    EXPECT_EQ(HexOf(datagram.substr(4, 4)), "05 03 00 24");
    ASSERT_EQ(build_request(kSet, 4, "FFFFFFFFFFFF", "", *setList, datagram), 0);
    EXPECT_EQ(datagram.size(), 36u);
    EXPECT_EQ(HexOf(datagram.substr(4, 4)), "03 04 00 24");

    std::string payload = "left over";
    EXPECT_EQ(build_payload(*SetList("1.2.3.4", "1.2.3.4", "3"), kDiscover, payload), 0);
    EXPECT_EQ(payload, "");
}

// Header, payload and password must fit the 8192-byte assembly area together.
TEST(Packet, RequestSizeLimit) {
    const auto discovery = DiscoveryList();
    std::string datagram;
    const std::string fits(8192 - 36, 'p');
    ASSERT_EQ(build_request(kDiscover, 1, "FFFFFFFFFFFF", fits, *discovery, datagram), 0);
    EXPECT_EQ(datagram.size(), 36u);
    EXPECT_EQ(HexOf(DigestOf(datagram)), HexOf(ExpectedDigest(datagram, fits)));
    EXPECT_EQ(build_request(kDiscover, 1, "FFFFFFFFFFFF", fits + "p", *discovery, datagram), -1013);

    const VariableDef textDefs[] = {
        {1, "Text", kDisplayStr, kWriteOnly, nullptr, nullptr, nullptr}, kVarEnd};
    const auto text = KvVRELVarList::create_from_definitions(textDefs);
    struct Case {
        std::size_t valueLength;
        const char* password;
        int result;
    };
    const Case cases[] = {
        {8192 - 39, "", 0},       {8192 - 38, "", -1013}, {8192 - 41, "pw", 0},
        {8192 - 40, "pw", -1013}, {70000, "", -1013},     {65535, "", -1013},
    };
    for (const auto& c : cases) {
        text->at(0).value.assign(c.valueLength, 'x');
        const int result = build_request(kSet, 1, "FFFFFFFFFFFF", c.password, *text, datagram);
        EXPECT_EQ(result, c.result) << c.valueLength << " + '" << c.password << "'";
        if (result == 0) {
            EXPECT_EQ(datagram.size(), 36 + 3 + c.valueLength);
            EXPECT_EQ(HexOf(DigestOf(datagram)), HexOf(ExpectedDigest(datagram, c.password)));
        }
    }
}

// A device's answer to the golden Discover: product code 258, "SIM-1", its MAC, address and
// netmask.
const char* const kDiscoverAnswer = "09 2B 13 38 01 2A 00 48 00 00 10 00"
                                    "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
                                    "02 00 00 00 00 01 01 00"
                                    "EB 00 05 01 02"
                                    "01 00 08 53 49 4D 2D 31"
                                    "02 00 09 02 00 00 00 00 01"
                                    "03 00 07 0A 00 00 01"
                                    "04 00 07 FF FF FF 00";

const char* const kDiscoverTexts[] = {"258", "SIM-1", "020000000001", "10.0.0.1", "255.255.255.0"};

TEST(Packet, CheckResponseAcceptsGoldenAnswer) {
    const std::string answer = HexBytes(kDiscoverAnswer);
    ASSERT_EQ(answer.size(), 72u);
    const auto header = check_response(Raw(answer), answer.size(), 64512);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->sequence, 0x2A);
    EXPECT_EQ(header->status, 0);
    EXPECT_EQ(header->mac, (std::array<std::uint8_t, 6>{2, 0, 0, 0, 0, 1}));

    // Bytes the client does not look at.
    std::string other = answer;
    other[4] = 0x77;
    other[8] = other[9] = other[11] = other[34] = other[35] = '\x5A';
    EXPECT_TRUE(check_response(Raw(other), other.size(), 64512).has_value());
}

TEST(Packet, CheckResponseStatusIsLowFourBits) {
    std::string answer = HexBytes(kDiscoverAnswer);
    const std::pair<unsigned char, int> cases[] = {{0x10, 0}, {0x13, 3}, {0x1F, 15},
                                                   {0x00, 0}, {0xF1, 1}, {0x02, 2}};
    for (const auto& [byte, status] : cases) {
        answer[10] = static_cast<char>(byte);
        const auto header = check_response(Raw(answer), answer.size(), 64512);
        ASSERT_TRUE(header.has_value());
        EXPECT_EQ(header->status, status) << int(byte);
    }
}

TEST(Packet, CheckResponseDropsBadDatagrams) {
    const std::string answer = HexBytes(kDiscoverAnswer);
    auto withLength = [](std::string bytes, std::size_t length) {
        bytes[6] = static_cast<char>(length >> 8);
        bytes[7] = static_cast<char>(length & 0xFF);
        return bytes;
    };
    auto withByte = [](std::string bytes, std::size_t at, char value) {
        bytes[at] = value;
        return bytes;
    };
    struct Case {
        const char* why;
        std::string bytes;
        std::uint16_t port;
    };
    const Case cases[] = {
        {"source port 64511", answer, 64511},
        {"source port 64513", answer, 64513},
        {"source port 0", answer, 0},
        {"length one less than received", withLength(answer, 71), 64512},
        {"length one more than received", withLength(answer, 73), 64512},
        {"35 bytes", withLength(answer.substr(0, 35), 35), 64512},
        {"magic byte 0", withByte(answer, 0, 0x08), 64512},
        {"magic byte 1", withByte(answer, 1, 0x2C), 64512},
        {"magic byte 2", withByte(answer, 2, 0x31), 64512},
        {"magic byte 3", withByte(answer, 3, 0x39), 64512},
        {"nothing", std::string(), 64512},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(check_response(Raw(c.bytes), c.bytes.size(), c.port).has_value()) << c.why;
    // A bare header is a complete answer.
    const std::string bare = withLength(answer.substr(0, 36), 36);
    EXPECT_TRUE(check_response(Raw(bare), bare.size(), 64512).has_value());
}

TEST(Packet, StatusToCode) {
    const int codes[16] = {0,     -1011, -1012, -1006, -1015, -1015, -1015, -1015,
                           -1015, -1015, -1015, -1015, -1015, -1015, -1015, -1015};
    KvVRELVarList set;
    for (int status = 0; status < 16; ++status) {
        const auto s = static_cast<std::uint8_t>(status);
        EXPECT_EQ(response_result(kSet, s, set, nullptr, 0), codes[status]) << status;
    }
}

TEST(Packet, DecodeGoldenDiscoverAnswer) {
    const std::string payload = HexBytes(kDiscoverAnswer).substr(36);
    auto list = DiscoveryList();
    EXPECT_EQ(decode_payload(*list, Raw(payload), payload.size()), 36);
    const KvVRELResponseVarList& fields = *list->at(0).responseVars;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(fields.at(i).value, kDiscoverTexts[i]) << fields.at(i).name;
    EXPECT_EQ(DiscoveryResponseVarList().at(1).value, "");

    // Items beyond the last expected one are ignored.
    const std::string longer = payload + HexBytes("09 00 04 01");
    list = DiscoveryList();
    EXPECT_EQ(decode_payload(*list, Raw(longer), longer.size()), 36);
}

TEST(Packet, DecodeFailureKeepsEarlierValues) {
    const std::string payload = HexBytes(kDiscoverAnswer).substr(36);
    auto list = DiscoveryList();
    list->at(0).responseVars->at(4).value = "old";
    const std::string cut = payload.substr(0, payload.size() - 1);
    EXPECT_EQ(decode_payload(*list, Raw(cut), cut.size()), -1013);
    const KvVRELResponseVarList& fields = *list->at(0).responseVars;
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(fields.at(i).value, kDiscoverTexts[i]);
    EXPECT_EQ(fields.at(4).value, "old");

    list = DiscoveryList();
    EXPECT_EQ(decode_payload(*list, Raw(payload), 0), -1013);
    // The model name claims more bytes than the datagram holds.
    const std::string overlong = HexBytes("EB 00 05 01 02 01 00 40 53 49 4D");
    EXPECT_EQ(decode_payload(*list, Raw(overlong), overlong.size()), -1013);
    EXPECT_EQ(list->at(0).responseVars->at(0).value, "258");
    EXPECT_EQ(list->at(0).responseVars->at(1).value, "");
}

TEST(Packet, DecodeFollowsAccessAndOptionLists) {
    const OptionDef products[] = {{258, nullptr, "SIM product"}, {0, nullptr, nullptr}};
    const KvOptionList productNames(products, OptionKind::Number, false);
    const OptionDef modes[] = {{3, nullptr, "readwrite"}, {0, nullptr, nullptr}};
    const KvOptionList modeNames(modes, OptionKind::Number, false);
    const ResponseVariableDef fieldDefs[] = {
        {235, "Product Code", kUint16, &productNames, nullptr},
        {1, "Model Name", kDisplayStr, nullptr, nullptr},
        {0, nullptr, 0, nullptr, nullptr},
    };
    const auto fields = KvVRELResponseVarList::create_from_definitions(fieldDefs);
    const VariableDef defs[] = {
        {1, "Hidden", kUint8, kWriteOnly, nullptr, nullptr, "w"},
        {2, "Mode", kUint8, kReadOnly, &modeNames, nullptr, nullptr},
        {3, "Skipped", kNoValueType, kWriteOnly, nullptr, fields.get(), nullptr},
        {0, "Device", kNoValueType, kReadOnly, nullptr, fields.get(), nullptr},
        {4, "Count", kUint16, kReadWrite, nullptr, nullptr, nullptr},
        kVarEnd,
    };
    auto list = KvVRELVarList::create_from_definitions(defs);
    const std::string payload = HexBytes("02 00 04 03"
                                         "EB 00 05 01 02"
                                         "01 00 05 41 42"
                                         "04 00 05 00 09");
    EXPECT_EQ(decode_payload(*list, Raw(payload), payload.size()), 19);
    EXPECT_EQ(list->at(0).value, "w");
    EXPECT_EQ(list->at(1).value, "readwrite");
    EXPECT_EQ(list->at(2).responseVars->at(0).value, "");
    EXPECT_EQ(list->at(3).responseVars->at(0).value, "SIM product");
    EXPECT_EQ(list->at(3).responseVars->at(1).value, "AB");
    EXPECT_EQ(list->at(4).value, "9");
}

TEST(Packet, ResponseResult) {
    const std::string golden = HexBytes(kDiscoverAnswer).substr(36);
    std::string wrongId = golden;
    wrongId[0] = static_cast<char>(236);
    const std::string garbage = HexBytes("FF FF 00");
    struct Case {
        std::uint8_t command;
        std::uint8_t status;
        const std::string* payload;
        int result;
        bool decoded;
    };
    const Case cases[] = {
        {kDiscover, 0, &golden, 0, true},       {kGet, 0, &golden, 0, true},
        {kSet, 0, &garbage, 0, false}, // a Set answer is never decoded
        {kSet, 0, &golden, 0, false},           {kSet, 1, &golden, -1011, false},
        {kGet, 2, &golden, -1012, false},       {kDiscover, 3, &golden, -1006, false},
        {kDiscover, 4, &golden, -1015, false},  {kDiscover, 15, &golden, -1015, false},
        {kDiscover, 0, &wrongId, -1005, false}, {kDiscover, 0, &garbage, -1005, false},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        auto list = DiscoveryList();
        EXPECT_EQ(response_result(c.command, c.status, *list, Raw(*c.payload), c.payload->size()),
                  c.result)
            << "case " << i;
        EXPECT_EQ(list->at(0).responseVars->at(1).value, c.decoded ? "SIM-1" : "") << "case " << i;
    }
}

} // namespace
} // namespace vrel
