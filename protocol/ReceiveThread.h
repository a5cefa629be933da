#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vrel {

// Takes datagrams off one UDP socket on a thread of its own and keeps them, in order, until
// the owner takes them. A burst of answers arrives faster than a busy window handles it, and
// the kernel's stock buffer holds only some 266 of them (about 800 bytes charged each), a few
// milliseconds of a burst: emptying it regardless of what the owner does is what keeps them.
//
// The thread does nothing else: it blocks in poll() on the socket and an eventfd, reads
// batches with recvmmsg, and copies each datagram with its source port and arrival interface
// into blocks of the BlockPool, handed back once the owner has taken what they held: a burst
// touches fresh memory only as far as the owner lags behind, and the device list the answers
// become reuses those pages. Past the queue's limit it stops reading and the datagrams wait
// in the kernel's buffer, which counts what it must drop; it reads again once the owner has
// made room.
class ReceiveThread {
public:
    // One datagram as it came off the socket.
    struct Arrival {
        std::size_t size = 0;
        std::uint16_t sourcePort = 0;
        int interfaceIndex = 0; // from IP_PKTINFO; 0 when the kernel did not say
    };

    // Starts the thread on socket, which must stay open until Stop() returns. onFirst runs on
    // the receive thread each time the queue goes from empty to holding datagrams: once per
    // such change, not once per datagram. limitBytes bounds what the queue holds; at least
    // one batch is always taken.
    ReceiveThread(int socket, std::size_t limitBytes, std::function<void()> onFirst);
    // Stops and joins the thread.
    ~ReceiveThread();
    ReceiveThread(const ReceiveThread&) = delete;
    ReceiveThread& operator=(const ReceiveThread&) = delete;

    // Ends and joins the thread; datagrams still queued stay takeable. Safe to call twice.
    void Stop();

    // Copies the oldest queued datagram into into, which has room for kReceiveAreaSize bytes,
    // and removes it from the queue; false when nothing is queued.
    bool Take(Arrival& arrival, std::uint8_t* into);
    // Datagrams queued and not yet taken.
    std::size_t Queued() const;
    void SetLimit(std::size_t bytes);

private:
    struct Block;
    struct Batch;

    void Run();
    // Reads until the kernel has nothing left, the queue is full or the thread is to stop;
    // returns how many datagrams it took.
    std::size_t ReceiveAll(Batch& batch);
    // Queues datagram i of the batch the last recvmmsg call filled.
    void Append(Batch& batch, unsigned i);
    bool Full() const { return queuedBytes_ >= limit_; }
    void WakeThread();

    const int socket_;
    const int wakeFd_;
    const std::function<void()> onFirst_;

    mutable std::mutex mutex_;
    // Blocks holding queued datagrams, oldest first; the last one is being filled.
    std::deque<std::unique_ptr<Block>> filled_;
    std::size_t queuedBytes_ = 0;
    std::size_t queuedCount_ = 0;
    std::size_t limit_;
    // The thread left the socket alone because the queue was full.
    bool waitingForRoom_ = false;
    bool stop_ = false;

    std::thread thread_;
};

} // namespace vrel
