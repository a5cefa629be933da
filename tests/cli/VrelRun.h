#pragma once

#include <QStringList>

#include <optional>
#include <string>

namespace vrel::test {

// How to start one vrel command. VREL_PASSWORD of the caller's environment never leaks in.
struct VrelInput {
    std::optional<std::string> stdinText; // stdin is closed at once without it
    std::optional<std::string> passwordVariable;
    int killAfterMs = 10000;
};

inline VrelInput Stdin(std::string text, std::optional<std::string> variable = std::nullopt) {
    VrelInput input;
    input.stdinText = std::move(text);
    input.passwordVariable = std::move(variable);
    return input;
}

inline VrelInput Variable(std::string password) {
    VrelInput input;
    input.passwordVariable = std::move(password);
    return input;
}

// The outcome of one vrel command.
struct VrelRun {
    int exitCode = -1; // -1 when it crashed or had to be killed
    std::string out, err;
    qint64 elapsedMs = 0;
};

// Runs the built vrel with args and waits for it, killing it after input.killAfterMs.
VrelRun RunVrel(const QStringList& args, const VrelInput& input = {});

// For messages: the arguments, the exit code and both outputs.
std::string Describe(const QStringList& args, const VrelRun& run);

} // namespace vrel::test
