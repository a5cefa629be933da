#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vrel {

// Takes datagrams off one UDP socket on a thread of its own and keeps them, in order, until
// the owner takes them. A burst of answers arrives faster than a busy window handles it, and
// the kernel's stock buffer holds only some 266 of them (about 800 bytes charged each), a few
// milliseconds of a burst: emptying it regardless of what the owner does is what keeps them.
//
// The thread blocks in poll() on the socket and an eventfd, reads batches with recvmmsg and
// appends each batch to an inbox under one lock; the owner swaps the whole inbox out under
// one lock. Past the limit it stops reading and the datagrams wait in the kernel's buffer,
// which counts what it must drop; it reads again once the owner has made room.
class ReceiveThread {
public:
    // One datagram as it came off the socket; its bytes are in its batch's bytes.
    struct Datagram {
        std::uint32_t offset = 0;
        std::uint32_t size = 0;
        std::uint16_t sourcePort = 0;
        int interfaceIndex = 0; // from IP_PKTINFO; 0 when the kernel did not say
    };
    // What one read took off the socket, in arrival order, the bytes end to end: two
    // allocations per read, not one per datagram, and an owner that frees each batch once
    // handled gives the memory back for the next read while a burst runs.
    struct Batch {
        std::vector<std::uint8_t> bytes;
        std::vector<Datagram> datagrams;

        const std::uint8_t* BytesOf(const Datagram& d) const { return bytes.data() + d.offset; }
    };
    using Inbox = std::vector<Batch>;

    // Starts the thread on socket, which must stay open until Stop() returns. onFirst runs on
    // the receive thread each time the inbox goes from empty to holding datagrams: once per
    // such change, not once per datagram. limitBytes bounds what the inbox and the one the
    // owner took last hold together; at least one batch is always taken.
    ReceiveThread(int socket, std::size_t limitBytes, std::function<void()> onFirst);
    // Stops and joins the thread.
    ~ReceiveThread();
    ReceiveThread(const ReceiveThread&) = delete;
    ReceiveThread& operator=(const ReceiveThread&) = delete;

    // Ends and joins the thread; datagrams still queued stay takeable. Safe to call twice.
    void Stop();

    // Replaces into, whose datagrams the owner is done with, by every queued datagram, oldest
    // first; false when nothing was queued.
    bool TakeAll(Inbox& into);
    // Datagrams queued and not yet taken.
    std::size_t Queued() const;
    // The datagrams of inbox from batch fromBatch on.
    static std::size_t CountOf(const Inbox& inbox, std::size_t fromBatch = 0);
    void SetLimit(std::size_t bytes);

private:
    struct Areas;

    void Run();
    // Reads until the kernel has nothing left, the inbox is full or the thread is to stop;
    // returns how many datagrams it took.
    std::size_t ReceiveAll(Areas& areas);
    bool Full() const { return queuedBytes_ + takenBytes_ >= limit_; }
    void WakeThread();

    const int socket_;
    const int wakeFd_;
    const std::function<void()> onFirst_;

    mutable std::mutex mutex_;
    Inbox inbox_;
    std::size_t queuedCount_ = 0;
    std::size_t queuedBytes_ = 0;
    // What the inbox the owner took last held: it may still be in memory until the next take.
    std::size_t takenBytes_ = 0;
    std::size_t limit_;
    // The thread left the socket alone because the inbox was full.
    bool waitingForRoom_ = false;
    bool stop_ = false;

    std::thread thread_;
};

} // namespace vrel
