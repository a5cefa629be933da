// vrel-raw-recv: the limit a Discover client can reach. It broadcasts one Discover and takes
// the answers off its socket with recvmmsg, doing no more per answer than the checks every
// client needs (check_response, the sequence number, a distinct MAC). Prints one line of
// measured fields.
#include "BenchSupport.h"
#include "KvVRELVarList.h"
#include "VrelPacket.h"
#include "VrelTables.h"
#include "VrelTypes.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <unordered_set>
#include <vector>

namespace vrel::bench {
namespace {

constexpr unsigned kBatch = 256;

int Run(const Options& opt) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    // The kernel's count of datagrams dropped for a full buffer, with every read.
    setsockopt(fd, SOL_SOCKET, SO_RXQ_OVFL, &one, sizeof one);
    if (const int ask = static_cast<int>(opt["rcvbuf"]); ask > 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &ask, sizeof ask);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
        std::perror("vrel-raw-recv: socket");
        return 3;
    }

    const auto sequence = static_cast<std::uint8_t>(opt["sequence"]);
    std::string discover;
    const auto vars = KvVRELVarList::create_from_definitions(DiscoveryVariables());
    if (build_request(kDiscover, sequence, "FFFFFFFFFFFF", "", *vars, discover) != 0)
        return 3;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(opt["port"]));
    to.sin_addr.s_addr = htonl(INADDR_BROADCAST);

    std::vector<std::array<std::uint8_t, kReceiveAreaSize>> buffers(kBatch);
    std::vector<iovec> iovs(kBatch);
    std::vector<sockaddr_in> senders(kBatch);
    std::vector<std::array<char, CMSG_SPACE(sizeof(std::uint32_t))>> controls(kBatch);
    std::vector<mmsghdr> msgs(kBatch);
    std::unordered_set<std::uint64_t> macs;
    const auto expect = static_cast<std::size_t>(opt["expect"]);
    macs.reserve(expect);

    // Memory is allocated and touched before the clock starts; what follows is per answer.
    const Usage start = SelfUsage();
    const std::int64_t endNs = NowNs() + opt["window-ms"] * 1'000'000;
    if (sendto(fd, discover.data(), discover.size(), 0, reinterpret_cast<sockaddr*>(&to),
               sizeof to) < 0) {
        std::perror("vrel-raw-recv: sendto");
        return 3;
    }

    std::uint32_t drops = 0;
    std::int64_t lastNs = 0;
    long rejected = 0;
    for (std::int64_t now = NowNs(); now < endNs && macs.size() < expect; now = NowNs()) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>((endNs - now) / 1'000'000) + 1) <= 0)
            continue;
        for (unsigned i = 0; i < kBatch; ++i) {
            iovs[i] = {buffers[i].data(), buffers[i].size()};
            msgs[i] = {};
            msgs[i].msg_hdr.msg_name = &senders[i];
            msgs[i].msg_hdr.msg_namelen = sizeof senders[i];
            msgs[i].msg_hdr.msg_iov = &iovs[i];
            msgs[i].msg_hdr.msg_iovlen = 1;
            msgs[i].msg_hdr.msg_control = controls[i].data();
            msgs[i].msg_hdr.msg_controllen = controls[i].size();
        }
        const int got = recvmmsg(fd, msgs.data(), kBatch, MSG_DONTWAIT, nullptr);
        if (got <= 0)
            continue;
        lastNs = NowNs();
        for (int i = 0; i < got; ++i) {
            const msghdr& h = msgs[i].msg_hdr;
            const auto header =
                check_response(buffers[i].data(), msgs[i].msg_len, ntohs(senders[i].sin_port));
            if (!header || header->sequence != sequence) {
                ++rejected;
                continue;
            }
            std::uint64_t mac = 0;
            for (const std::uint8_t b : header->mac)
                mac = mac << 8 | b;
            macs.insert(mac);
            for (cmsghdr* c = CMSG_FIRSTHDR(&h); c; c = CMSG_NXTHDR(const_cast<msghdr*>(&h), c)) {
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL)
                    std::memcpy(&drops, CMSG_DATA(c), sizeof drops);
            }
        }
    }
    const Usage used = SelfUsage() - start;
    int granted = 0;
    socklen_t size = sizeof granted;
    getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &granted, &size);
    std::printf("caught=%zu cpu_us=%lld faults=%lld last_ns=%lld drops=%u rejected=%ld granted=%d\n",
                macs.size(), static_cast<long long>(used.cpuUs), static_cast<long long>(used.faults),
                static_cast<long long>(lastNs), drops, rejected, granted);
    close(fd);
    return 0;
}

} // namespace
} // namespace vrel::bench

int main(int argc, char** argv) {
    vrel::bench::Options opt({{"expect", 1'000'000},
                              {"window-ms", 3000},
                              {"rcvbuf", 0},
                              {"sequence", 0},
                              {"port", vrel::kVrelPort}});
    if (!opt.Parse(argc, argv))
        return 2;
    if (!vrel::bench::RequireSandbox("vrel-raw-recv"))
        return 2;
    return vrel::bench::Run(opt);
}
