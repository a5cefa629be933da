#pragma once

#include "KvNetInterfaces.h"
#include "KvVRELVarList.h"
#include "VrelTypes.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <QUdpSocket>

#include <array>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

namespace vrel {

// What a completion callback is told: the result and the request it belongs to.
struct KvVRELError {
    int code = 0;
    std::string message; // the catalogue text of code
    std::uint8_t sequence = 0;
    std::uint8_t command = 0;
    std::string macText; // the request's target, as 12 upper-case hex digits
    std::string password;
    // The interface an answer arrived on; empty (index 0) for a time-out.
    std::string interfaceName;
    int interfaceIndex = 0;
};

// Called once per accepted answer (a Discover any number of times) and once with -1014 when a
// request is still outstanding at its deadline. The record and the list are the client's and
// die when the call returns.
using VrelCompletion = std::function<void(const KvVRELError&, KvVRELVarList&)>;

// Binds a member function and its object into a completion callback.
template <class T>
VrelCompletion BindCompletion(T* object, void (T::*method)(const KvVRELError&, KvVRELVarList&)) {
    return [object, method](const KvVRELError& e, KvVRELVarList& vars) {
        (object->*method)(e, vars);
    };
}

// The one component that puts VREL datagrams on the network: one UDP socket, a sequence
// counter, the pending requests and their time-outs. Answers and time-outs arrive through
// Qt's event loop; callbacks run inside those handlers on the thread that owns the client.
class KvVRELClient : public QObject {
    Q_OBJECT
public:
    // Opens the socket; throws vrel::Exception -1008 when it cannot be created or bound.
    // destination is where requests go: the limited broadcast by default, or a unicast or
    // subnet-directed broadcast address for hosts with several networks.
    explicit KvVRELClient(QObject* owner, const QHostAddress& destination = QHostAddress::Broadcast,
                          std::uint16_t port = kVrelPort);
    // Waits up to 6 s, processing events, for pending requests, then drops the rest.
    ~KvVRELClient() override;

    // Sends a request and returns its sequence number. Throws the build failure (-1010, -1006,
    // -1007, -1013, conversion errors) or -1009 when the datagram cannot be sent; nothing is
    // then pending and no sequence number is used. timeout counts 10 ms units.
    // A limited broadcast goes out once per usable interface (a request for one MAC only out
    // of the interface that device last answered on, when that is still usable); with none,
    // or for another destination, the routing table decides. Only when every interface
    // fails is the send a failure; LastSend() tells what happened on each.
    int Send(const std::string& targetMac, const std::string& password, const KvVRELVarList& vars,
             std::uint8_t command, VrelCompletion callback, std::uint32_t timeout);

    int PendingCount() const { return static_cast<int>(pending_.size()); }
    std::uint8_t NextSequence() const { return sequence_; }
    std::uint16_t LocalPort() const { return socket_.localPort(); }
    QHostAddress Destination() const { return destination_; }
    // Restricts sending to these interfaces (names checked by KvNetInterfaces::Select); an
    // empty list means every usable one.
    void SetInterfaceNames(std::vector<std::string> names) { interfaceNames_ = std::move(names); }
    // Per interface, the outcome of the last Send, configured interfaces that were down
    // included; when none of them shows sent, the routing table took the request.
    const std::vector<KvSendOutcome>& LastSend() const { return lastSend_; }

    // Milliseconds on a monotonic clock, the base of every deadline.
    static std::int64_t TickCount();

private:
    struct _VRELReqData {
        std::uint8_t sequence = 0;
        std::array<std::uint8_t, kMacSize> mac{};
        std::string password;
        std::uint8_t command = 0;
        KvVRELVarList variables;
        VrelCompletion callback;
        std::int64_t deadline = 0;
        bool answered = false;
    };
    using Pending = std::list<std::unique_ptr<_VRELReqData>>;

    void OnReadyRead();
    void Sweep();
    void Receive(const QByteArray& datagram, std::uint16_t sourcePort, int interfaceIndex);
    void Complete(_VRELReqData& request, int code, int interfaceIndex = 0);
    // The interfaces a request for mac goes out of, with those that cannot be used marked.
    std::vector<KvSendOutcome> Plan(const std::array<std::uint8_t, kMacSize>& mac) const;
    bool SendPerInterface(const std::string& datagram,
                          const std::array<std::uint8_t, kMacSize>& mac);
    _VRELReqData* Find(std::uint8_t sequence);
    void Remove(const _VRELReqData* request);

    QUdpSocket socket_;
    QTimer sweepTimer_;
    QHostAddress destination_;
    std::uint16_t port_;
    std::uint8_t sequence_ = 0;
    bool open_ = false;
    Pending pending_;
    std::vector<std::string> interfaceNames_;
    std::vector<KvSendOutcome> lastSend_;
};

} // namespace vrel
