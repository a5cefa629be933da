#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <string>
#include <vector>

namespace vrel::test {

// A host with several segments of simulated devices, built by tools/netlab in this test's
// private namespace: segment N is the host link "labN" (172.31.N.1/24) with vrel-sim in a
// device namespace of its own behind it. Torn down when the object goes.
class NetLab {
public:
    // segments: the device-file rows (after the header) of each segment, "" for a segment
    // without devices. route: "none", "lo" or a segment number, as tools/netlab takes it.
    // Waits up to 20 s for the lab; then VREL_NETLAB_STAMP names its stamp, so that the
    // network sandbox check accepts this namespace.
    NetLab(const std::vector<std::string>& segments, const QString& route);
    ~NetLab();
    NetLab(const NetLab&) = delete;
    NetLab& operator=(const NetLab&) = delete;

    bool Ready() const { return ready_; }
    // What tools/netlab printed, for failure messages.
    std::string Output();
    // The request lines segment n's simulator logged so far.
    std::vector<std::string> RequestLines(int segment) const;
    // Runs ip with args in this namespace; true on exit code 0. Refuses (false) unless the
    // lab stands and the namespace passes the sandbox check, so a test run outside the
    // sandbox can never change the host's links or routes.
    bool Ip(const QStringList& args) const;

private:
    QTemporaryDir dir_;
    QProcess process_;
    std::string output_;
    bool ready_ = false;
};

} // namespace vrel::test
