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
    // A Discover that found nothing also names the interfaces it tried: the drop line is one
    // line of the memo, not all of it.
    const QRegularExpression line(
        "^Discover: [1-9][0-9]* answers were dropped, the receive buffer of [0-9]+ bytes was "
        "full\\. Discover again, or raise net\\.core\\.rmem_max\\.$",
        QRegularExpression::MultilineOption);
    const auto dropLines = [&] {
        return W().Memo_Info->toPlainText().count(line);
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return dropLines() > 0; }, 9000))
        << W().Memo_Info->toPlainText().toStdString();
    EXPECT_EQ(dropLines(), 1) << W().Memo_Info->toPlainText().toStdString();
}

} // namespace
} // namespace vrel::test
