#pragma once

#include <QProcess>
#include <QStringList>

#include <string>
#include <vector>

namespace vrel::test {

// The vrel-sim executable on the device port, killed when the object goes. It logs a line
// per request unless started with --quiet.
class SimulatorProcess {
public:
    // Starts vrel-sim with args and waits up to 5 s for its ready line.
    explicit SimulatorProcess(const QStringList& args);
    ~SimulatorProcess();

    bool Ready() const { return ready_; }
    // All it wrote to stderr so far.
    std::string Log();
    // The request lines logged since the last call, up to and including the first that holds
    // marker (waiting up to 3 s for it); the marker line is the last element when it came.
    std::vector<std::string> RequestLinesUntil(const std::string& marker);
    // Makes RequestLinesUntil start behind every complete line logged so far.
    void SkipLogged();

private:
    void ReadAvailable();

    QProcess process_;
    std::string log_;
    std::size_t consumed_ = 0; // log_ offset up to which RequestLinesUntil has looked
    bool ready_ = false;
};

} // namespace vrel::test
