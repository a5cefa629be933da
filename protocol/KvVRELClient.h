#pragma once

#include "NetInterfaces.h"
#include "ReceiveThread.h"
#include "KvVRELVarList.h"
#include "VrelTypes.h"

#include <QByteArray>
#include <QHostAddress>
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

// Why a datagram was dropped on its way to a request; debug output is off unless switched on
// (QT_LOGGING_RULES="vrel.client.debug=true").
Q_DECLARE_LOGGING_CATEGORY(lcVrelClient)

// What a completion callback is told: the result and the request it belongs to.
struct KvVRELError {
    int code = 0;
    std::string message; // the catalogue text of code
    std::uint8_t sequence = 0;
    std::uint8_t command = 0;
    std::string macText; // the request's target, as 12 upper-case hex digits
    std::string password;
    // The interface an answer arrived on, empty (index 0) for a time-out: what Send takes to
    // reach that device again through the same network.
    std::string interfaceName;
    int interfaceIndex = 0;
};

// Called once per accepted answer (a Discover any number of times) and once with -1014 when a
// request is still outstanding at its deadline. The record and the list are the client's: a
// callback copies what it keeps, and the list it gets is the one the next answer of the same
// request is decoded into.
using VrelCompletion = std::function<void(const KvVRELError&, KvVRELVarList&)>;

// Binds a member function and its object into a completion callback.
template <class T>
VrelCompletion BindCompletion(T* object, void (T::*method)(const KvVRELError&, KvVRELVarList&)) {
    return
        [object, method](const KvVRELError& e, KvVRELVarList& vars) { (object->*method)(e, vars); };
}

// The one component that puts VREL datagrams on the network: one UDP socket, a sequence
// counter, the pending requests and their time-outs. A receive thread (ReceiveThread) empties
// the socket into the client's queue whatever the owning thread is doing; matching,
// completions and expiries run from a queued call on the thread that owns the client, so a
// callback that runs an event loop of its own (a message box) still sees answers arrive and
// requests expire. Sending stays on the owning thread.
class KvVRELClient : public QObject {
    Q_OBJECT
public:
    // Thousands of devices answering one Discover arrive within a few hundred milliseconds and
    // the kernel must hold them while the thread is busy: about 800 bytes of buffer each.
    static constexpr int kRequestedReceiveBufferBytes = 4 * 1024 * 1024;
    // What received datagrams waiting for their turn may hold, bytes and bookkeeping: as much
    // as the kernel grants at most for the buffer asked above, where it holds some 10,000
    // answers at about 800 bytes each; here, at their own size of a few hundred bytes, it holds
    // 30,000 and more. When it is full the receive thread leaves datagrams in the kernel's
    // buffer, where an overflow is counted and reported.
    static constexpr std::size_t kInboxLimitBytes = 8 * 1024 * 1024;
    // Longest stretch of queued answers handled in one event-loop turn. A burst of ten
    // thousand takes several such stretches; in slices, a window repaints and takes input
    // between them instead of freezing for the whole burst.
    static constexpr std::int64_t kWorkSliceMs = 8;

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
    // A limited broadcast goes out once per usable interface, or only out of interfaceIndex
    // when that is given (where the device answered, as its completion record told), usable
    // and among the interfaces set; with none, or for another destination, the routing table
    // decides. Only when every interface fails is the send a failure; LastSend() tells what
    // happened on each.
    int Send(const std::string& targetMac, const std::string& password, const KvVRELVarList& vars,
             std::uint8_t command, VrelCompletion callback, std::uint32_t timeout,
             int interfaceIndex = 0);

    // Forgets the pending request with this sequence number without completing it: a caller
    // that has what it needs does not wait out the answer window, nor on destruction.
    void Abandon(std::uint8_t sequence);

    // Asks the kernel for another receive buffer size (it caps a request at
    // net.core.rmem_max); the constructor asks for kRequestedReceiveBufferBytes.
    void RequestReceiveBuffer(int bytes);
    int RequestedReceiveBufferBytes() const { return requestedBuffer_; }
    // What the kernel granted, as it reports it: twice a request it met in full, since it
    // counts its bookkeeping in, so a short grant reads below twice the request.
    std::int64_t GrantedReceiveBufferBytes() const;
    bool ReceiveBufferShort() const {
        return GrantedReceiveBufferBytes() < 2 * static_cast<std::int64_t>(requestedBuffer_);
    }
    // Datagrams the kernel dropped for this socket since it was opened, mostly because the
    // receive buffer was full; 0 where the kernel does not tell.
    std::uint64_t DroppedDatagrams() const;

    // Bounds the received datagrams waiting for their turn, in bytes (kInboxLimitBytes unless
    // set); at least one batch is always taken.
    void SetReceiveQueueLimit(std::size_t bytes);
    // Datagrams received and not yet handled.
    std::size_t QueuedDatagrams() const;

    int PendingCount() const { return static_cast<int>(pending_.size()); }
    std::uint8_t NextSequence() const { return sequence_; }
    std::uint16_t LocalPort() const { return socket_.localPort(); }
    QHostAddress Destination() const { return destination_; }
    // Restricts sending to these interfaces (names checked by NetInterfaces::Select); an
    // empty list means every usable one.
    void SetInterfaceNames(std::vector<std::string> names) { interfaceNames_ = std::move(names); }
    // Per interface, the outcome of the last Send, configured interfaces that were down
    // included; when none of them shows sent, the routing table took the request.
    const std::vector<SendOutcome>& LastSend() const { return lastSend_; }

    // Milliseconds on a monotonic clock, the base of every deadline.
    static std::int64_t TickCount();

protected:
    // The receive thread's word that its inbox has gone from empty to holding datagrams.
    void customEvent(QEvent* event) override;

private:
    struct _VRELReqData {
        std::uint8_t sequence = 0;
        std::array<std::uint8_t, kMacSize> mac{};
        std::uint8_t command = 0;
        KvVRELVarList variables;
        VrelCompletion callback;
        std::int64_t deadline = 0;
        bool answered = false;
        // What every completion of this request tells, built once at send time; code and
        // message follow each completion.
        KvVRELError record;
        // The record and variables are out with a callback that has not returned yet.
        bool lent = false;
    };
    using Request = std::shared_ptr<_VRELReqData>;
    using Pending = std::list<Request>;

    void OnTick();
    void ScheduleWork();
    void DoWork();
    // Expires the first overdue request, the next tick armed; true when there was one.
    bool Sweep();
    void ArmSweep(std::int64_t notBeforeMs);
    // Copies the next received datagram into bytes; false when none is waiting.
    bool NextDatagram(ReceiveThread::Datagram& datagram, std::uint8_t* bytes);
    void Receive(const ReceiveThread::Datagram& datagram, const std::uint8_t* bytes);
    // Whether datagrams taken off the receive thread wait behind the one being handled.
    bool MoreInInbox() const;
    int Decode(_VRELReqData& request, std::uint8_t status, const std::uint8_t* payload,
               std::size_t count, KvVRELVarList& into);
    void Complete(const Request& request, int code, KvVRELVarList* decoded = nullptr,
                  int interfaceIndex = 0);
    Request Find(std::uint8_t sequence);
    // The interfaces a request goes out of, with those that cannot be used marked.
    std::vector<SendOutcome> Plan(int interfaceIndex) const;
    bool SendPerInterface(const std::string& datagram, int interfaceIndex);
    void Remove(const _VRELReqData* request);

    QUdpSocket socket_;
    QTimer sweepTimer_;
    QTimer workTimer_;
    QHostAddress destination_;
    std::uint16_t port_;
    std::uint8_t sequence_ = 0;
    bool open_ = false;
    int requestedBuffer_ = kRequestedReceiveBufferBytes;
    Pending pending_;
    // Declared after the socket: it is stopped before the socket closes.
    std::unique_ptr<ReceiveThread> receiver_;
    // The batches taken off the receive thread last, handled up to datagram next_ of batch
    // batchAt_; the batches before it are freed.
    ReceiveThread::Inbox inbox_;
    std::size_t batchAt_ = 0;
    std::size_t next_ = 0;
    bool workQueued_ = false;
    bool expiryDue_ = false;
    bool sweeping_ = false; // from construction until destruction begins
    // Datagrams queued before the due expiry: they are answered before it runs, and a flood
    // queued after it cannot hold it back.
    std::size_t aheadOfExpiry_ = 0;
    std::vector<std::string> interfaceNames_;
    std::vector<SendOutcome> lastSend_;
};

} // namespace vrel
