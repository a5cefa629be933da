#include "KvVRELClient.h"

#include "ErrorDisplay.h"
#include "EventWait.h"
#include "Exception.h"
#include "Messages.h"
#include "ValueCodec.h"
#include "VrelPacket.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QVariant>

#include <algorithm>
#include <cstring>

namespace vrel {

namespace {

constexpr int kSocketNotReady = -1008;
constexpr int kSocketError = -1009;
constexpr int kTimeout = -1014;
constexpr int kSweepIntervalMs = 20;
constexpr int kDrainMs = 6000;
constexpr std::array<std::uint8_t, kMacSize> kBroadcastMac{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
// Thousands of devices answering one Discover arrive within a few hundred milliseconds; the
// kernel must hold them while the thread is busy. It caps the request at net.core.rmem_max.
constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;

// Runs a completion so that a failure raised in the callback reaches the application's error
// display instead of leaving a Qt event handler.
template <class F> void Guarded(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        ShowError(e.what());
    } catch (...) {
        ShowError(MessageForCode(-1015));
    }
}

} // namespace

std::int64_t KvVRELClient::TickCount() {
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

KvVRELClient::KvVRELClient(QObject* owner, const QHostAddress& destination, std::uint16_t port)
    : QObject(owner), destination_(destination), port_(port) {
    sweepTimer_.setInterval(kSweepIntervalMs);
    connect(&sweepTimer_, &QTimer::timeout, this, &KvVRELClient::Sweep);

    // Qt turns on SO_BROADCAST for UDP sockets itself.
    if (!socket_.bind(QHostAddress::AnyIPv4, 0))
        RaiseVrel(kSocketNotReady);
    socket_.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                            QVariant(kReceiveBufferBytes));
    open_ = true;
    connect(&socket_, &QUdpSocket::readyRead, this, &KvVRELClient::OnReadyRead);
    sweepTimer_.start();
}

KvVRELClient::~KvVRELClient() {
    sweepTimer_.stop();
    // Answers may still complete requests; time-outs no longer do, the timer is stopped.
    const std::int64_t start = TickCount();
    while (!pending_.empty() && TickCount() - start < kDrainMs)
        ProcessEventsFor(10);
    pending_.clear();
    socket_.close();
}

int KvVRELClient::Send(const std::string& targetMac, const std::string& password,
                       const KvVRELVarList& vars, std::uint8_t command, VrelCompletion callback,
                       std::uint32_t timeout) {
    lastSend_.clear();
    std::string datagram;
    const int built = build_request(command, sequence_, targetMac, password, vars, datagram);
    if (built < 0)
        RaiseVrel(built);
    std::array<std::uint8_t, kMacSize> mac{};
    std::memcpy(mac.data(), datagram.data() + kOffMac, kMacSize);
    if (!open_ || !SendPerInterface(datagram, mac))
        RaiseVrel(kSocketError);

    auto request = std::make_unique<_VRELReqData>();
    request->sequence = sequence_;
    request->mac = mac;
    request->password = password;
    request->command = command;
    request->variables.assign(vars);
    request->callback = std::move(callback);
    request->deadline = TickCount() + static_cast<std::int64_t>(timeout) * 10;
    pending_.push_back(std::move(request));
    return sequence_++;
}

bool KvVRELClient::SendPerInterface(const std::string& datagram,
                                    const std::array<std::uint8_t, kMacSize>& mac) {
    const auto size = static_cast<qint64>(datagram.size());
    const bool limited = destination_ == QHostAddress(QHostAddress::Broadcast);
    if (limited || !interfaceNames_.empty())
        lastSend_ = Plan(mac);
    const bool sendable = std::any_of(lastSend_.begin(), lastSend_.end(),
                                      [](const KvSendOutcome& o) { return o.error.empty(); });
    // A host with loopback only (or every network down) keeps the routing table's say.
    if (!sendable && interfaceNames_.empty())
        return socket_.writeDatagram(datagram.data(), size, destination_, port_) == size;

    const QByteArray bytes(datagram.data(), size);
    bool any = false;
    for (KvSendOutcome& outcome : lastSend_) {
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

std::vector<KvSendOutcome> KvVRELClient::Plan(const std::array<std::uint8_t, kMacSize>& mac) const {
    const std::vector<KvNetInterface> all = KvNetInterfaces::Enumerate();
    std::vector<KvSendOutcome> plan;
    if (interfaceNames_.empty()) {
        // Networks that are configured but down are named, so that their absence is explained.
        for (const KvNetInterface& i : all) {
            if (i.Usable())
                plan.push_back({i, false, {}});
            else if (!i.address.empty() && !i.UnusableReason().empty())
                plan.push_back({i, false, i.UnusableReason()});
        }
    } else {
        // A named interface may have gone since the names were checked: that one fails and
        // the others still go.
        for (const std::string& name : interfaceNames_) {
            try {
                plan.push_back({KvNetInterfaces::Select(all, {name}).front(), false, {}});
            } catch (const std::invalid_argument& e) {
                KvSendOutcome gone;
                gone.interface.name = name;
                gone.error = e.what();
                plan.push_back(std::move(gone));
            }
        }
    }
    // A request for one device goes where that device was last heard, if that still works.
    if (mac != kBroadcastMac) {
        if (const auto last = KvNetInterfaces::LastAnswerIndex(mac)) {
            for (const KvSendOutcome& candidate : plan) {
                if (candidate.interface.index == *last && candidate.error.empty())
                    return {candidate};
            }
        }
    }
    return plan;
}

void KvVRELClient::OnReadyRead() {
    // Take every datagram now: a burst of answers must not wait for further wake-ups.
    while (socket_.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket_.receiveDatagram(kReceiveAreaSize);
        if (!datagram.isValid())
            break;
        const int port = datagram.senderPort();
        Guarded([&] {
            Receive(datagram.data(), port < 0 ? 0 : static_cast<std::uint16_t>(port),
                    datagram.interfaceIndex());
        });
    }
}

void KvVRELClient::Receive(const QByteArray& datagram, std::uint16_t sourcePort,
                           int interfaceIndex) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(datagram.constData());
    const auto count = static_cast<std::size_t>(datagram.size());
    const auto header = check_response(bytes, count, sourcePort);
    if (!header)
        return;
    _VRELReqData* request = Find(header->sequence);
    if (request == nullptr)
        return;
    if (request->command != kDiscover) {
        if (header->mac != request->mac)
            return;
        request->answered = true;
    }
    KvNetInterfaces::RememberAnswer(header->mac, interfaceIndex);
    const int code = response_result(request->command, header->status, request->variables,
                                     bytes + kHeaderSize, count - kHeaderSize);
    Complete(*request, code, interfaceIndex);
}

void KvVRELClient::Complete(_VRELReqData& request, int code, int interfaceIndex) {
    KvVRELError record;
    record.code = code;
    record.message = MessageForCode(code);
    record.sequence = request.sequence;
    record.command = request.command;
    record.macText =
        bytes_to_hex(std::string(reinterpret_cast<const char*>(request.mac.data()), kMacSize));
    record.password = request.password;
    record.interfaceIndex = interfaceIndex;
    record.interfaceName = KvNetInterfaces::NameOf(interfaceIndex);
    KvVRELVarList variables(request.variables);
    const VrelCompletion callback = request.callback;

    // A finished request leaves the list before its callback runs, so a nested event loop in
    // the callback can neither complete nor expire it a second time. It is this request that
    // leaves: with more than 256 outstanding, an older one may carry the same number.
    if (request.command != kDiscover || code == kTimeout)
        Remove(&request);
    if (callback)
        callback(record, variables);
}

void KvVRELClient::Sweep() {
    const std::int64_t now = TickCount();
    for (auto& request : pending_) {
        if (request->answered)
            continue;
        if (request->deadline < now) {
            request->answered = true;
            // One expiry per tick: the callback may change the list under this walk.
            Guarded([&] { Complete(*request, kTimeout); });
            return;
        }
    }
}

KvVRELClient::_VRELReqData* KvVRELClient::Find(std::uint8_t sequence) {
    for (auto& request : pending_) {
        if (request->sequence == sequence)
            return request.get();
    }
    return nullptr;
}

void KvVRELClient::Remove(const _VRELReqData* request) {
    for (auto it = pending_.begin(); it != pending_.end(); ++it) {
        if (it->get() == request) {
            pending_.erase(it);
            return;
        }
    }
}

} // namespace vrel
