#include "CliSession.h"
#include "NetworkSandbox.h"

#include "KvVRELClient.h"
#include "VrelTypes.h"

#include <QUdpSocket>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

namespace vrel::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// Loopback delivers in the sender's wake; give the count a moment to settle all the same.
bool DropsAbove(const KvVRELClient& client, std::uint64_t count) {
    for (int i = 0; i < 200 && client.DroppedDatagrams() <= count; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return client.DroppedDatagrams() > count;
}

struct DropCase {
    const char* name;
    int bufferBytes;
    int burst; // datagrams sent while nothing reads the socket
    bool dropped;
};

void PrintTo(const DropCase& c, std::ostream* os) { *os << c.name; }

class ReceiveDropsTest : public ::testing::TestWithParam<DropCase> {};

// The kernel throws away what does not fit the receive buffer; the command line says so on
// stderr with the count and what helps.
TEST_P(ReceiveDropsTest, KernelDropsAreCountedAndReported) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    const DropCase& c = GetParam();
    KvVRELClient client(nullptr, QHostAddress::LocalHost);
    client.RequestReceiveBuffer(c.bufferBytes);
    const std::uint64_t before = client.DroppedDatagrams();
    QUdpSocket device;
    ASSERT_TRUE(device.bind(QHostAddress::LocalHost, kVrelPort));
    const QByteArray answer(120, '\x5A');
    for (int i = 0; i < c.burst; ++i)
        ASSERT_EQ(device.writeDatagram(answer, QHostAddress::LocalHost, client.LocalPort()), 120);
    if (c.dropped) {
        EXPECT_TRUE(DropsAbove(client, before));
    }
    const std::uint64_t drops = client.DroppedDatagrams() - before;
    std::ostringstream err;
    cli::ReportReceiveDrops(client, before, err);
    if (!c.dropped) {
        EXPECT_EQ(drops, 0u);
        EXPECT_THAT(err.str(), Not(HasSubstr("dropped")));
        return;
    }
    EXPECT_GT(drops, 0u);
    EXPECT_LT(drops, static_cast<std::uint64_t>(c.burst));
    const std::string granted = std::to_string(client.GrantedReceiveBufferBytes());
    EXPECT_THAT(err.str(), HasSubstr("vrel: " + std::to_string(drops) + " answers were dropped"));
    EXPECT_THAT(err.str(), HasSubstr("receive buffer of " + granted + " bytes"));
    EXPECT_THAT(err.str(), HasSubstr("raise net.core.rmem_max or use --rounds"));
}

INSTANTIATE_TEST_SUITE_P(Cli, ReceiveDropsTest,
                         ::testing::Values(DropCase{"TinyBufferAndABurst", 4096, 300, true},
                                           DropCase{"RequestedBufferAndAFewAnswers",
                                                    KvVRELClient::kRequestedReceiveBufferBytes,
                                                    50, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Asking for more than net.core.rmem_max allows is met short, and said once.
TEST(ReceiveBufferTest, AShortGrantIsSaid) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    KvVRELClient client(nullptr);
    client.RequestReceiveBuffer(1 << 30);
    ASSERT_TRUE(client.ReceiveBufferShort());
    std::ostringstream err;
    cli::ReportReceiveDrops(client, client.DroppedDatagrams(), err);
    EXPECT_EQ(err.str(), "vrel: the kernel granted " +
                             std::to_string(client.GrantedReceiveBufferBytes()) +
                             " bytes of receive buffer for the 1073741824 asked; "
                             "net.core.rmem_max caps it\n");
}

} // namespace
} // namespace vrel::test
