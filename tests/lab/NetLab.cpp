#include "NetLab.h"

#include "NetworkNamespace.h"
#include "NetworkSandbox.h"

#include <QDeadlineTimer>
#include <QFile>

namespace vrel::test {

namespace {

constexpr const char* kDeviceHeader =
    "productCode,modelName,macAddress,ipAddress,netmask,password\n";

} // namespace

NetLab::NetLab(const std::vector<std::string>& segments, const QString& route) {
    // tools/netlab refuses as well; a lab is never even started from the host's namespace.
    if (!dir_.isValid() || !OnlyLoopbackInterface())
        return;
    QStringList args{"--bin",   VREL_BIN_DIR,           "--default-route", route,
                     "--stamp", dir_.filePath("stamp"), "--logs",          dir_.path()};
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (segments[i].empty()) {
            args << "-";
            continue;
        }
        QFile file(dir_.filePath(QString("devices%1.csv").arg(i + 1)));
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write(kDeviceHeader);
        file.write(segments[i].data(), qint64(segments[i].size()));
        args << file.fileName();
    }
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start(VREL_SOURCE_DIR "/tools/netlab", args);
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired() && process_.state() != QProcess::NotRunning &&
           Output().find("netlab: ready") == std::string::npos)
        process_.waitForReadyRead(100);
    ready_ = Output().find("netlab: ready") != std::string::npos;
    if (ready_)
        qputenv("VREL_NETLAB_STAMP", dir_.filePath("stamp").toLocal8Bit());
}

NetLab::~NetLab() {
    if (ready_)
        qunsetenv("VREL_NETLAB_STAMP");
    // The lab takes itself down when its stdin closes.
    process_.closeWriteChannel();
    if (!process_.waitForFinished(10000)) {
        process_.kill();
        process_.waitForFinished(3000);
    }
}

std::string NetLab::Output() {
    output_ += process_.readAll().toStdString();
    return output_;
}

std::vector<std::string> NetLab::RequestLines(int segment) const {
    QFile log(dir_.filePath(QString("seg%1.log").arg(segment)));
    std::vector<std::string> lines;
    if (!log.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray& line : log.readAll().split('\n')) {
        if (line.contains(": ") && !line.contains("listening"))
            lines.push_back(line.toStdString());
    }
    return lines;
}

bool NetLab::Ip(const QStringList& args) const {
    if (!ready_ || !NetworkIsSandboxed())
        return false;
    QProcess ip;
    ip.start("ip", args);
    return ip.waitForFinished(5000) && ip.exitStatus() == QProcess::NormalExit &&
           ip.exitCode() == 0;
}

} // namespace vrel::test
