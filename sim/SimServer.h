#pragma once

#include "VrelSimulator.h"
#include "VrelTypes.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QUdpSocket>

namespace vrel {

// Puts a VrelSimulator on the network: listens on 0.0.0.0 at the device port and sends each
// answer from that port back to the requester's address and port after its delay.
class SimServer : public QObject {
    Q_OBJECT
public:
    explicit SimServer(VrelSimulator simulator, std::uint16_t port = kVrelPort);

    // Binds shared with other simulators, so several can run side by side and each gets every
    // broadcast. Empty on success, else the socket's error text.
    QString start();

signals:
    void logLine(const QString& line);

private:
    void readPending();
    void sendAnswer(const QByteArray& datagram, const QHostAddress& to, quint16 toPort);

    VrelSimulator simulator_;
    QElapsedTimer clock_;
    std::uint16_t port_;
    QUdpSocket socket_;
};

} // namespace vrel
