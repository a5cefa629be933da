#include "SimDeviceFile.h"
#include "DeviceAddress.h"
#include "SimTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

namespace vrel {
namespace {

using test::HexOf;
using ::testing::HasSubstr;

const std::string kHeader = "productCode,modelName,macAddress,ipAddress,netmask,password\n";

TEST(SimDeviceFile, ReadsQuotedFieldsAndLineEnds) {
    const auto devices = parse_device_file(
        "\xEF\xBB\xBF" + kHeader.substr(0, kHeader.size() - 1) + "\r\n" +
        "4096,\"Gate, \"\"North\"\"\",02:00:00:00:00:0a,192.168.1.10,255.255.255.0,\r\n"
        "\r\n"
        "0xFFFF,Plain,0200000000FF,10.1.2.3,255.255.0.0,\"two\nlines\"\n");
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].productCode, 4096);
    EXPECT_EQ(devices[0].modelName, "Gate, \"North\"");
    EXPECT_EQ(HexOf(devices[0].mac), "02 00 00 00 00 0A");
    EXPECT_EQ(devices[0].ipAddress, "192.168.1.10");
    EXPECT_EQ(devices[0].password, "");
    EXPECT_EQ(devices[1].productCode, 0xFFFF);
    EXPECT_EQ(devices[1].netmask, "255.255.0.0");
    EXPECT_EQ(devices[1].password, "two\nlines");
}

TEST(SimDeviceFile, ReadsAnySeparatorColumnOrderAndCase) {
    const std::string cases[] = {
        "productCode;modelName;macAddress;ipAddress;netmask;password\n"
        "4096;\"Gate; North\";02000000000A;192.168.1.10;255.255.255.0;pw\n",
        "PASSWORD\tnetmask\tIPADDRESS\tmacaddress\tModelName\tproductcode\tnote\r\n"
        "pw\t255.255.255.0\t192.168.1.10\t02000000000A\tGate; North\t4096\tspare\r\n",
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text);
        const auto devices = parse_device_file(text);
        ASSERT_EQ(devices.size(), 1u);
        EXPECT_EQ(devices[0].productCode, 4096);
        EXPECT_EQ(devices[0].modelName, "Gate; North");
        EXPECT_EQ(HexOf(devices[0].mac), "02 00 00 00 00 0A");
        EXPECT_EQ(devices[0].ipAddress, "192.168.1.10");
        EXPECT_EQ(devices[0].password, "pw");
    }
}

TEST(SimDeviceFile, RefusesBadRowsWithTheirLine) {
    const std::string row2 = "1,A,020000000001,10.0.0.1,255.255.255.0,\n";
    const std::pair<std::string, const char*> cases[] = {
        {"", "line 1: empty file"},
        {"productCode,modelName,macAddress,ipAddress,netmask\n", "line 1: the header"},
        {"productCode;modelName;macAddress;ipAddress;netmask;netmask;password\n",
         "line 1: unexpected column 'netmask', which appears twice"},
        {kHeader + "1,A,020000000001,10.0.0.1,255.255.255.0\n", "line 2: expected 6 fields"},
        {kHeader + row2 + "1,B,0200000001,10.0.0.2,255.255.255.0,\n", "line 3: MAC address"},
        {kHeader + row2 + "1,B,02000000000G,10.0.0.2,255.255.255.0,\n", "line 3: MAC address"},
        {kHeader + row2 + "1,B,02-00-00:00:00-02,10.0.0.2,255.255.255.0,\n", "line 3: MAC"},
        {kHeader + row2 + "1,B,020000000001,10.0.0.2,255.255.255.0,\n",
         "line 3: MAC address "
         "020000000001 appears twice"},
        {kHeader + "1,A,020000000001,10.1,255.255.255.0,\n", "line 2: IP address '10.1'"},
        {kHeader + "1,A,020000000001,256.0.0.1,255.255.255.0,\n", "line 2: IP address"},
        {kHeader + "1,A,020000000001,1.2.3.4.5,255.255.255.0,\n", "line 2: IP address"},
        {kHeader + "1,A,020000000001, 10.0.0.1,255.255.255.0,\n", "line 2: IP address"},
        {kHeader + "1,A,020000000001,10.0.0.1,255.0.255.0,\n", "line 2: 10.0.0.1 with netmask"},
        {kHeader + "1,A,020000000001,10.0.0.0,255.255.255.0,\n", "network address of its subnet"},
        {kHeader + "1,A,020000000001,224.0.0.1,255.255.255.0,\n", "multicast"},
        {kHeader + "1,A,020000000001,10.0.0.1,255.255.255.255,\n", "/32"},
        {kHeader + "70000,A,020000000001,10.0.0.1,255.255.255.0,\n", "line 2: product code"},
        {kHeader + "-1,A,020000000001,10.0.0.1,255.255.255.0,\n", "line 2: product code"},
        {kHeader + "0x,A,020000000001,10.0.0.1,255.255.255.0,\n", "line 2: product code"},
        {kHeader + "1,\"A,020000000001,10.0.0.1,255.255.255.0,\n", "line 2: quoted field not"},
        {kHeader + "1,\"A\"x,020000000001,10.0.0.1,255.255.255.0,\n", "line 2: text after"},
        {kHeader + "1,A\"x,020000000001,10.0.0.1,255.255.255.0,\n", "line 2: quote inside"},
        // A quoted line break moves the count on: the bad row below begins on line 4.
        {kHeader + "1,\"A\nB\",020000000001,10.0.0.1,255.255.255.0,\n2,C,bad,10.0.0.2,255.0.0.0,\n",
         "line 4: MAC"},
    };
    for (const auto& [text, message] : cases) {
        SCOPED_TRACE(text);
        try {
            parse_device_file(text);
            ADD_FAILURE() << "accepted";
        } catch (const SimDeviceFileError& e) {
            EXPECT_THAT(e.what(), HasSubstr(message));
        }
    }
}

TEST(SimDeviceFile, CrlfFilesReadInLinearTime) {
    // The same devices with both line ends: CRLF must not cost more than a small multiple of
    // LF (taking the CRs out one by one moved the whole rest of the file per line).
    const auto file = [](const char* end) {
        std::string text = kHeader.substr(0, kHeader.size() - 1) + end;
        char row[96];
        for (int i = 0; i < 100000; ++i) {
            const int host = i + 1; // 10.0.0.0 is the network itself
            std::snprintf(row, sizeof row, "1,M%d,02%010X,10.%d.%d.%d,255.0.0.0,pw%s", i, i,
                          host >> 16, (host >> 8) & 255, host & 255, end);
            text += row;
        }
        return text;
    };
    using Clock = std::chrono::steady_clock;
    const std::string lf = file("\n");
    const std::string crlf = file("\r\n");
    auto start = Clock::now();
    const auto fromLf = parse_device_file(lf);
    const auto lfTime = Clock::now() - start;
    start = Clock::now();
    const auto fromCrlf = parse_device_file(crlf);
    const auto crlfTime = Clock::now() - start;
    ASSERT_EQ(fromCrlf.size(), 100000u);
    EXPECT_EQ(fromCrlf.back().modelName, fromLf.back().modelName);
    EXPECT_EQ(fromCrlf.back().password, "pw");
    EXPECT_LT(crlfTime, 10 * lfTime + std::chrono::seconds(1));
}

TEST(SimDeviceFile, LoadNamesTheFile) {
    try {
        load_device_file("/nonexistent/devices.csv");
        ADD_FAILURE() << "accepted";
    } catch (const SimDeviceFileError& e) {
        EXPECT_THAT(e.what(), HasSubstr("/nonexistent/devices.csv: "));
    }
}

TEST(SimDevice, GeneratedDevicesCountInHexAndSkipSubnetEdges) {
    const auto devices = generate_devices(300, "pw");
    ASSERT_EQ(devices.size(), 300u);
    const struct {
        std::size_t index;
        std::uint16_t code;
        const char *model, *mac, *ip;
    } cases[] = {
        {0, 0x1000, "SIM-1", "020000000001", "10.0.0.1"},
        {14, 0x100E, "SIM-15", "02000000000F", "10.0.0.15"},
        {253, 0x10FD, "SIM-254", "0200000000FE", "10.0.0.254"},
        {254, 0x10FE, "SIM-255", "0200000000FF", "10.0.1.1"},
        {255, 0x10FF, "SIM-256", "020000000100", "10.0.1.2"},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.index);
        const SimDevice& d = devices[tc.index];
        EXPECT_EQ(d.productCode, tc.code);
        EXPECT_EQ(d.modelName, tc.model);
        EXPECT_EQ(d.macText(), tc.mac);
        EXPECT_EQ(d.ipAddress, tc.ip);
        EXPECT_EQ(d.netmask, "255.255.255.0");
        EXPECT_EQ(d.password, "pw");
    }
    for (const auto& d : devices) {
        const auto ip = ParseDottedQuad(d.ipAddress);
        ASSERT_TRUE(ip);
        EXPECT_EQ(AddressProblem(*ip, 0xFFFFFF00), "") << d.ipAddress;
    }
}

} // namespace
} // namespace vrel
