#pragma once

#include "ControlBinding.h"
#include "DeviceDiscovery.h"
#include "KvEditConstraint.h"
#include "KvVRELRequest.h"
#include "ReportListView.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vrel {

// Runs Discover and Get for a window and logs what comes back.
class KvVRELRequest2Controls {
public:
    explicit KvVRELRequest2Controls(QWidget* owner);
    // Waits up to 6 s, processing events, for outstanding commands.
    virtual ~KvVRELRequest2Controls();
    KvVRELRequest2Controls(const KvVRELRequest2Controls&) = delete;
    KvVRELRequest2Controls& operator=(const KvVRELRequest2Controls&) = delete;

    void SetLogTarget(QWidget* control) { logTarget = control; }
    void Log(const std::string& text); // appends to a memo, sets a status bar's or panel's text
    // 1 runs Discover, anything else Get. Throws the send failure; nothing is then outstanding.
    void RunCommand(std::uint8_t command);

    void OnDiscoverDone(const KvVRELError& completion, KvVRELVarList& variables) {
        discovery_.OnCompletion(completion, variables);
    }
    void OnGetDone(const KvVRELError& completion, KvVRELVarList& variables);

    virtual void BeginCommand(std::uint8_t) {}
    virtual void Reserved1() {}
    virtual void OnResult(std::uint8_t command) = 0;
    virtual void CollectValues() {}
    virtual void EndCommand(std::uint8_t) {}
    virtual void Reserved2() {}

    KvVRELRequest request;
    // What a window hears of a Discover: rows were shown, or the answer window has closed.
    enum class DiscoverEvent { RowsShown, Ended };
    std::function<void(DiscoverEvent)> OnDiscoverProgress;
    QPointer<QWidget> owner;
    QPointer<QWidget> logTarget;
    int outstanding = 0;

protected:
    // The log line of a completion: the template with "[ERROR]", "[VARLIST]" and "[TIME]".
    std::string LogLine(std::uint8_t command, const std::string& message) const;
    void WaitForOutstanding();
    void TellProgress(DiscoverEvent event) {
        if (OnDiscoverProgress)
            OnDiscoverProgress(event);
    }
    // A device a Discover found for the first time, its answer in request.variables.
    virtual void OnDevice(const Device&) { OnResult(kDiscover); }
    DeviceDiscovery discovery_;
    // Completions can outlive a presenter that gave up waiting: they hold this token weakly.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);

private:
    bool waited_ = false; // the wait happens once, in the most derived destructor that has it
};

// Adds a report list view (its selection copied back into the variables) and control bindings.
class KvVRELRequest2Edits : public KvVRELRequest2Controls {
public:
    explicit KvVRELRequest2Edits(QWidget* owner);
    ~KvVRELRequest2Edits() override;

    void AttachListView(ReportListView* view);
    void ClearRows();
    virtual void SelectItem(QObject* sender, int row, bool selected);

    void BeginCommand(std::uint8_t command) override;
    void OnResult(std::uint8_t) override { ShowResult(nullptr); }
    void CollectValues() override;

    std::optional<Device> DeviceOf(int row) const; // the device a Discover's row shows, or none
    // Devices of the Discovers since the last ClearRows, rows waiting to be shown included.
    DeviceIndex& Devices() { return discovery_.Index(); }
    void FlushRows();

    void FillControls();
    void ReadControls();

    ReportListView::SelectHandler previousSelectHandler;
    QPointer<ReportListView> listView;
    std::vector<ControlBinding> bindings;
    KvEditConstraint editConstraints;

protected:
    void BuildColumns();
    // A row for the result in request.variables, or the bound controls filled without a view.
    void ShowResult(const Device* device);
    void OnDevice(const Device& device) override { ShowResult(&device); }
    void RowToValues();

private:
    void FlushBatch();

    // Rows of a burst beyond the first few, added in time-bounded batches from the event loop.
    std::deque<ReportRow> waiting_;
    int shownSinceFlush_ = 0; // rows shown directly since the last flush
    QTimer batchTimer_;
};

// The same, except that a new command keeps the rows already shown.
class KvVRELRequest2EditsRepeat : public KvVRELRequest2Edits {
public:
    using KvVRELRequest2Edits::KvVRELRequest2Edits;
    void BeginCommand(std::uint8_t) override {
        if (listView)
            BuildColumns();
    }
};

} // namespace vrel
