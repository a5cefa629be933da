#include "BenchSupport.h"

#include "NetworkNamespace.h"

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sstream>

namespace vrel::bench {

std::int64_t NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

Usage UsageOf(const rusage& ru) {
    const auto us = [](const timeval& tv) {
        return static_cast<std::int64_t>(tv.tv_sec) * 1'000'000 + tv.tv_usec;
    };
    return {us(ru.ru_utime) + us(ru.ru_stime), ru.ru_minflt};
}

Usage SelfUsage() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return UsageOf(ru);
}

bool RequireSandbox(const char* program) {
    if (OnlyLoopbackInterface())
        return true;
    std::fprintf(stderr,
                 "%s: refusing to run outside a private network namespace; "
                 "start it through tools/netns-run\n",
                 program);
    return false;
}

bool Options::Parse(int argc, char** argv) {
    for (int i = 1; i < argc; i += 2) {
        const std::string arg = argv[i];
        const auto it = arg.rfind("--", 0) == 0 ? values_.find(arg.substr(2)) : values_.end();
        char* end = nullptr;
        if (it == values_.end() || i + 1 >= argc ||
            (it->second = std::strtoll(argv[i + 1], &end, 10),
             *end != '\0' || end == argv[i + 1])) {
            std::fprintf(stderr, "%s: bad option %s; options:", argv[0], arg.c_str());
            for (const auto& [name, value] : values_)
                std::fprintf(stderr, " --%s N (%lld)", name.c_str(), static_cast<long long>(value));
            std::fprintf(stderr, "\n");
            return false;
        }
    }
    return true;
}

Fields ParseFields(const std::string& line) {
    Fields fields;
    std::istringstream in(line);
    for (std::string word; in >> word;) {
        const auto eq = word.find('=');
        if (eq != std::string::npos)
            fields[word.substr(0, eq)] = std::strtod(word.c_str() + eq + 1, nullptr);
    }
    return fields;
}

} // namespace vrel::bench
