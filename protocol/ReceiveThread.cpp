#include "ReceiveThread.h"

#include "Exception.h"
#include "KvVRELClient.h"
#include "ResultCodes.h"
#include "VrelTypes.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

namespace vrel {

namespace {

constexpr unsigned kBatchSize = 64;       // datagrams per system call
constexpr std::size_t kControlSize = 128; // room for IP_PKTINFO and whatever else is attached
// How long datagrams may gather in the kernel's buffer after a read that emptied it during a
// burst: otherwise nearly every answer costs a wake-up here and a turn of the owner's event
// loop. A gigabit link delivers at most some 400 answers a millisecond; the 100 of 250 us fit
// in the stock buffer's 266. A read that fills its whole batch is followed by the next at once.
constexpr long kGatherNs = 250'000;

} // namespace

// The areas one recvmmsg call fills, allocated once per thread.
struct ReceiveThread::Areas {
    std::array<std::array<std::uint8_t, kReceiveAreaSize>, kBatchSize> areas;
    std::array<iovec, kBatchSize> iovs;
    std::array<sockaddr_in, kBatchSize> senders;
    std::array<std::array<char, kControlSize>, kBatchSize> controls;
    std::array<mmsghdr, kBatchSize> headers;

    void Arm() {
        for (unsigned i = 0; i < kBatchSize; ++i) {
            iovs[i] = {areas[i].data(), areas[i].size()};
            msghdr& h = headers[i].msg_hdr;
            h = {};
            senders[i] = {};
            h.msg_name = &senders[i];
            h.msg_namelen = sizeof senders[i];
            h.msg_iov = &iovs[i];
            h.msg_iovlen = 1;
            h.msg_control = controls[i].data();
            h.msg_controllen = controls[i].size();
        }
    }

    // From datagram i's IP_PKTINFO message; 0 when absent.
    int InterfaceIndex(unsigned i) {
        msghdr& h = headers[i].msg_hdr;
        for (cmsghdr* c = CMSG_FIRSTHDR(&h); c != nullptr; c = CMSG_NXTHDR(&h, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info{};
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                return info.ipi_ifindex;
            }
        }
        return 0;
    }

    Batch Take(unsigned count) {
        std::size_t total = 0;
        for (unsigned i = 0; i < count; ++i)
            total += headers[i].msg_len;
        Batch batch;
        batch.bytes.reserve(total);
        batch.datagrams.reserve(count);
        for (unsigned i = 0; i < count; ++i) {
            const auto at = static_cast<std::uint32_t>(batch.bytes.size());
            const std::uint8_t* const bytes = areas[i].data();
            batch.bytes.insert(batch.bytes.end(), bytes, bytes + headers[i].msg_len);
            batch.datagrams.push_back(
                {at, headers[i].msg_len, ntohs(senders[i].sin_port), InterfaceIndex(i)});
        }
        return batch;
    }
};

ReceiveThread::ReceiveThread(int socket, std::size_t limitBytes, std::function<void()> onFirst)
    : socket_(socket), wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      onFirst_(std::move(onFirst)), limit_(limitBytes) {
    if (wakeFd_ < 0)
        RaiseVrel(kSocketNotReady);
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (...) {
        close(wakeFd_);
        RaiseVrel(kSocketNotReady);
    }
}

ReceiveThread::~ReceiveThread() {
    Stop();
    close(wakeFd_);
}

void ReceiveThread::Stop() {
    stop_ = true;
    WakeThread();
    if (thread_.joinable())
        thread_.join();
}

void ReceiveThread::WakeThread() {
    const std::uint64_t one = 1;
    // Fails only near the counter's overflow, when the thread is awake anyway.
    [[maybe_unused]] const ssize_t written = write(wakeFd_, &one, sizeof one);
}

void ReceiveThread::Run() {
    // Zeroed, so mapped now rather than a page at a time in a burst.
    const auto areas = std::make_unique<Areas>();
    bool gathering = false;
    for (;;) {
        bool full = false;
        {
            const std::lock_guard lock(mutex_);
            if (stop_)
                return;
            full = Full();
            if (full && !waitingForRoom_)
                qCDebug(lcVrelClient) << "receive queue full:" << queuedCount_
                                      << "datagrams wait; the rest stay in the kernel's buffer";
            waitingForRoom_ = full;
        }
        // A full queue leaves the socket unwatched (a negative descriptor is skipped), or it
        // would wake the thread again and again. During a burst, datagrams gather after each
        // read; stop and room still wake the thread at once.
        const bool pause = gathering && !full;
        std::array<pollfd, 2> watched{
            {{wakeFd_, POLLIN, 0}, {full || pause ? -1 : socket_, POLLIN, 0}}};
        const timespec gatherTime{0, kGatherNs};
        if (ppoll(watched.data(), watched.size(), pause ? &gatherTime : nullptr, nullptr) < 0) {
            if (errno == EINTR)
                continue;
            qCWarning(lcVrelClient) << "receive thread ends:" << std::strerror(errno);
            return;
        }
        if (watched[0].revents != 0) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = read(wakeFd_, &count, sizeof count);
        }
        gathering = false;
        if (pause || watched[1].revents != 0)
            gathering = ReceiveAll(*areas) > 0;
    }
}

std::size_t ReceiveThread::ReceiveAll(Areas& areas) {
    std::size_t taken = 0;
    for (;;) {
        {
            const std::lock_guard lock(mutex_);
            if (stop_ || Full())
                return taken;
        }
        areas.Arm();
        const int got = recvmmsg(socket_, areas.headers.data(), kBatchSize, MSG_DONTWAIT, nullptr);
        if (got < 0) {
            const int failure = errno;
            if (failure == EINTR)
                continue;
            if (failure != EAGAIN && failure != EWOULDBLOCK) {
                // Reading a pending socket error (an ICMP report) clears it; the datagrams
                // behind it are read on the next wake-up.
                int error = 0;
                socklen_t size = sizeof error;
                getsockopt(socket_, SOL_SOCKET, SO_ERROR, &error, &size);
                qCDebug(lcVrelClient) << "receive failed:" << std::strerror(failure);
            }
            return taken;
        }
        if (got == 0)
            return taken;
        Batch batch = areas.Take(static_cast<unsigned>(got));
        const std::size_t bytes =
            batch.bytes.size() + batch.datagrams.size() * sizeof(Datagram) + sizeof batch;
        bool wasEmpty = false;
        {
            const std::lock_guard lock(mutex_);
            wasEmpty = inbox_.empty();
            inbox_.push_back(std::move(batch));
            queuedBytes_ += bytes;
            queuedCount_ += static_cast<std::size_t>(got);
        }
        if (wasEmpty)
            onFirst_();
        taken += static_cast<std::size_t>(got);
        if (static_cast<unsigned>(got) < kBatchSize)
            return taken; // the kernel had no more
    }
}

bool ReceiveThread::TakeAll(Inbox& into) {
    into.clear();
    bool wake = false;
    {
        const std::lock_guard lock(mutex_);
        std::swap(into, inbox_);
        takenBytes_ = std::exchange(queuedBytes_, 0);
        queuedCount_ = 0;
        if (!Full())
            wake = std::exchange(waitingForRoom_, false);
    }
    if (wake)
        WakeThread();
    return !into.empty();
}

std::size_t ReceiveThread::Queued() const {
    const std::lock_guard lock(mutex_);
    return queuedCount_;
}

std::size_t ReceiveThread::CountOf(const Inbox& inbox, std::size_t fromBatch) {
    std::size_t count = 0;
    for (std::size_t i = fromBatch; i < inbox.size(); ++i)
        count += inbox[i].datagrams.size();
    return count;
}

void ReceiveThread::SetLimit(std::size_t bytes) {
    limit_ = bytes;
    WakeThread();
}

} // namespace vrel
