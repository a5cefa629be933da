#pragma once

#include "KvVRELVarList.h"
#include "SimDevice.h"
#include "VrelPacket.h"
#include "VrelTables.h"
#include "VrelTypes.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vrel::test {

// Golden bytes as hex pairs with blanks: "09 2B 13 38". Kept apart from the codec's own
// hex reader so that a fault there cannot hide in the expectations.
inline std::string Hex(const std::string& text) {
    std::string bytes;
    int high = -1;
    for (const char c : text) {
        const int n = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (n < 0)
            continue;
        if (high < 0) {
            high = n;
        } else {
            bytes += static_cast<char>(high * 16 + n);
            high = -1;
        }
    }
    return bytes;
}

inline std::string HexOf(const std::string& bytes) {
    std::string text;
    for (const unsigned char b : bytes) {
        text += text.empty() ? "" : " ";
        text += "0123456789ABCDEF"[b >> 4];
        text += "0123456789ABCDEF"[b & 15];
    }
    return text;
}

inline std::string Md5(const std::string& bytes) {
    const auto d = QCryptographicHash::hash(QByteArray(bytes.data(), qsizetype(bytes.size())),
                                            QCryptographicHash::Md5);
    return std::string(d.constData(), std::size_t(d.size()));
}

inline SimDevice Device(std::uint16_t code, const std::string& model, const std::string& macHex,
                        const std::string& ip, const std::string& password = "") {
    return SimDevice{code, model, Hex(macHex), ip, "255.255.255.0", password};
}

// A request as the client builds it, from a definition table with values filled by position.
inline std::string Request(std::uint8_t command, std::uint8_t sequence, const std::string& mac,
                           const std::string& password, const VariableDef* table,
                           const std::vector<std::string>& values = {}) {
    auto vars = KvVRELVarList::create_from_definitions(table);
    for (std::size_t i = 0; i < values.size(); ++i)
        vars->at(int(i)).value = values[i];
    std::string datagram;
    EXPECT_EQ(build_request(command, sequence, mac, password, *vars, datagram), 0);
    return datagram;
}

inline std::string Discover(std::uint8_t sequence, const std::string& mac = "FFFFFFFFFFFF") {
    return Request(kDiscover, sequence, mac, "", DiscoveryVariables());
}

inline std::string SetRequest(const std::string& mac, const std::string& password,
                              const std::string& ip, const std::string& mask) {
    return Request(kSet, 9, mac, password, SetVariables, {ip, mask, "3"});
}

} // namespace vrel::test
