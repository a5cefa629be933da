#include "KvVRELRequest2Controls.h"

#include "ErrorDisplay.h"
#include "EventWait.h"
#include "FormatSettings.h"
#include "MessageBox.h"
#include "Messages.h"
#include "StatusPanel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTime>

#include <algorithm>
#include <cstdio>

namespace vrel {

namespace {

constexpr int kWaitMs = 6000;
// A small Discover shows at once; the rest of a burst goes in time-bounded batches, so that the
// view redraws a few times a second and never holds the window for long.
constexpr int kRowsAtOnce = 64;
constexpr int kFlushIntervalMs = 25;
constexpr qint64 kBatchBudgetNs = 3'000'000;
constexpr std::size_t kRowsPerSlice = 256; // rows between two readings of the clock

// f(name, value) per column of a result row: the fields of structured variables, the others.
template <class F> void ForEachRowValue(const KvVRELVarList& vars, F f) {
    for (int i = 0; i < vars.count(); ++i) {
        const KvVRELVar& var = vars.at(i);
        if (var.responseVars) {
            for (int k = 0; k < var.responseVars->count(); ++k)
                f(var.responseVars->at(k).name, var.responseVars->at(k).value);
        } else if (var.readable()) {
            f(var.name, var.value);
        }
    }
}

// "hh:nn:ss ampm" in the locale's time separator and designators.
std::string LogClockTime() {
    const FormatSettings& fs = CurrentFormatSettings();
    const QTime now = QTime::currentTime();
    const int hour12 = now.hour() % 12 == 0 ? 12 : now.hour() % 12;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d%c%02d%c%02d ", hour12, fs.timeSeparator, now.minute(),
                  fs.timeSeparator, now.second());
    return buf + (now.hour() < 12 ? fs.amText : fs.pmText);
}

} // namespace

KvVRELRequest2Controls::KvVRELRequest2Controls(QWidget* ownerWindow)
    : owner(ownerWindow),
      discovery_(request,
                 {
                     [this](const Device& device) { OnDevice(device); },
                     [this](const Device& listed, const Device& other) {
                         Log(ConflictText(listed, other) + " at " + LogClockTime());
                     },
                     [](const std::string&, const std::string& message) { ShowError(message); },
                     [this](int) {
                         EndCommand(kDiscover);
                         --outstanding;
                         TellProgress(DiscoverEvent::Ended);
                     },
                     [this] { OnResult(kDiscover); },
                 }) {}

KvVRELRequest2Controls::~KvVRELRequest2Controls() { WaitForOutstanding(); }

void KvVRELRequest2Controls::WaitForOutstanding() {
    if (waited_)
        return;
    waited_ = true;
    // Without the shared client no completion can come: its requests were dropped with it.
    const std::int64_t start = KvVRELClient::TickCount();
    while (outstanding != 0 && KvVRELRequest::SharedClient() != nullptr &&
           KvVRELClient::TickCount() - start < kWaitMs)
        ProcessEventsFor(20);
}

void KvVRELRequest2Controls::Log(const std::string& text) {
    QWidget* target = logTarget.data();
    if (auto* memo = qobject_cast<QPlainTextEdit*>(target))
        memo->appendPlainText(QString::fromLatin1(text));
    else if (auto* bar = qobject_cast<QStatusBar*>(target))
        bar->showMessage(QString::fromLatin1(text));
    else if (auto* panel = qobject_cast<StatusPanel*>(target))
        panel->setText(QString::fromLatin1(text));
}

void KvVRELRequest2Controls::RunCommand(std::uint8_t command) {
    BeginCommand(command);
    ++outstanding;
    // A Get can outlast the destructor's wait (a Discover's go through discovery_).
    const std::weak_ptr<int> token = alive_;
    try {
        if (command == kDiscover) {
            discovery_.Start();
        } else {
            request.GetAsync([token, this](const KvVRELError& e, KvVRELVarList& vars) {
                if (!token.expired())
                    OnGetDone(e, vars);
            });
        }
    } catch (...) {
        --outstanding; // no completion will come for a request that was never sent
        throw;
    }
}

std::string KvVRELRequest2Controls::LogLine(std::uint8_t command,
                                            const std::string& message) const {
    std::string line = LogFormat(command == kDiscover ? kLogDiscover : kLogGet);
    line = ReplaceAll(line, "[ERROR]", message);
    line = ReplaceAll(line, "[VARLIST]", request.variables.name);
    return ReplaceAll(line, "[TIME]", LogClockTime());
}

void KvVRELRequest2Controls::OnGetDone(const KvVRELError& completion, KvVRELVarList& variables) {
    request.variables.assign(variables);
    const std::string line = LogLine(completion.command, completion.message);
    // The command has ended whatever a result handler or message box below raises.
    const std::unique_ptr<int, void (*)(int*)> ender(&outstanding, [](int* count) { --*count; });
    if (completion.code == 0) {
        if (request.CheckResponse())
            OnResult(completion.command);
        EndCommand(completion.command);
        Log(line);
    } else if (logTarget) {
        Log(line);
    } else {
        const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        ShowMessageBox(owner, completion.message, exe.toStdString());
    }
}

KvVRELRequest2Edits::KvVRELRequest2Edits(QWidget* ownerWindow)
    : KvVRELRequest2Controls(ownerWindow), editConstraints{ownerWindow, 1} {
    batchTimer_.setSingleShot(true);
    QObject::connect(&batchTimer_, &QTimer::timeout, [this] { FlushBatch(); });
}

KvVRELRequest2Edits::~KvVRELRequest2Edits() {
    // While this class's overrides are in place: no completion reaches a half-destroyed one.
    WaitForOutstanding();
    if (listView && listView->OnSelectItem)
        listView->OnSelectItem = previousSelectHandler;
}

void KvVRELRequest2Edits::AttachListView(ReportListView* view) {
    listView = view;
    if (view == nullptr)
        return;
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    previousSelectHandler = view->OnSelectItem;
    const std::weak_ptr<int> token = alive_;
    view->OnSelectItem = [this, token](QObject* sender, int row, bool selected) {
        if (!token.expired())
            SelectItem(sender, row, selected);
    };
}

void KvVRELRequest2Edits::ClearRows() {
    if (listView)
        listView->clear();
    // The index goes with the rows: a device listed before the clear is listed again.
    discovery_.Index().Clear();
    waiting_.clear();
}

std::optional<Device> KvVRELRequest2Edits::DeviceOf(int row) const {
    if (!listView || row < 0 || row >= listView->RowCount())
        return std::nullopt;
    const std::string& mac = listView->Rows().Row(row).mac;
    return mac.empty() ? std::nullopt : discovery_.Index().Find(mac);
}

void KvVRELRequest2Edits::FlushBatch() {
    shownSinceFlush_ = 0;
    QElapsedTimer clock;
    clock.start();
    while (listView && !waiting_.empty() && clock.nsecsElapsed() < kBatchBudgetNs) {
        const auto end = waiting_.begin() + std::min(waiting_.size(), kRowsPerSlice);
        listView->Rows().Append(
            {std::make_move_iterator(waiting_.begin()), std::make_move_iterator(end)});
        waiting_.erase(waiting_.begin(), end);
    }
    if (!waiting_.empty())
        batchTimer_.start(0);
    TellProgress(DiscoverEvent::RowsShown);
}

void KvVRELRequest2Edits::FlushRows() {
    while (!waiting_.empty())
        FlushBatch();
}

void KvVRELRequest2Edits::BuildColumns() {
    const int n = request.variables.readable_value_count();
    if (listView->columnCount() >= n)
        return;
    QStringList captions;
    ForEachRowValue(request.variables, [&](const std::string& name, const std::string&) {
        captions << QString::fromLatin1(name);
    });
    // The rows stay: a repeating presenter adds to the rows of earlier commands.
    listView->setHeaderLabels(captions);
    // New sections size interactively, as a reset header makes them: no automatic sizing.
    for (int c = 0; c < captions.size(); ++c)
        listView->setColumnWidth(c, listView->fontMetrics().horizontalAdvance(captions[c] + "LR"));
}

void KvVRELRequest2Edits::BeginCommand(std::uint8_t) {
    if (!listView)
        return;
    BuildColumns();
    ClearRows();
}

void KvVRELRequest2Edits::ShowResult(const Device* device) {
    if (!listView) {
        FillControls();
        return;
    }
    ReportRow row;
    ForEachRowValue(request.variables,
                    [&](const std::string&, const std::string& value) { row.AddCell(value); });
    if (device) {
        // A view with a column beyond the values shows where the answer arrived.
        if (listView->columnCount() > static_cast<int>(row.CellCount()))
            row.AddCell(device->interfaceName);
        row.mac = device->macAddress;
    }
    if (waiting_.empty() && shownSinceFlush_ < kRowsAtOnce) {
        ++shownSinceFlush_;
        std::vector<ReportRow> one;
        one.push_back(std::move(row));
        listView->Rows().Append(std::move(one));
        TellProgress(DiscoverEvent::RowsShown);
    } else {
        waiting_.push_back(std::move(row));
    }
    if (!batchTimer_.isActive())
        batchTimer_.start(kFlushIntervalMs);
}

void KvVRELRequest2Edits::RowToValues() {
    const int row = listView ? listView->Selected() : -1;
    if (row < 0)
        return;
    const ReportRow& cells = listView->Rows().Row(row);
    std::size_t k = 0;
    KvVRELVarList& vars = request.variables;
    for (int i = 0; i < vars.count(); ++i) {
        KvVRELVar& var = vars.at(i);
        if (var.responseVars) {
            k += static_cast<std::size_t>(var.responseVars->count());
        } else if (var.readable()) {
            var.value = cells.Cell(k++);
        }
    }
}

void KvVRELRequest2Edits::SelectItem(QObject* sender, int row, bool selected) {
    if (previousSelectHandler)
        previousSelectHandler(sender, row, selected);
    if (selected) {
        RowToValues();
        FillControls();
    }
}

void KvVRELRequest2Edits::CollectValues() {
    for (int i = 0; i < request.variables.count(); ++i)
        request.variables.at(i).value.clear();
    RowToValues();
    ReadControls();
}

} // namespace vrel
