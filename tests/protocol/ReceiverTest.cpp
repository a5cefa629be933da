#include "ReceiveThread.h"
#include "VrelTypes.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace vrel::test {
namespace {

// Datagram i of a round: sizes from one byte to the largest taken; the bytes tell round and
// index apart.
std::string Datagram(int round, int i) {
    const std::size_t size = i == 7 ? kReceiveAreaSize : 1 + (i * 97) % 2000;
    std::string bytes(size, '\0');
    for (std::size_t k = 0; k < size; ++k)
        bytes[k] = static_cast<char>(round * 31 + i + k);
    return bytes;
}

// Rounds of datagrams through a local datagram socket pair (no network): each round comes out
// whole and in order, and the owner is called once per round however many datagrams it brings.
TEST(ReceiverTest, RoundsComeOutWholeInOrderWithOneCallEach) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, pair), 0);
    std::atomic<int> calls{0};
    constexpr int kDatagrams = 400;
    {
        ReceiveThread receiver(pair[0], 64 * 1024 * 1024, [&] { ++calls; });
        for (int round = 0; round < 3; ++round) {
            SCOPED_TRACE("round " + std::to_string(round));
            for (int i = 0; i < kDatagrams; ++i) {
                const std::string bytes = Datagram(round, i);
                ASSERT_EQ(send(pair[1], bytes.data(), bytes.size(), 0),
                          static_cast<ssize_t>(bytes.size()));
            }
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (receiver.Queued() < kDatagrams && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            EXPECT_EQ(calls.load(), round + 1);
            ReceiveThread::Inbox taken;
            ASSERT_TRUE(receiver.TakeAll(taken));
            ASSERT_EQ(ReceiveThread::CountOf(taken), static_cast<std::size_t>(kDatagrams));
            int i = 0;
            for (const ReceiveThread::Batch& batch : taken) {
                for (const ReceiveThread::Datagram& d : batch.datagrams) {
                    const std::uint8_t* const bytes = batch.BytesOf(d);
                    ASSERT_EQ(std::string(bytes, bytes + d.size), Datagram(round, i)) << i;
                    ++i;
                }
            }
            EXPECT_FALSE(receiver.TakeAll(taken));
            EXPECT_TRUE(taken.empty());
        }
    }
    close(pair[0]);
    close(pair[1]);
}

} // namespace
} // namespace vrel::test
