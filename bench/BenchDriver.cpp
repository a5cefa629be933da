// vrel-bench: puts the raw receiver (the limit), `vrel discover` and the window's presenter
// under the same burst of answers from vrel-burst, R runs each, interleaved, and prints per
// case what they caught and what it cost them. Every figure printed is measured in this run.
#include "BenchSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace vrel::bench {
namespace {

std::string g_binDir;
// Another build's bin directory whose `vrel discover` and window harness join every round.
std::string g_compareDir;

struct Child {
    pid_t pid = -1;
    int out = -1;
};

// Starts a program with its standard output on a pipe; quiet drops its standard error (Qt's
// platform notes, "no device answered" of the baseline run).
Child Spawn(const std::vector<std::string>& args, bool quiet = false) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    if (quiet)
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    Child child;
    if (posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    child.out = pipeFds[0];
    return child;
}

// Reads until end of file, or until one line when firstLineOnly; gives up at the deadline.
std::string Read(int fd, std::int64_t deadlineNs, bool firstLineOnly) {
    std::string text;
    char buf[4096];
    for (std::int64_t now = NowNs(); now < deadlineNs; now = NowNs()) {
        if (firstLineOnly && text.find('\n') != std::string::npos)
            break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>((deadlineNs - now) / 1'000'000) + 1) <= 0)
            continue;
        const ssize_t got = read(fd, buf, firstLineOnly ? 1 : sizeof buf);
        if (got <= 0)
            break;
        text.append(buf, static_cast<std::size_t>(got));
    }
    return text;
}

// Waits for the child (killing it at the deadline) and returns what it used.
Usage Finish(Child& child, std::int64_t deadlineNs) {
    int status = 0;
    rusage ru{};
    while (wait4(child.pid, &status, WNOHANG, &ru) == 0) {
        if (NowNs() > deadlineNs)
            kill(child.pid, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    close(child.out);
    return UsageOf(ru);
}

std::string LastLine(const std::string& text) {
    const auto end = text.find_last_not_of('\n');
    if (end == std::string::npos)
        return {};
    const auto start = text.rfind('\n', end);
    return text.substr(start == std::string::npos ? 0 : start + 1,
                       end - (start == std::string::npos ? 0 : start + 1) + 1);
}

struct Case {
    const char* title;
    std::int64_t spreadMs;
    int rcvbuf;
};

enum Receiver { kLimit, kCli, kWindow, kCompareCli, kCompareWindow, kReceivers };
const char* const kReceiverNames[kReceivers] = {"limit (recvmmsg)", "vrel discover",
                                                "window presenter", "compared discover",
                                                "compared window"};

bool IsCli(Receiver r) { return r == kCli || r == kCompareCli; }
int ReceiverCount() { return g_compareDir.empty() ? kCompareCli : kReceivers; }

struct Sample {
    double caught = 0, cpuPerAnswerUs = NAN, faultsPerAnswer = NAN, stallMs = NAN, completeMs = NAN,
           drops = NAN, granted = NAN;
    Usage used;         // the whole receiver process
    Usage afterRequest; // the same from its Discover on, where the generator could read it
};

struct Setup {
    std::int64_t answers, senders, windowMs;
};

// One burst to one receiver. cliBaseline is what a `vrel discover` that caught nothing used
// after its Discover went out.
Sample RunOnce(const Setup& s, const Case& c, Receiver r, int run, const Usage& cliBaseline,
               std::int64_t answers) {
    Child gen = Spawn({g_binDir + "/vrel-burst", "--answers", std::to_string(answers), "--senders",
                       std::to_string(s.senders), "--spread-ms", std::to_string(c.spreadMs),
                       "--rcvbuf", std::to_string(c.rcvbuf), "--wait-ms", "10000"});
    Sample sample;
    const std::int64_t deadline = NowNs() + (s.windowMs + 15'000) * 1'000'000;
    if (gen.pid < 0 || Read(gen.out, NowNs() + 5'000'000'000, true) != "ready\n") {
        std::fprintf(stderr, "vrel-bench: the generator did not start\n");
        return sample;
    }
    const std::string window = std::to_string(s.windowMs);
    const std::string expect = std::to_string(answers);
    const std::string& bin = r >= kCompareCli ? g_compareDir : g_binDir;
    std::vector<std::string> args;
    if (r == kLimit)
        args = {g_binDir + "/vrel-raw-recv",
                "--expect",
                expect,
                "--window-ms",
                window,
                "--sequence",
                std::to_string((run * 37 + 11) % 256)};
    else if (IsCli(r))
        args = {bin + "/vrel", "discover", "--csv", "--timeout",
                std::to_string((s.windowMs + 999) / 1000)};
    else
        args = {bin + "/vrel-bench-window", "--expect", expect, "--window-ms", window};
    Child consumer = Spawn(args, true);
    const std::string out = Read(consumer.out, deadline, false);
    sample.used = Finish(consumer, deadline);
    const Fields g = ParseFields(LastLine(Read(gen.out, deadline, false)));
    Finish(gen, deadline);

    const bool requesterRead = g.count("requester_cpu_us") && g.at("requester_cpu_us") >= 0;
    sample.afterRequest =
        sample.used - (requesterRead ? Usage{std::llround(g.at("requester_cpu_us")),
                                             std::llround(g.at("requester_faults"))}
                                     : Usage{});
    Fields f = ParseFields(LastLine(out));
    if (IsCli(r)) {
        f["caught"] = static_cast<double>(std::max<std::ptrdiff_t>(
            std::count(out.begin(), out.end(), '\n') - 1, 0)); // less the CSV header
        const Usage own = sample.afterRequest - cliBaseline;
        f["cpu_us"] = static_cast<double>(own.cpuUs);
        f["faults"] = static_cast<double>(own.faults);
    }
    sample.caught = f["caught"];
    if (sample.caught > 0) {
        sample.cpuPerAnswerUs = f["cpu_us"] / sample.caught;
        sample.faultsPerAnswer = f["faults"] / sample.caught;
    }
    if (f.count("stall_us"))
        sample.stallMs = f["stall_us"] / 1000.0;
    const double doneNs = r == kLimit              ? f["last_ns"]
                          : f.count("complete_ns") ? f["complete_ns"]
                                                   : NAN;
    if (g.count("last_ns") && doneNs > 0)
        sample.completeMs = (doneNs - g.at("last_ns")) / 1e6;
    sample.drops = f.count("drops")                         ? f["drops"]
                   : g.count("drops") && g.at("drops") >= 0 ? g.at("drops")
                                                            : NAN;
    sample.granted = g.count("granted") ? g.at("granted") : NAN;
    return sample;
}

double Median(std::vector<double> v) {
    v.erase(std::remove_if(v.begin(), v.end(), [](double x) { return std::isnan(x); }), v.end());
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

std::string Cell(double value, const char* format) {
    if (std::isnan(value))
        return "-";
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

// A `vrel discover` that catches nothing varies by some 10 ms of CPU from run to run, which
// over 10,000 answers is 1 us each, most of it in start-up: it is measured from its Discover
// on, and the baseline is the median of as many runs as the receivers get.
Usage IdleBaseline(const Setup& s, const Case& c, int runs, Receiver cli) {
    std::vector<double> idleCpu, idleFaults;
    for (int run = 0; run < runs; ++run) {
        const Usage idle = RunOnce(s, c, cli, run, {}, 0).afterRequest;
        idleCpu.push_back(static_cast<double>(idle.cpuUs));
        idleFaults.push_back(static_cast<double>(idle.faults));
    }
    return {std::llround(Median(idleCpu)), std::llround(Median(idleFaults))};
}

// Per round, this build's CPU per answer over the compared build's: both ran against the same
// generator within seconds of each other.
void PrintPaired(const std::vector<Sample> (&samples)[kReceivers]) {
    const auto ratio = [&](Receiver mine, Receiver theirs) {
        std::vector<double> per;
        for (std::size_t run = 0; run < samples[mine].size(); ++run)
            per.push_back(samples[mine][run].cpuPerAnswerUs / samples[theirs][run].cpuPerAnswerUs);
        std::string cells;
        for (const double x : per)
            cells += " " + Cell(x, "%.2f");
        return Cell(Median(per), "%.2f") + " (runs:" + cells + ")";
    };
    std::printf("  paired CPU/answer, this build over compared: discover %s; window %s\n",
                ratio(kCli, kCompareCli).c_str(), ratio(kWindow, kCompareWindow).c_str());
}

void RunRounds(const Setup& s, const Case& c, int runs, const Usage (&baselines)[kReceivers],
               std::vector<Sample> (&samples)[kReceivers]) {
    // Every other round the compared build goes first, so that a receiver's place in the
    // round weighs alike on both builds.
    const Receiver orders[2][kReceivers] = {{kLimit, kCli, kWindow, kCompareCli, kCompareWindow},
                                            {kLimit, kCompareCli, kCompareWindow, kCli, kWindow}};
    for (int run = 1; run <= runs; ++run)
        for (int k = 0; k < kReceivers; ++k) {
            const Receiver r = orders[g_compareDir.empty() ? 0 : run % 2][k];
            if (r < ReceiverCount())
                samples[r].push_back(RunOnce(s, c, r, run, baselines[r], s.answers));
        }
}

void RunCase(const Setup& s, const Case& c, int runs) {
    Usage baselines[kReceivers];
    baselines[kCli] = IdleBaseline(s, c, runs, kCli);
    if (!g_compareDir.empty())
        baselines[kCompareCli] = IdleBaseline(s, c, runs, kCompareCli);
    std::vector<Sample> samples[kReceivers];
    RunRounds(s, c, runs, baselines, samples);

    const auto column = [](const std::vector<Sample>& v, double Sample::*field) {
        std::vector<double> out;
        for (const auto& x : v)
            out.push_back(x.*field);
        return out;
    };
    std::printf("\n%lld answers %s, %lld senders, %d runs; buffer granted %s bytes; "
                "vrel discover baseline %s ms CPU with no answers\n",
                static_cast<long long>(s.answers), c.title, static_cast<long long>(s.senders), runs,
                Cell(Median(column(samples[kLimit], &Sample::granted)), "%.0f").c_str(),
                Cell(static_cast<double>(baselines[kCli].cpuUs) / 1000, "%.1f").c_str());
    std::printf("  %-18s %-22s %-6s %-19s %-9s %-13s %-14s %-24s %s\n", "receiver",
                "caught: median (min-max)", "ratio", "CPU/answer us", "CPU x", "faults/answer",
                "longest stall", "last answer->complete ms", "kernel drops");
    const double limit = Median(column(samples[kLimit], &Sample::caught));
    // "median (min-max)" of a column.
    const auto spread = [](const std::vector<double>& v, const char* format) {
        std::vector<double> known;
        std::copy_if(v.begin(), v.end(), std::back_inserter(known),
                     [](double x) { return !std::isnan(x); });
        if (known.empty())
            return std::string("-");
        const auto [lo, hi] = std::minmax_element(known.begin(), known.end());
        return Cell(Median(known), format) + " (" + Cell(*lo, format) + "-" + Cell(*hi, format) +
               ")";
    };
    for (int r = 0; r < ReceiverCount(); ++r) {
        const auto caught = column(samples[r], &Sample::caught);
        const auto cpu = column(samples[r], &Sample::cpuPerAnswerUs);
        // Each run's CPU against the limit's in the same round: the machine's state swings
        // both alike, so the ratio holds steadier than either.
        std::vector<double> timesLimit;
        for (std::size_t run = 0; run < cpu.size(); ++run)
            timesLimit.push_back(cpu[run] / samples[kLimit][run].cpuPerAnswerUs);
        std::printf("  %-18s %-22s %-6s %-19s %-9s %-13s %-14s %-24s %s\n", kReceiverNames[r],
                    spread(caught, "%.0f").c_str(),
                    Cell(limit > 0 ? Median(caught) / limit : NAN, "%.2f").c_str(),
                    spread(cpu, "%.2f").c_str(), Cell(Median(timesLimit), "%.2f").c_str(),
                    Cell(Median(column(samples[r], &Sample::faultsPerAnswer)), "%.3f").c_str(),
                    Cell(Median(column(samples[r], &Sample::stallMs)), "%.1f ms").c_str(),
                    Cell(Median(column(samples[r], &Sample::completeMs)), "%.1f").c_str(),
                    Cell(Median(column(samples[r], &Sample::drops)), "%.0f").c_str());
    }
    if (!g_compareDir.empty())
        PrintPaired(samples);
    std::fflush(stdout);
}

std::string FirstLineOf(const char* path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

} // namespace
} // namespace vrel::bench

int main(int argc, char** argv) {
    using namespace vrel::bench;
    // The one option that is no number; taken out before the numeric ones are read.
    std::vector<char*> args(argv, argv + argc);
    for (auto it = args.begin() + 1; it != args.end() && it + 1 != args.end(); ++it) {
        if (std::string(*it) == "--compare-bin") {
            g_compareDir = *(it + 1);
            args.erase(it, it + 2);
            break;
        }
    }
    argc = static_cast<int>(args.size());
    argv = args.data();
    Options opt(
        {{"answers", 10000}, {"senders", 8}, {"runs", 5}, {"window-ms", 3000}, {"case", 0}});
    if (!opt.Parse(argc, argv) || !RequireSandbox("vrel-bench"))
        return 2;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    g_binDir = self.substr(0, self.rfind('/'));
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const Setup setup{std::max<std::int64_t>(opt["answers"], 1), opt["senders"], opt["window-ms"]};
    const int runs = static_cast<int>(std::clamp<std::int64_t>(opt["runs"], 1, 50));

    std::printf("machine: %u cores, %s; load average %s; net.core.rmem_max %s\n",
                std::thread::hardware_concurrency(), FirstLineOf("/proc/meminfo").c_str(),
                FirstLineOf("/proc/loadavg").c_str(),
                FirstLineOf("/proc/sys/net/core/rmem_max").c_str());
    const Case cases[] = {{"in one burst", 0, 8 * 1024 * 1024}, {"over 200 ms", 200, 212992}};
    for (int k = 0; k < 2; ++k)
        if (opt["case"] == 0 || opt["case"] == k + 1)
            RunCase(setup, cases[k], runs);
    return 0;
}
