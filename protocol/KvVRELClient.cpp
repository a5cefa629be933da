#include "KvVRELClient.h"

#include "ErrorDisplay.h"
#include "EventWait.h"
#include "Exception.h"
#include "Messages.h"
#include "ResultCodes.h"
#include "ValueCodec.h"
#include "VrelPacket.h"

#include <QNetworkDatagram>
#include <QScopeGuard>
#include <QStringList>
#include <QVariant>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <limits>

namespace vrel {

Q_LOGGING_CATEGORY(lcVrelClient, "vrel.client", QtInfoMsg)

namespace {

constexpr int kSweepIntervalMs = 20;
constexpr int kDrainMs = 6000;
// Longest stretch of answers handled in one event-loop turn: a window repaints between.
constexpr std::int64_t kWorkSliceMs = 8;

// Columns of /proc/net/udp, counted from 0 at "sl".
constexpr int kUdpTableInodeColumn = 9;
constexpr int kUdpTableDropsColumn = 12;

// A failure raised in a callback goes to the error display, not out of a Qt event handler.
template <class F> void Guarded(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        ShowError(e.what());
    } catch (...) {
        ShowError(MessageForCode(kUnknownError));
    }
}

// The interfaces a request goes out of, the unusable ones marked.
std::vector<SendOutcome> Plan(const std::vector<std::string>& names, int interfaceIndex) {
    const std::vector<NetInterface> all = NetInterfaces::Enumerate();
    std::vector<SendOutcome> plan;
    if (names.empty()) {
        // Networks configured but down are named, so that their absence is explained.
        for (const NetInterface& i : all) {
            const std::string reason = i.UnusableReason();
            if (i.Usable() || (!i.address.empty() && !reason.empty()))
                plan.push_back({i, false, reason});
        }
    }
    // A named interface may have gone since it was checked: only that one fails.
    for (const std::string& name : names) {
        try {
            plan.push_back({NetInterfaces::Select(all, {name}).front(), false, {}});
        } catch (const std::invalid_argument& e) {
            NetInterface gone;
            gone.name = name;
            plan.push_back({gone, false, e.what()});
        }
    }
    // A request for one device goes where the caller heard it, if that still works.
    const auto heard = std::ranges::find_if(plan, [interfaceIndex](const SendOutcome& o) {
        return interfaceIndex != 0 && o.interface.index == interfaceIndex && o.error.empty();
    });
    return heard == plan.end() ? plan : std::vector<SendOutcome>{*heard};
}

// A payload the list cannot take (a value no option names) fails the request like a bad answer.
int Decode(const KvVRELError& record, std::uint8_t status, const std::uint8_t* payload,
           std::size_t count, KvVRELVarList& into) {
    int code = kBadPacket;
    try {
        code = response_result(record.command, status, into, payload, count);
    } catch (const std::exception& e) {
        const auto* failure = dynamic_cast<const Exception*>(&e);
        if (failure != nullptr && failure->HelpContext() < 0)
            code = failure->HelpContext();
        qCDebug(lcVrelClient) << "answer to request" << record.sequence
                              << "cannot be decoded:" << e.what();
    }
    if (code != 0)
        qCDebug(lcVrelClient) << "answer to request" << record.sequence << "status" << status
                              << "completes it with" << code;
    return code;
}

} // namespace

std::int64_t KvVRELClient::TickCount() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

KvVRELClient::KvVRELClient(QObject* owner, const QHostAddress& destination, std::uint16_t port)
    : QObject(owner), destination_(destination), port_(port) {
    // Precise: a coarse timer may be late by a twentieth of the wait ArmSweep sets.
    sweepTimer_.setSingleShot(true);
    sweepTimer_.setTimerType(Qt::PreciseTimer);
    connect(&sweepTimer_, &QTimer::timeout, this, &KvVRELClient::OnTick);
    // A zero timer, not a posted call: most are withdrawn unused, which costs a timer nothing.
    workTimer_.setSingleShot(true);
    workTimer_.setInterval(0);
    connect(&workTimer_, &QTimer::timeout, this, &KvVRELClient::DoWork);

    // Qt turns on SO_BROADCAST for UDP sockets itself.
    if (!socket_.bind(QHostAddress::AnyIPv4, 0))
        RaiseVrel(kSocketNotReady);
    const int fd = static_cast<int>(socket_.socketDescriptor());
    const int on = 1;
    const int off = 0;
    // The arrival interface of each answer (Qt asks for it too), and not the TTL Qt asks for:
    // one control message less for the kernel to build per answer.
    setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    setsockopt(fd, IPPROTO_IP, IP_RECVTTL, &off, sizeof off);
    RequestReceiveBuffer(kRequestedReceiveBufferBytes);
    // Nothing reads through the QUdpSocket: Qt switches its read notification off at the first
    // wake-up and on only after a read through it, so it never competes with the receive thread.
    receiver_ = std::make_unique<ReceiveThread>(fd, kInboxLimitBytes, [this] {
        QMetaObject::invokeMethod(this, &KvVRELClient::OnArrival, Qt::QueuedConnection);
    });
}

KvVRELClient::~KvVRELClient() {
    // Answers may still complete requests; time-outs no longer do.
    sweeping_ = false;
    sweepTimer_.stop();
    expiryDue_ = false;
    const std::int64_t start = TickCount();
    while (!pending_.empty() && TickCount() - start < kDrainMs)
        ProcessEventsFor(10);
    pending_.clear();
    // The thread reads the socket's descriptor: it ends before the descriptor closes.
    receiver_->Stop();
    socket_.close();
}

void KvVRELClient::RequestReceiveBuffer(int bytes) {
    requestedBuffer_ = bytes;
    socket_.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, QVariant(bytes));
}

std::int64_t KvVRELClient::GrantedReceiveBufferBytes() const {
    int granted = 0;
    socklen_t size = sizeof granted;
    const int fd = static_cast<int>(socket_.socketDescriptor());
    return getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &granted, &size) == 0 ? granted : 0;
}

std::uint64_t KvVRELClient::DroppedDatagrams() const {
    struct stat status {};
    if (fstat(static_cast<int>(socket_.socketDescriptor()), &status) != 0)
        return 0;
    std::ifstream table("/proc/net/udp");
    const QString wanted = QString::number(status.st_ino);
    for (std::string line; std::getline(table, line);) {
        const QStringList field = QString::fromStdString(line).split(' ', Qt::SkipEmptyParts);
        if (field.size() > kUdpTableDropsColumn && field[kUdpTableInodeColumn] == wanted)
            return field[kUdpTableDropsColumn].toULongLong();
    }
    return 0;
}

int KvVRELClient::Send(const std::string& targetMac, const std::string& password,
                       const KvVRELVarList& vars, std::uint8_t command, VrelCompletion callback,
                       std::uint32_t timeout, int interfaceIndex) {
    lastSend_.clear();
    std::string datagram;
    const int built = build_request(command, sequence_, targetMac, password, vars, datagram);
    if (built < 0)
        RaiseVrel(built);
    if (!SendPerInterface(datagram, interfaceIndex))
        RaiseVrel(kSocketError);

    auto request = std::make_shared<_VRELReqData>();
    std::memcpy(request->mac.data(), datagram.data() + kOffMac, kMacSize);
    request->variables.assign(vars);
    request->callback = std::move(callback);
    request->deadline = TickCount() + static_cast<std::int64_t>(timeout) * 10;
    KvVRELError& record = request->record;
    record.message = MessageForCode(record.code);
    record.sequence = sequence_;
    record.command = command;
    record.macText = bytes_to_hex(datagram.substr(kOffMac, kMacSize));
    record.password = password;
    pending_.push_back(std::move(request));
    ArmSweep(0);
    return sequence_++;
}

bool KvVRELClient::SendPerInterface(const std::string& datagram, int interfaceIndex) {
    const auto size = static_cast<qint64>(datagram.size());
    const bool limited = destination_ == QHostAddress(QHostAddress::Broadcast);
    if (limited || !interfaceNames_.empty())
        lastSend_ = Plan(interfaceNames_, interfaceIndex);
    const bool sendable =
        std::ranges::any_of(lastSend_, [](const SendOutcome& o) { return o.error.empty(); });
    // Loopback only (or every network down): the routing table decides.
    if (!sendable && interfaceNames_.empty())
        return socket_.writeDatagram(datagram.data(), size, destination_, port_) == size;

    const QByteArray bytes(datagram.data(), size);
    bool any = false;
    for (SendOutcome& outcome : lastSend_) {
        if (!outcome.error.empty())
            continue;
        QNetworkDatagram out(bytes, destination_, port_);
        out.setInterfaceIndex(static_cast<uint>(outcome.interface.index));
        outcome.sent = socket_.writeDatagram(out) == size;
        if (!outcome.sent)
            outcome.error = socket_.errorString().toStdString();
        any = any || outcome.sent;
    }
    return any;
}

std::size_t KvVRELClient::QueuedDatagrams() const {
    return ReceiveThread::CountOf(inbox_, batchAt_) - next_ + receiver_->Queued();
}

void KvVRELClient::OnArrival() {
    if (!workQueued_)
        DoWork();
}

void KvVRELClient::OnTick() {
    if (!expiryDue_)
        aheadOfExpiry_ = QueuedDatagrams(); // arrived before this tick: in time
    expiryDue_ = true;
    ScheduleWork();
}

// Handlers that return at once are called again: a callback that runs an event loop inside
// DoWork still gets the next datagrams and ticks, through a nested DoWork.
void KvVRELClient::ScheduleWork() {
    if (workQueued_)
        return;
    workQueued_ = true;
    workTimer_.start();
}

void KvVRELClient::DoWork() {
    workQueued_ = false;
    const std::int64_t sliceEnd = TickCount() + kWorkSliceMs;
    // A copy per frame: a nested DoWork may take the next inbox in place of this one.
    std::array<std::uint8_t, kReceiveAreaSize> bytes;
    ReceiveThread::Datagram datagram;
    constexpr unsigned kClockEvery = 8; // handling an answer costs little more than the clock
    for (unsigned taken = 1; NextDatagram(datagram, bytes.data()); ++taken) {
        aheadOfExpiry_ -= aheadOfExpiry_ > 0 ? 1 : 0;
        // Should the callback open an event loop, the datagrams behind are handled inside it.
        if (MoreInInbox())
            ScheduleWork();
        Guarded([&] { Receive(datagram, bytes.data()); });
        if (taken % kClockEvery == 0 && TickCount() >= sliceEnd)
            break;
    }
    // A take frees the handled inbox's room for the thread and finds what came meanwhile.
    if (!MoreInInbox()) {
        batchAt_ = next_ = 0;
        receiver_->TakeAll(inbox_);
    }
    if (!MoreInInbox())
        aheadOfExpiry_ = 0;
    if (expiryDue_ && aheadOfExpiry_ == 0) {
        expiryDue_ = false;
        if (!Sweep())
            ArmSweep(0);
    }
    if (MoreInInbox() || expiryDue_) {
        ScheduleWork();
    } else {
        workTimer_.stop();
        workQueued_ = false;
    }
}

bool KvVRELClient::NextDatagram(ReceiveThread::Datagram& datagram, std::uint8_t* bytes) {
    while (batchAt_ < inbox_.size() && next_ == inbox_[batchAt_].datagrams.size()) {
        // Freed at once: the receive thread's next batch reuses the memory.
        inbox_[batchAt_++] = {};
        next_ = 0;
    }
    if (batchAt_ == inbox_.size()) {
        batchAt_ = next_ = 0;
        if (!receiver_->TakeAll(inbox_))
            return false;
    }
    // Taken before its callback runs, so no nested call handles it again.
    const ReceiveThread::Batch& batch = inbox_[batchAt_];
    datagram = batch.datagrams[next_++];
    // An empty datagram (a probe, a flood) may come in a batch with no bytes at all.
    if (datagram.size > 0)
        std::memcpy(bytes, batch.BytesOf(datagram), datagram.size);
    return true;
}

bool KvVRELClient::MoreInInbox() const {
    return batchAt_ + 1 < inbox_.size() ||
           (batchAt_ < inbox_.size() && next_ < inbox_[batchAt_].datagrams.size());
}

void KvVRELClient::Receive(const ReceiveThread::Datagram& datagram, const std::uint8_t* bytes) {
    const std::size_t count = datagram.size;
    ResponseDrop why = ResponseDrop::kNone;
    const auto header = check_response(bytes, count, datagram.sourcePort, &why);
    if (!header) {
        qCDebug(lcVrelClient) << "dropped" << count << "bytes from port" << datagram.sourcePort
                              << ":" << response_drop_text(why);
        return;
    }
    const Request request = Find(header->sequence);
    if (!request) {
        qCDebug(lcVrelClient) << "dropped an answer with sequence" << header->sequence
                              << ": no request is waiting for it";
        return;
    }
    if (request->record.command != kDiscover) {
        if (header->mac != request->mac) {
            qCDebug(lcVrelClient) << "dropped an answer to request" << header->sequence
                                  << ": it comes from another MAC address";
            return;
        }
        request->answered = true;
    }
    // While an outer callback holds the request's list, this answer gets a list of its own.
    KvVRELVarList own;
    KvVRELVarList& into = request->lent ? (own = request->variables) : request->variables;
    const int code =
        Decode(request->record, header->status, bytes + kHeaderSize, count - kHeaderSize, into);
    Complete(request, code, &into, datagram.interfaceIndex);
}

void KvVRELClient::Complete(const Request& request, int code, KvVRELVarList* decoded,
                            int interfaceIndex) {
    // A finished request leaves before its callback runs, so a nested event loop can neither
    // complete nor expire it again. This very request: an older one may carry its number.
    if (request->record.command != kDiscover || code == kTimeout)
        pending_.remove(request);
    _VRELReqData& r = *request;
    if (!r.callback)
        return;
    // Nested in a callback of the same request, which keeps what it was given: copies then.
    const bool nested = r.lent;
    KvVRELError nestedRecord;
    KvVRELVarList nestedList;
    KvVRELError& record = nested ? (nestedRecord = r.record) : r.record;
    if (record.code != code) {
        record.code = code;
        record.message = MessageForCode(code);
    }
    if (record.interfaceIndex != interfaceIndex) {
        record.interfaceIndex = interfaceIndex;
        record.interfaceName = NetInterfaces::NameOf(interfaceIndex);
    }
    if (decoded == nullptr)
        decoded = nested ? &(nestedList = r.variables) : &r.variables;
    r.lent = true;
    const auto giveBack = qScopeGuard([&r, nested] { r.lent = nested; });
    r.callback(record, *decoded);
}

bool KvVRELClient::Sweep() {
    const std::int64_t now = TickCount();
    const auto overdue = std::ranges::find_if(
        pending_, [now](const Request& r) { return !r->answered && r->deadline < now; });
    if (overdue == pending_.end())
        return false;
    // One expiry per tick: the callback may change the list. The next tick is armed first, so
    // others expire while a callback runs an event loop.
    const Request expiring = *overdue;
    expiring->answered = true;
    ArmSweep(kSweepIntervalMs);
    Guarded([&] { Complete(expiring, kTimeout); });
    return true;
}

// Only ticks that can find a request overdue run, not fifty a second while a Discover waits.
// notBeforeMs is the least wait.
void KvVRELClient::ArmSweep(std::int64_t notBeforeMs) {
    if (!sweeping_)
        return;
    std::int64_t earliest = std::numeric_limits<std::int64_t>::max();
    for (const Request& request : pending_) {
        if (!request->answered)
            earliest = std::min(earliest, request->deadline);
    }
    if (earliest == std::numeric_limits<std::int64_t>::max()) {
        sweepTimer_.stop();
        return;
    }
    // The sweep takes requests whose deadline is earlier than now.
    const std::int64_t wait = std::max(earliest + 1 - TickCount(), notBeforeMs);
    if (sweepTimer_.isActive() && sweepTimer_.remainingTime() <= wait)
        return;
    // A wait beyond what a timer holds ends in a tick that finds nothing and arms again.
    sweepTimer_.start(
        static_cast<int>(std::clamp<std::int64_t>(wait, 0, std::numeric_limits<int>::max())));
}

void KvVRELClient::Abandon(std::uint8_t sequence) {
    if (const Request request = Find(sequence))
        pending_.remove(request);
}

KvVRELClient::Request KvVRELClient::Find(std::uint8_t sequence) {
    const auto it =
        std::ranges::find(pending_, sequence, [](const Request& r) { return r->record.sequence; });
    return it == pending_.end() ? nullptr : *it;
}

} // namespace vrel
