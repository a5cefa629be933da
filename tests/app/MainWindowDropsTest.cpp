#include "MainWindowFixture.h"

#include "KvVRELClient.h"
#include "KvVRELRequest.h"
#include "VrelTypes.h"

#include <QRegularExpression>
#include <QUdpSocket>

#include <gtest/gtest.h>

namespace vrel::test {
namespace {

using MainWindowDropsTest = MainWindowTest;

// A burst that overflows a tiny receive buffer while the window is busy: when the answer
// window has closed, one memo line tells how many answers the kernel threw away.
TEST_F(MainWindowDropsTest, ADiscoverThatLostAnswersSaysSoInOneMemoLine) {
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    KvVRELClient* client = KvVRELRequest::SharedClient();
    ASSERT_NE(client, nullptr);
    client->RequestReceiveBuffer(4096);
    QUdpSocket device;
    ASSERT_TRUE(device.bind(QHostAddress::AnyIPv4, kVrelPort));
    Click(W().BT_Discover);
    const QByteArray noise(120, '\x5A');
    for (int i = 0; i < 300; ++i)
        device.writeDatagram(noise, QHostAddress::LocalHost, client->LocalPort());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !W().Memo_Info->toPlainText().isEmpty(); }, 9000));
    const QRegularExpression line(
        "^Discover: [1-9][0-9]* answers were dropped, the receive buffer of [0-9]+ bytes was "
        "full\\. Discover again, or raise net\\.core\\.rmem_max\\.$");
    EXPECT_TRUE(line.match(W().Memo_Info->toPlainText()).hasMatch())
        << W().Memo_Info->toPlainText().toStdString();
}

} // namespace
} // namespace vrel::test
