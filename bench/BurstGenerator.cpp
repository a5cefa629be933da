// vrel-burst: answers one Discover with a burst of valid answers from many simulated devices.
// It listens on the device port, learns the requester's address, port and sequence number from
// the Discover it receives, and then K sender processes answer with sendmmsg, N answers with
// distinct MACs in all, at once or spread evenly over S ms. Prints "ready" once it listens and
// one line of measured fields when the burst is out.
#include "BenchSupport.h"
#include "VrelSimulator.h"
#include "VrelTypes.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace vrel::bench {
namespace {

constexpr unsigned kBatch = 64; // datagrams per sendmmsg call

std::vector<SimDevice> Devices(int count) {
    std::vector<SimDevice> devices(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        SimDevice& d = devices[static_cast<std::size_t>(i)];
        const auto n = static_cast<std::uint32_t>(i + 1);
        d.productCode = static_cast<std::uint16_t>(0x1000 + i % 0x1000);
        d.modelName = "BURST-" + std::to_string(n);
        // 02:... is a locally administered range; the index makes every MAC distinct.
        d.mac = std::string{'\x02',
                            '\x00',
                            static_cast<char>(n >> 24),
                            static_cast<char>(n >> 16),
                            static_cast<char>(n >> 8),
                            static_cast<char>(n)};
        // Distinct addresses too, as on a commissioned site: within 10.0.0.0/8 an address
        // ending in .0 or .255 is an ordinary host.
        d.ipAddress = "10." + std::to_string(n >> 16 & 0xFF) + "." + std::to_string(n >> 8 & 0xFF) +
                      "." + std::to_string(n & 0xFF);
        d.netmask = "255.0.0.0";
    }
    return devices;
}

// The socket inode of the UDP socket bound to this local port, from /proc/net/udp, and the
// datagrams the kernel dropped for it (the last column).
struct UdpEntry {
    unsigned long inode = 0;
    long drops = -1;
};

UdpEntry FindUdpPort(std::uint16_t port) {
    std::ifstream table("/proc/net/udp");
    std::string line;
    std::getline(table, line); // header
    while (std::getline(table, line)) {
        std::istringstream in(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, ref, ptr;
        UdpEntry entry;
        in >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
            timeout >> entry.inode >> ref >> ptr >> entry.drops;
        const auto colon = local.find(':');
        if (colon != std::string::npos && std::stoul(local.substr(colon + 1), nullptr, 16) == port)
            return entry;
    }
    return {};
}

// The process holding the socket with the given inode, and its descriptor number there.
struct SocketOwner {
    int pid = -1;
    int fd = -1;
};

SocketOwner FindSocketOwner(unsigned long inode) {
    const std::string wanted = "socket:[" + std::to_string(inode) + "]";
    DIR* proc = opendir("/proc");
    SocketOwner owner;
    for (dirent* p; owner.pid < 0 && proc && (p = readdir(proc));) {
        const int pid = std::atoi(p->d_name);
        if (pid <= 0)
            continue;
        const std::string fdDir = "/proc/" + std::string(p->d_name) + "/fd";
        DIR* fds = opendir(fdDir.c_str());
        for (dirent* f; owner.pid < 0 && fds && (f = readdir(fds));) {
            char target[64] = {};
            const std::string link = fdDir + "/" + f->d_name;
            if (readlink(link.c_str(), target, sizeof target - 1) > 0 && wanted == target)
                owner = {pid, std::atoi(f->d_name)};
        }
        if (fds)
            closedir(fds);
    }
    if (proc)
        closedir(proc);
    return owner;
}

// A descriptor of this process for the owner's socket (pidfd_getfd), or -1.
int BorrowSocket(const SocketOwner& owner) {
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, owner.pid, 0));
    if (pidfd < 0)
        return -1;
    const int borrowed = static_cast<int>(syscall(SYS_pidfd_getfd, pidfd, owner.fd, 0));
    close(pidfd);
    return borrowed;
}

// Gives the requester's socket a receive buffer of exactly `bytes` (0 leaves it as it is) and
// returns what the kernel reports as granted, or -1 when the socket cannot be reached. The
// kernel doubles the value it is given for its bookkeeping, hence the half.
int SetRequesterBuffer(const SocketOwner& owner, int bytes) {
    const int fd = owner.pid < 0 ? -1 : BorrowSocket(owner);
    if (fd < 0)
        return -1;
    if (bytes > 0) {
        const int half = bytes / 2;
        // FORCE passes over net.core.rmem_max, which a namespace may not raise.
        if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &half, sizeof half) != 0)
            setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &half, sizeof half);
    }
    int granted = -1;
    socklen_t size = sizeof granted;
    getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &granted, &size);
    close(fd);
    return granted;
}

// What the requester has used up to its Discover: CPU of all its threads (the scheduler's
// nanosecond count, where /proc's stat has 10 ms ticks) and its page faults. A receiver that
// cannot measure itself is then measured from its request on, without the start-up that
// varies by more than the handling of thousands of answers; -1 when it cannot be read.
Usage UsageOfRequester(const SocketOwner& owner) {
    if (owner.pid < 0)
        return {-1, -1};
    const std::string dir = "/proc/" + std::to_string(owner.pid);
    std::int64_t cpuNs = 0;
    DIR* tasks = opendir((dir + "/task").c_str());
    for (dirent* t; tasks && (t = readdir(tasks));) {
        if (t->d_name[0] == '.')
            continue;
        std::ifstream schedstat(dir + "/task/" + t->d_name + "/schedstat");
        std::int64_t ns = 0;
        if (schedstat >> ns)
            cpuNs += ns;
    }
    if (tasks)
        closedir(tasks);
    // minflt is the tenth field of stat, the seventh after the ")" that ends the name.
    std::ifstream statFile(dir + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(statFile)), {});
    std::istringstream rest(stat.substr(stat.rfind(')') + 1));
    std::string field;
    for (int i = 0; i < 7 && rest >> field;)
        ++i;
    std::int64_t faults = -1;
    rest >> faults;
    return {cpuNs / 1000, faults};
}

struct SenderResult {
    long sent = 0;
    std::int64_t lastNs = 0;
};

// Sender k of K sends answers k, k+K, k+2K, ...; answer i is due at start + spread * i / N.
void Send(int fd, const sockaddr_in& to, const std::vector<SimAnswer>& answers, int k, int senders,
          std::int64_t startNs, std::int64_t spreadNs, SenderResult& result) {
    const std::size_t n = answers.size();
    std::vector<mmsghdr> msgs(kBatch);
    std::vector<iovec> iovs(kBatch);
    auto due = [&](std::size_t i) {
        return startNs + spreadNs * static_cast<std::int64_t>(i) / static_cast<std::int64_t>(n);
    };
    std::size_t next = static_cast<std::size_t>(k);
    int refusals = 0;
    while (next < n) {
        const std::int64_t now = NowNs();
        if (due(next) > now) {
            const std::int64_t at = due(next);
            const timespec ts{static_cast<time_t>(at / 1'000'000'000),
                              static_cast<long>(at % 1'000'000'000)};
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr);
            continue;
        }
        unsigned count = 0;
        for (std::size_t i = next; i < n && count < kBatch && due(i) <= now;
             i += static_cast<std::size_t>(senders), ++count) {
            const std::string& d = answers[i].datagram;
            iovs[count] = {const_cast<char*>(d.data()), d.size()};
            msgs[count] = {};
            msgs[count].msg_hdr.msg_name = const_cast<sockaddr_in*>(&to);
            msgs[count].msg_hdr.msg_namelen = sizeof to;
            msgs[count].msg_hdr.msg_iov = &iovs[count];
            msgs[count].msg_hdr.msg_iovlen = 1;
        }
        const std::int64_t handedNs = NowNs();
        const int done = sendmmsg(fd, msgs.data(), count, 0);
        if (done < 0) {
            // A refusal reports an earlier answer that found no socket: the requester is gone.
            if ((errno == ECONNREFUSED && ++refusals < 3) || errno == EINTR)
                continue;
            std::perror("vrel-burst: sendmmsg");
            break;
        }
        result.sent += done;
        result.lastNs = handedNs; // when the last answer went to the kernel

        next += static_cast<std::size_t>(done) * static_cast<std::size_t>(senders);
    }
}

int Run(const Options& opt) {
    const int answers = static_cast<int>(opt["answers"]);
    const int senders = static_cast<int>(std::clamp<std::int64_t>(opt["senders"], 1, 64));
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(opt["port"]));
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        std::perror("vrel-burst: bind");
        return 3;
    }
    std::printf("ready\n");
    std::fflush(stdout);

    // Build the devices before the Discover arrives; the answers need its sequence number.
    SimFaults faults;
    faults.spreadMs = 0; // the senders do the spreading
    VrelSimulator simulator(Devices(answers), faults);
    std::string request(9000, '\0');
    sockaddr_in from{};
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(opt["wait-ms"])) <= 0) {
            std::fprintf(stderr, "vrel-burst: no Discover within %lld ms\n",
                         static_cast<long long>(opt["wait-ms"]));
            return 1;
        }
        socklen_t fromSize = sizeof from;
        const ssize_t got = recvfrom(fd, request.data(), request.size(), 0,
                                     reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (got >= static_cast<ssize_t>(kHeaderSize) &&
            static_cast<std::uint8_t>(request[kOffCommand]) == kDiscover) {
            request.resize(static_cast<std::size_t>(got));
            break;
        }
    }
    const auto result = simulator.handle(request);
    const std::uint16_t requesterPort = ntohs(from.sin_port);
    const SocketOwner requester = FindSocketOwner(FindUdpPort(requesterPort).inode);
    const int granted = SetRequesterBuffer(requester, static_cast<int>(opt["rcvbuf"]));
    const Usage atRequest = UsageOfRequester(requester);

    auto* shared =
        static_cast<SenderResult*>(mmap(nullptr, sizeof(SenderResult) * senders,
                                        PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    // A common start a little ahead, so that all senders begin together.
    const std::int64_t startNs = NowNs() + 5'000'000;
    std::vector<pid_t> children;
    for (int k = 0; k < senders; ++k) {
        const pid_t pid = fork();
        if (pid == 0) {
            shared[k] = {};
            Send(fd, from, result.answers, k, senders, startNs, opt["spread-ms"] * 1'000'000,
                 shared[k]);
            _exit(0);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children)
        waitpid(pid, nullptr, 0);
    long sent = 0;
    std::int64_t lastNs = 0;
    for (int k = 0; k < senders; ++k) {
        sent += shared[k].sent;
        lastNs = std::max(lastNs, shared[k].lastNs);
    }
    // Loopback delivers in softirq right behind the send; let the last datagrams land before
    // reading the requester's drop counter.
    usleep(20'000);
    std::printf("sent=%ld start_ns=%lld last_ns=%lld sequence=%u port=%u granted=%d drops=%ld "
                "requester_cpu_us=%lld requester_faults=%lld\n",
                sent, static_cast<long long>(startNs), static_cast<long long>(lastNs),
                static_cast<unsigned>(static_cast<std::uint8_t>(request[kOffSequence])),
                requesterPort, granted, FindUdpPort(requesterPort).drops,
                static_cast<long long>(atRequest.cpuUs), static_cast<long long>(atRequest.faults));
    return sent == static_cast<long>(result.answers.size()) ? 0 : 1;
}

} // namespace
} // namespace vrel::bench

int main(int argc, char** argv) {
    vrel::bench::Options opt({{"answers", 100},
                              {"senders", 8},
                              {"spread-ms", 0},
                              {"rcvbuf", 0},
                              {"wait-ms", 10000},
                              {"port", vrel::kVrelPort}});
    if (!opt.Parse(argc, argv))
        return 2;
    if (!vrel::bench::RequireSandbox("vrel-burst"))
        return 2;
    return vrel::bench::Run(opt);
}
