#include "SimulatorProcess.h"

#include <QElapsedTimer>

#include <regex>

namespace vrel::test {

namespace {

// A request line names the sender first: "vrel-sim: 127.0.0.1:40000: Set #1 to ...".
bool IsRequestLine(const std::string& line) {
    static const std::regex pattern(R"(^vrel-sim: \d+\.\d+\.\d+\.\d+:\d+: .*)");
    return std::regex_match(line, pattern);
}

} // namespace

SimulatorProcess::SimulatorProcess(const QStringList& args) {
    process_.setReadChannel(QProcess::StandardError); // it logs there only
    process_.start(VREL_BIN_DIR "/vrel-sim", args);
    if (!process_.waitForStarted(5000))
        return;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000 && process_.state() == QProcess::Running) {
        process_.waitForReadyRead(50);
        ReadAvailable();
        const auto ready = log_.find(" listening on port 64512");
        if (ready != std::string::npos && log_.find('\n', ready) != std::string::npos) {
            ready_ = true;
            consumed_ = log_.find('\n', ready) + 1;
            return;
        }
    }
    ReadAvailable();
}

SimulatorProcess::~SimulatorProcess() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(3000);
    }
}

void SimulatorProcess::ReadAvailable() {
    log_ += process_.readAllStandardError().toStdString();
}

std::string SimulatorProcess::Log() {
    ReadAvailable();
    return log_;
}

void SimulatorProcess::SkipLogged() {
    // Lines written before now may still sit in the pipe.
    while (process_.waitForReadyRead(20))
        ReadAvailable();
    ReadAvailable();
    const auto end = log_.rfind('\n');
    if (end != std::string::npos && end >= consumed_)
        consumed_ = end + 1;
}

std::vector<std::string> SimulatorProcess::RequestLinesUntil(const std::string& marker) {
    std::vector<std::string> lines;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        ReadAvailable();
        for (std::size_t end; (end = log_.find('\n', consumed_)) != std::string::npos;) {
            const std::string line = log_.substr(consumed_, end - consumed_);
            consumed_ = end + 1;
            if (!IsRequestLine(line))
                continue;
            lines.push_back(line);
            if (line.find(marker) != std::string::npos)
                return lines;
        }
        if (clock.elapsed() > 3000 || process_.state() != QProcess::Running)
            return lines;
        process_.waitForReadyRead(20);
    }
}

} // namespace vrel::test
