#include "FakeDevice.h"

#include "ValueCodec.h"
#include "VrelTypes.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QTimer>

namespace vrel::test {

Mac HeardRequest::mac() const {
    Mac mac{};
    for (std::size_t i = 0; i < mac.size(); ++i)
        mac[i] = Byte(28 + i);
    return mac;
}

std::string Answer::Bytes() const {
    const std::size_t length = 36 + payload.size();
    std::string b(36, '\0');
    b[0] = '\x09';
    b[1] = '\x2B';
    b[2] = '\x13';
    b[3] = '\x38';
    b[4] = static_cast<char>(command);
    b[5] = static_cast<char>(sequence);
    b[6] = static_cast<char>(length >> 8);
    b[7] = static_cast<char>(length & 0xFF);
    b[10] = static_cast<char>(statusByte);
    for (std::size_t i = 0; i < mac.size(); ++i)
        b[28 + i] = static_cast<char>(mac[i]);
    b[34] = '\x01';
    return b + payload;
}

Answer AnswerTo(const HeardRequest& request, const Mac& mac, std::uint8_t status,
                const std::string& payload) {
    Answer a;
    a.command = request.command();
    a.sequence = request.sequence();
    a.statusByte = static_cast<std::uint8_t>(0x10 | status);
    a.mac = mac;
    a.payload = payload;
    return a;
}

std::string DiscoveryPayload(const std::string& productCode, const std::string& model,
                             const std::string& macText, const std::string& ip,
                             const std::string& netmask) {
    std::string out;
    encode_item(235, kUint16, productCode, out);
    encode_item(1, kDisplayStr, model, out);
    encode_item(2, kMacAddress, macText, out);
    encode_item(3, kIpAddress, ip, out);
    encode_item(4, kIpAddress, netmask, out);
    return out;
}

FakeDevice::FakeDevice(const QHostAddress& bindAddress) {
    // Shared so that a test can start a device while the previous test's socket is closing.
    bound_ = socket_.bind(bindAddress, kVrelPort,
                          QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint) &&
             otherPort_.bind(QHostAddress::AnyIPv4, 0);
    connect(&socket_, &QUdpSocket::readyRead, this, &FakeDevice::ReadPending);
}

bool FakeDevice::Reply(const HeardRequest& to, const std::string& bytes, bool fromOtherPort) {
    QUdpSocket& from = fromOtherPort ? otherPort_ : socket_;
    const auto size = static_cast<qint64>(bytes.size());
    return from.writeDatagram(bytes.data(), size, to.sender, to.senderPort) == size;
}

void FakeDevice::ReadPending() {
    while (socket_.hasPendingDatagrams()) {
        const QNetworkDatagram in = socket_.receiveDatagram();
        if (!in.isValid())
            break;
        HeardRequest heard;
        heard.bytes =
            std::string(in.data().constData(), static_cast<std::size_t>(in.data().size()));
        heard.sender = in.senderAddress();
        heard.senderPort = static_cast<std::uint16_t>(in.senderPort());
        heard.destination = in.destinationAddress();
        requests_.push_back(heard);
        if (onRequest)
            onRequest(heard);
    }
}

bool WaitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    // Wakes the loop so that waiting for events never sleeps past the deadline.
    QTimer wake;
    wake.start(5);
    while (!done()) {
        if (clock.elapsed() >= ms)
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void Pump(int ms) {
    WaitUntil([] { return false; }, ms);
}

} // namespace vrel::test
