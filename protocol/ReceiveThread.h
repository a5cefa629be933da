#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vrel {

// Takes datagrams off one UDP socket on a thread of its own and keeps them, in order, until
// the owner swaps the inbox out. A burst arrives faster than a busy window handles it, and the
// kernel's stock buffer holds some 266 answers (about 800 bytes charged each). Past the limit,
// datagrams wait in the kernel's buffer, which counts its drops.
class ReceiveThread {
public:
    struct Datagram {
        std::uint32_t offset = 0;
        std::uint32_t size = 0;
        std::uint16_t sourcePort = 0;
        int interfaceIndex = 0; // from IP_PKTINFO; 0 when the kernel did not say
    };
    // One read, the bytes end to end: two allocations per read, not one per datagram.
    struct Batch {
        std::vector<std::uint8_t> bytes;
        std::vector<Datagram> datagrams;

        const std::uint8_t* BytesOf(const Datagram& d) const { return bytes.data() + d.offset; }
    };
    using Inbox = std::vector<Batch>;

    // socket must stay open until Stop() returns. onFirst runs on the receive thread whenever
    // the inbox stops being empty. limitBytes bounds the inbox and the one the owner took last.
    ReceiveThread(int socket, std::size_t limitBytes, std::function<void()> onFirst);
    ~ReceiveThread();

    void Stop(); // queued datagrams stay takeable

    // Replaces into, which the owner is done with, by the queue; false when it was empty.
    bool TakeAll(Inbox& into);
    std::size_t Queued() const; // not yet taken
    // The datagrams of inbox from batch fromBatch on.
    static std::size_t CountOf(const Inbox& inbox, std::size_t fromBatch = 0);
    void SetLimit(std::size_t bytes);

private:
    struct Areas;

    void Run();
    // Reads until the socket is empty, the inbox full or the thread to stop; returns the count.
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
    std::size_t takenBytes_ = 0; // the inbox taken last may be in memory until the next take
    std::atomic<std::size_t> limit_;
    bool waitingForRoom_ = false; // the socket is left alone while the inbox is full
    std::atomic<bool> stop_ = false;

    std::thread thread_;
};

} // namespace vrel
