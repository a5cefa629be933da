#pragma once

#include "KvVRELVarList.h"
#include "NetInterfaces.h"
#include "ReceiveThread.h"

#include <QLoggingCategory>
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

// Why a datagram was dropped; off unless QT_LOGGING_RULES="vrel.client.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcVrelClient)

struct KvVRELError {
    int code = 0;
    std::string message; // the catalogue text of code
    std::uint8_t sequence = 0;
    std::uint8_t command = 0;
    std::string macText; // the request's target, as 12 upper-case hex digits
    std::string password;
    // Where the answer arrived (empty, 0 for a time-out): Send's interfaceIndex to reach it again.
    std::string interfaceName;
    int interfaceIndex = 0;
};

// Called per accepted answer (a Discover's any number of times) and with -1014 at the deadline.
// Record and list stay the client's: the request's next answer is decoded into the same list.
using VrelCompletion = std::function<void(const KvVRELError&, KvVRELVarList&)>;

// A receive thread empties the socket whatever the owning thread does; matching, completions
// and expiries run from queued calls on the owning thread, so a callback that runs its own
// event loop (a message box) still sees answers arrive and requests expire.
class KvVRELClient : public QObject {
    Q_OBJECT
public:
    // Thousands of answers to one Discover arrive at once; the kernel charges ~800 bytes each.
    static constexpr int kRequestedReceiveBufferBytes = 4 * 1024 * 1024;
    // Queued bytes at most, as the kernel grants for the buffer above; beyond, datagrams wait
    // in the kernel's buffer, whose overflow is counted.
    static constexpr std::size_t kInboxLimitBytes = 8 * 1024 * 1024;

    // Throws -1008 when the socket cannot be bound. destination: broadcast, subnet or unicast.
    explicit KvVRELClient(QObject* owner, const QHostAddress& destination = QHostAddress::Broadcast,
                          std::uint16_t port = kVrelPort);
    // Waits up to 6 s, processing events, for pending requests, then drops the rest.
    ~KvVRELClient() override;

    // Returns the sequence number; throws the build failure or -1009, nothing then pending and
    // no number used. timeout counts 10 ms units. A limited broadcast goes out of every usable
    // interface (only interfaceIndex when usable and among those set); else routing decides.
    int Send(const std::string& targetMac, const std::string& password, const KvVRELVarList& vars,
             std::uint8_t command, VrelCompletion callback, std::uint32_t timeout,
             int interfaceIndex = 0);

    void Abandon(std::uint8_t sequence);

    // The kernel caps the request at net.core.rmem_max.
    void RequestReceiveBuffer(int bytes);
    int RequestedReceiveBufferBytes() const { return requestedBuffer_; }
    // As the kernel reports it: twice a request met in full, as it counts its bookkeeping in.
    std::int64_t GrantedReceiveBufferBytes() const;
    bool ReceiveBufferShort() const {
        return GrantedReceiveBufferBytes() < 2 * static_cast<std::int64_t>(requestedBuffer_);
    }
    // Datagrams the kernel dropped for this socket (a full buffer); 0 where it does not tell.
    std::uint64_t DroppedDatagrams() const;

    // One batch is always taken, whatever the limit.
    void SetReceiveQueueLimit(std::size_t bytes) { receiver_->SetLimit(bytes); }
    std::size_t QueuedDatagrams() const; // received and not yet handled

    int PendingCount() const { return static_cast<int>(pending_.size()); }
    std::uint16_t LocalPort() const { return socket_.localPort(); }
    // Names checked by NetInterfaces::Select; empty: every usable interface.
    void SetInterfaceNames(std::vector<std::string> names) { interfaceNames_ = std::move(names); }
    // Per interface, down ones included, the last Send; empty: the routing table took it.
    const std::vector<SendOutcome>& LastSend() const { return lastSend_; }

    static std::int64_t TickCount(); // monotonic milliseconds

private:
    struct _VRELReqData {
        std::array<std::uint8_t, kMacSize> mac{};
        KvVRELVarList variables;
        VrelCompletion callback;
        std::int64_t deadline = 0;
        bool answered = false;
        KvVRELError record; // filled at send time; the outcome set per completion
        bool lent = false;  // record and variables are with a callback that has not returned
    };
    using Request = std::shared_ptr<_VRELReqData>;

    void OnArrival(); // the receive thread's inbox is no longer empty
    void OnTick();
    void ScheduleWork();
    void DoWork();
    bool Sweep(); // expires the first overdue request; true when there was one
    void ArmSweep(std::int64_t notBeforeMs);
    bool NextDatagram(ReceiveThread::Datagram& datagram, std::uint8_t* bytes);
    void Receive(const ReceiveThread::Datagram& datagram, const std::uint8_t* bytes);
    bool MoreInInbox() const;
    void Complete(const Request& request, int code, KvVRELVarList* decoded = nullptr,
                  int interfaceIndex = 0);
    Request Find(std::uint8_t sequence);
    bool SendPerInterface(const std::string& datagram, int interfaceIndex);

    QUdpSocket socket_;
    QTimer sweepTimer_;
    QTimer workTimer_;
    QHostAddress destination_;
    std::uint16_t port_;
    std::uint8_t sequence_ = 0;
    int requestedBuffer_ = kRequestedReceiveBufferBytes;
    std::list<Request> pending_;
    // Declared after the socket: it is stopped before the socket closes.
    std::unique_ptr<ReceiveThread> receiver_;
    // Taken off the receive thread, handled up to datagram next_ of batch batchAt_.
    ReceiveThread::Inbox inbox_;
    std::size_t batchAt_ = 0;
    std::size_t next_ = 0;
    bool workQueued_ = false;
    bool expiryDue_ = false;
    bool sweeping_ = true; // until destruction begins
    // Datagrams queued before the due expiry go first; a later flood cannot hold it back.
    std::size_t aheadOfExpiry_ = 0;
    std::vector<std::string> interfaceNames_;
    std::vector<SendOutcome> lastSend_;
};

} // namespace vrel
