#include "SimServer.h"

#include <QNetworkDatagram>
#include <QTimer>
#include <QVariant>

namespace vrel {

SimServer::SimServer(VrelSimulator simulator, std::uint16_t port)
    : simulator_(std::move(simulator)), port_(port) {
    clock_.start();
    connect(&socket_, &QUdpSocket::readyRead, this, &SimServer::readPending);
}

QString SimServer::start() {
    if (!socket_.bind(QHostAddress::AnyIPv4, port_,
                      QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint))
        return socket_.errorString();
    // A burst of answers from many devices at once must not be dropped by the socket layer.
    constexpr int kSocketBufferBytes = 4 * 1024 * 1024;
    socket_.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, kSocketBufferBytes);
    socket_.setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, kSocketBufferBytes);
    return {};
}

void SimServer::readPending() {
    while (socket_.hasPendingDatagrams()) {
        const QNetworkDatagram in = socket_.receiveDatagram();
        if (!in.isValid())
            break;
        const QString from = in.senderAddress().toString() + ":" + QString::number(in.senderPort());
        // Devices answer from the device port; taking such a datagram as a request would let
        // two simulators answer each other for ever.
        if (in.senderPort() == port_) {
            emit logLine(from + ": ignored datagram from the device port");
            continue;
        }
        const SimResult result = simulator_.handle(in.data().toStdString(), clock_.elapsed());
        for (const auto& line : result.log)
            emit logLine(from + ": " + QString::fromStdString(line));
        const QHostAddress to = in.senderAddress();
        const auto toPort = static_cast<quint16>(in.senderPort());
        for (const auto& answer : result.answers) {
            const auto bytes = QByteArray::fromStdString(answer.datagram);
            if (answer.delayMs <= 0)
                sendAnswer(bytes, to, toPort);
            else
                QTimer::singleShot(answer.delayMs, this,
                                   [this, bytes, to, toPort] { sendAnswer(bytes, to, toPort); });
        }
    }
}

void SimServer::sendAnswer(const QByteArray& datagram, const QHostAddress& to, quint16 toPort) {
    if (socket_.writeDatagram(datagram, to, toPort) != datagram.size())
        emit logLine("sending to " + to.toString() + ":" + QString::number(toPort) +
                     " failed: " + socket_.errorString());
}

} // namespace vrel
