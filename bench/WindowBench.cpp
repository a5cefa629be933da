// vrel-bench-window: the window's Discover path without the window around it: the presenter
// with its report list view and memo, shown (offscreen by default), running one Discover as
// the Discover button does. A 1 ms heartbeat timer watches the event loop: the longest gap
// between two beats is the longest stall, and the beat that first sees the final row count
// dates the complete table. Prints one line of measured fields.
#include "BenchSupport.h"
#include "ReportListView.h"
#include "KvVRELRequest2Controls.h"
#include "DeviceDiscovery.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QPlainTextEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace vrel::bench {
namespace {

constexpr std::int64_t kSettleNs = 250'000'000;

int Run(const Options& opt) {
    QWidget owner;
    auto* layout = new QVBoxLayout(&owner);
    auto* view = new ReportListView(&owner);
    auto* memo = new QPlainTextEdit(&owner);
    memo->setReadOnly(true);
    layout->addWidget(view);
    layout->addWidget(memo);
    owner.resize(640, 480);
    owner.show();

    KvVRELRequest::SetUp(&owner);
    KvVRELRequest2EditsRepeat presenter(&owner);
    presenter.SetLogTarget(memo);
    PrepareDiscover(presenter.request);
    presenter.AttachListView(view);
    QApplication::processEvents();

    const auto expect = static_cast<int>(opt["expect"]);
    const Usage start = SelfUsage();
    Usage atComplete;
    std::int64_t lastBeat = NowNs();
    std::int64_t longestStall = 0, completeNs = 0, endedNs = 0;
    int rows = 0;
    presenter.ClearRows();
    presenter.request.timeout = static_cast<std::uint32_t>(opt["window-ms"] / 10);
    presenter.RunCommand(kDiscover);

    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    beat.setInterval(1);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const std::int64_t now = NowNs();
        longestStall = std::max(longestStall, now - lastBeat);
        lastBeat = now;
        const int shown = view->model()->rowCount();
        if (shown != rows) {
            rows = shown;
            completeNs = now;
            atComplete = SelfUsage();
        }
        // Rows may still be on their way from the event loop after the answer window closed.
        if (presenter.outstanding > 0)
            endedNs = 0;
        else if (endedNs == 0)
            endedNs = now;
        if (rows >= expect || (endedNs > 0 && now - std::max(endedNs, completeNs) > kSettleNs))
            QApplication::quit();
    });
    beat.start();
    QApplication::exec();

    std::printf("caught=%d cpu_us=%lld faults=%lld stall_us=%lld complete_ns=%lld\n", rows,
                static_cast<long long>(rows > 0 ? (atComplete - start).cpuUs : 0),
                static_cast<long long>(rows > 0 ? (atComplete - start).faults : 0),
                static_cast<long long>(longestStall / 1000), static_cast<long long>(completeNs));
    std::fflush(stdout);
    // Skip the presenter's and the client's shutdown waits for a Discover still pending.
    std::_Exit(0);
}

} // namespace
} // namespace vrel::bench

int main(int argc, char** argv) {
    vrel::bench::Options opt({{"expect", 1'000'000}, {"window-ms", 3000}});
    if (!opt.Parse(argc, argv))
        return 2;
    if (!vrel::bench::RequireSandbox("vrel-bench-window"))
        return 2;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    return vrel::bench::Run(opt);
}
