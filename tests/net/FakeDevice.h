#pragma once

#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vrel::test {

using Mac = std::array<std::uint8_t, 6>;

// One request datagram as a device heard it.
struct HeardRequest {
    std::string bytes;
    QHostAddress sender;
    std::uint16_t senderPort = 0;
    QHostAddress destination; // null where the socket layer does not report it

    std::uint8_t command() const { return Byte(4); }
    std::uint8_t sequence() const { return Byte(5); }
    Mac mac() const;
    std::string payload() const { return bytes.size() > 36 ? bytes.substr(36) : std::string(); }

private:
    std::uint8_t Byte(std::size_t i) const {
        return i < bytes.size() ? static_cast<std::uint8_t>(bytes[i]) : 0;
    }
};

// An answer datagram written field by field, as a device puts it on the wire: magic, the
// command, the echoed sequence, the length, the status byte, a zero digest, the device's MAC at
// 28, 01 at 34, then the payload.
struct Answer {
    std::uint8_t command = 0;
    std::uint8_t sequence = 0;
    std::uint8_t statusByte = 0x10;
    Mac mac{};
    std::string payload;

    std::string Bytes() const;
};

// The answer of device mac to a request: command and sequence echoed, status in the low bits.
Answer AnswerTo(const HeardRequest& request, const Mac& mac, std::uint8_t status = 0,
                const std::string& payload = {});

// The five items a device reports in a Discover answer, in wire order.
std::string DiscoveryPayload(const std::string& productCode, const std::string& model,
                             const std::string& macText, const std::string& ip,
                             const std::string& netmask);

// Stands in for devices on the segment: listens on the device port of every local address,
// records what it hears and answers with datagrams the test crafts. A second socket on another
// port sends answers that a client must not take.
class FakeDevice : public QObject {
public:
    explicit FakeDevice(const QHostAddress& bindAddress = QHostAddress::AnyIPv4);

    bool IsBound() const { return bound_; }
    const std::vector<HeardRequest>& Requests() const { return requests_; }
    // Sends bytes to the socket a request came from; false when the datagram did not go out.
    bool Reply(const HeardRequest& to, const std::string& bytes, bool fromOtherPort = false);

    // Called for every request heard, after it has been recorded.
    std::function<void(const HeardRequest&)> onRequest;

private:
    void ReadPending();

    QUdpSocket socket_;
    QUdpSocket otherPort_;
    bool bound_ = false;
    std::vector<HeardRequest> requests_;
};

// Runs the event loop until done() holds or ms have passed; returns done().
bool WaitUntil(const std::function<bool()>& done, int ms);
// Runs the event loop for ms.
void Pump(int ms);

} // namespace vrel::test
