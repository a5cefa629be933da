#pragma once

#include <cstdint>
#include <map>
#include <string>

struct rusage;

namespace vrel::bench {

// CLOCK_MONOTONIC in nanoseconds: one clock for every process of a run, so a generator's
// last send and a receiver's last arrival can be subtracted.
std::int64_t NowNs();

// What a process used: user plus system CPU time in microseconds, and the page faults that
// needed no disk, each a fresh page of memory, which on a virtual machine costs far more than
// the code touching it.
struct Usage {
    std::int64_t cpuUs = 0;
    std::int64_t faults = 0;

    Usage operator-(const Usage& before) const {
        return {cpuUs - before.cpuUs, faults - before.faults};
    }
};
Usage UsageOf(const rusage& ru);
// What this process has used so far.
Usage SelfUsage();

// False, with a line on stderr, unless the only network interface is loopback: the bench
// sends broadcasts and bursts that must never reach a real network.
bool RequireSandbox(const char* program);

// "--name value" pairs with integer values; every name must be one of the defaults given.
class Options {
public:
    explicit Options(std::map<std::string, std::int64_t> defaults) : values_(std::move(defaults)) {}
    // False, with a line on stderr, for an unknown name, a missing or non-numeric value.
    bool Parse(int argc, char** argv);
    std::int64_t operator[](const std::string& name) const { return values_.at(name); }

private:
    std::map<std::string, std::int64_t> values_;
};

// One result line, "name=value name=value ...", as the bench programs print and read them.
using Fields = std::map<std::string, double>;
Fields ParseFields(const std::string& line);

} // namespace vrel::bench
