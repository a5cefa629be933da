#pragma once

#include "KvVRELClient.h"

#include <chrono>
#include <functional>
#include <vector>

namespace vrel::test {

// Keeps every completion a client hands to a callback, with the moment it arrived and how many
// requests the client still had pending at that moment.
class CompletionRecorder {
public:
    struct Call {
        KvVRELError record;
        KvVRELVarList vars;
        std::chrono::steady_clock::time_point at;
        int pendingAtCall = -1;
    };

    explicit CompletionRecorder(const KvVRELClient* client = nullptr) : client_(client) {}

    // A callback that records and then runs then (which may throw or run an event loop).
    VrelCompletion Callback(std::function<void(const KvVRELError&)> then = {}) {
        return [this, then](const KvVRELError& e, KvVRELVarList& vars) {
            calls.push_back({e, vars, std::chrono::steady_clock::now(),
                             client_ ? client_->PendingCount() : -1});
            if (then)
                then(e);
        };
    }

    std::vector<int> Codes() const {
        std::vector<int> codes;
        for (const auto& c : calls)
            codes.push_back(c.record.code);
        return codes;
    }

    std::size_t Count() const { return calls.size(); }

    std::vector<Call> calls;

private:
    const KvVRELClient* client_;
};

// Milliseconds from since to the arrival of a call, as a fraction.
inline double MsBetween(std::chrono::steady_clock::time_point since,
                        std::chrono::steady_clock::time_point at) {
    return std::chrono::duration<double, std::milli>(at - since).count();
}

} // namespace vrel::test
