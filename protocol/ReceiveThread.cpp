#include "ReceiveThread.h"

#include "BlockPool.h"
#include "Exception.h"
#include "KvVRELClient.h"
#include "ResultCodes.h"
#include "VrelTypes.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace vrel {

namespace {

// Datagrams taken off the socket per system call. A burst of small answers fills a batch.
constexpr unsigned kBatchSize = 64;
// Room for the IP_PKTINFO message and whatever else the kernel is asked to attach.
constexpr std::size_t kControlSize = 128;
// How long datagrams may gather in the kernel's buffer after a read that emptied it while a
// burst runs. Each wake-up costs this thread a few system calls and, through the posted event,
// the owner one more turn of its event loop: waking for nearly every answer of 10,000 spread
// over 200 ms cost some 3 us per answer. A gigabit link delivers at most some 400 answers of a
// few hundred bytes a millisecond; the 100 of 250 us fit in the stock buffer's 266. A read
// that fills its whole batch is followed by the next at once.
constexpr long kGatherNs = 250'000;

// What precedes each datagram's bytes in a block.
struct RecordHead {
    std::uint32_t size;
    std::uint16_t sourcePort;
    std::int32_t interfaceIndex;
};

constexpr std::size_t RecordSize(std::size_t bytes) {
    constexpr std::size_t align = alignof(RecordHead);
    return (sizeof(RecordHead) + bytes + align - 1) / align * align;
}
static_assert(RecordSize(kReceiveAreaSize) <= BlockPool::kBlockSize);

} // namespace

// A stretch of queued datagrams: records from head to tail, each a RecordHead and the bytes.
struct ReceiveThread::Block {
    BlockPool::Block bytes = BlockPool::Take();
    std::size_t head = 0;
    std::size_t tail = 0;
};

// The areas one recvmmsg call fills, allocated once per thread and reused by every call. Each
// datagram is scattered over two pieces: its first kHeadPiece bytes go to a dense array that
// every datagram touches, the rest to a tail area that only a long datagram reaches. Answers
// are a few hundred bytes at most, so a burst touches 8 pages of the batch, not one page of
// each of 64 areas of a whole datagram's size.
struct ReceiveThread::Batch {
    static constexpr std::size_t kHeadPiece = 512;

    std::array<std::array<std::uint8_t, kHeadPiece>, kBatchSize> heads;
    std::array<std::array<std::uint8_t, kReceiveAreaSize - kHeadPiece>, kBatchSize> tails;
    std::array<std::array<iovec, 2>, kBatchSize> iovs;
    std::array<sockaddr_in, kBatchSize> senders;
    std::array<std::array<char, kControlSize>, kBatchSize> controls;
    std::array<mmsghdr, kBatchSize> headers;

    // Sets every header up for the next call; the kernel rewrites the lengths.
    void Arm() {
        for (unsigned i = 0; i < kBatchSize; ++i) {
            iovs[i] = {{{heads[i].data(), heads[i].size()}, {tails[i].data(), tails[i].size()}}};
            msghdr& h = headers[i].msg_hdr;
            h = {};
            senders[i] = {};
            h.msg_name = &senders[i];
            h.msg_namelen = sizeof senders[i];
            h.msg_iov = iovs[i].data();
            h.msg_iovlen = iovs[i].size();
            h.msg_control = controls[i].data();
            h.msg_controllen = controls[i].size();
            headers[i].msg_len = 0;
        }
    }

    // The interface datagram i came in on, from its IP_PKTINFO message; 0 when absent.
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
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    WakeThread();
    if (thread_.joinable())
        thread_.join();
}

void ReceiveThread::WakeThread() {
    const std::uint64_t one = 1;
    // Fails only when the counter is near overflow, and then the thread is awake anyway.
    [[maybe_unused]] const ssize_t written = write(wakeFd_, &one, sizeof one);
}

void ReceiveThread::Run() {
    // Not zeroed: each area's pages are touched first by the datagrams that need them.
    const auto batch = std::make_unique_for_overwrite<Batch>();
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
        // While the queue is full the socket is not watched (a negative descriptor is
        // skipped), or a readable socket would wake the thread again and again. While a burst
        // runs, the thread lets a few datagrams gather after each read instead of waking for
        // every one; stop and room still wake it at once.
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
            gathering = ReceiveAll(*batch) > 0;
    }
}

std::size_t ReceiveThread::ReceiveAll(Batch& batch) {
    std::size_t taken = 0;
    for (;;) {
        {
            const std::lock_guard lock(mutex_);
            if (stop_ || Full())
                return taken;
        }
        batch.Arm();
        const int got = recvmmsg(socket_, batch.headers.data(), kBatchSize, MSG_DONTWAIT, nullptr);
        if (got < 0) {
            const int failure = errno;
            if (failure == EINTR)
                continue;
            if (failure != EAGAIN && failure != EWOULDBLOCK) {
                // A pending socket error (an ICMP report) is cleared by reading it; the
                // datagrams behind it are read on the next wake-up.
                int error = 0;
                socklen_t size = sizeof error;
                getsockopt(socket_, SOL_SOCKET, SO_ERROR, &error, &size);
                qCDebug(lcVrelClient) << "receive failed:" << std::strerror(failure);
            }
            return taken;
        }
        bool wasEmpty = false;
        {
            const std::lock_guard lock(mutex_);
            wasEmpty = queuedCount_ == 0;
            for (unsigned i = 0; i < static_cast<unsigned>(got); ++i) {
                Append(batch, i);
            }
        }
        if (wasEmpty && got > 0)
            onFirst_();
        taken += static_cast<std::size_t>(got);
        if (static_cast<unsigned>(got) < kBatchSize)
            return taken; // the kernel had no more
    }
}

void ReceiveThread::Append(Batch& batch, unsigned i) {
    const std::size_t size = batch.headers[i].msg_len;
    const std::size_t need = RecordSize(size);
    if (filled_.empty() || filled_.back()->tail + need > BlockPool::kBlockSize)
        filled_.push_back(std::make_unique<Block>());
    Block& block = *filled_.back();
    const RecordHead head{static_cast<std::uint32_t>(size), ntohs(batch.senders[i].sin_port),
                          static_cast<std::int32_t>(batch.InterfaceIndex(i))};
    char* const at = block.bytes.get() + block.tail;
    std::memcpy(at, &head, sizeof head);
    const std::size_t first = std::min(size, Batch::kHeadPiece);
    std::memcpy(at + sizeof head, batch.heads[i].data(), first);
    std::memcpy(at + sizeof head + first, batch.tails[i].data(), size - first);
    block.tail += need;
    queuedBytes_ += need;
    ++queuedCount_;
}

bool ReceiveThread::Take(Arrival& arrival, std::uint8_t* into) {
    bool wake = false;
    {
        const std::lock_guard lock(mutex_);
        if (queuedCount_ == 0)
            return false;
        Block& block = *filled_.front();
        RecordHead head{};
        std::memcpy(&head, block.bytes.get() + block.head, sizeof head);
        std::memcpy(into, block.bytes.get() + block.head + sizeof head, head.size);
        arrival = {head.size, head.sourcePort, head.interfaceIndex};
        const std::size_t used = RecordSize(head.size);
        block.head += used;
        queuedBytes_ -= used;
        --queuedCount_;
        if (block.head == block.tail) {
            // A drained block goes back to the pool, where the next block anybody takes comes
            // from: the device list this answer joins, or this queue again.
            block.head = block.tail = 0;
            if (filled_.size() > 1)
                filled_.pop_front();
        }
        if (waitingForRoom_ && !Full()) {
            waitingForRoom_ = false;
            wake = true;
        }
    }
    if (wake)
        WakeThread();
    return true;
}

std::size_t ReceiveThread::Queued() const {
    const std::lock_guard lock(mutex_);
    return queuedCount_;
}

void ReceiveThread::SetLimit(std::size_t bytes) {
    {
        const std::lock_guard lock(mutex_);
        limit_ = bytes;
    }
    WakeThread();
}

} // namespace vrel
