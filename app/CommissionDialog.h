#pragma once

#include "Device.h"
#include "ParallelSets.h"
#include "SitePlan.h"
#include "VerifiedSet.h"

#include <QDialog>
#include <QPointer>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace vrel {

// One device of a commissioning run: as it is listed now and what it is to become.
struct CommissionRow {
    Device current; // as listed; only its MAC address when the device was not found
    std::string ip, netmask;
    std::optional<std::string> password; // a plan's own; otherwise the dialog's password box
    std::string problem;                 // why the row is not sent; empty when it is
};

// Gives many devices their addresses at once, from a first address or a plan file, each row
// shown current -> new first; Cancel lets the Sets in flight finish and sends no further one.
class CommissionDialog : public QDialog {
    Q_OBJECT
public:
    // Each row's verdict, with the device as it was listed before its Set.
    using Verdict = std::function<void(const Device& before, const VerifiedSet::Target& target,
                                       const SetOutcome& outcome)>;

    // listed: every device the window lists; their addresses are taken and tell the current ones.
    CommissionDialog(QWidget* parent, KvVRELClient& client, DeviceList listed, Verdict verdict);

    // A range for these devices, numbered in the order given as the boxes say.
    void AssignTo(DeviceList selected);
    // The rows of a plan; any error of the plan leaves nothing to apply.
    void ShowPlan(const SitePlan& plan, const QString& fileName);

    bool Running() const { return sets_ != nullptr && !sets_->Done(); }
    int Finished() const { return sets_ ? static_cast<int>(sets_->Finished()) : 0; }

    QLineEdit* ED_First;
    QLineEdit* ED_Mask;
    QLineEdit* ED_Password;
    QTableWidget* TB_Preview;
    QLabel* LB_Problems;
    QProgressBar* PB_Progress;
    QPushButton* BT_Apply;
    QPushButton* BT_Cancel;
    int inFlight = ParallelSets::kDefaultInFlight;
    VerifiedSet::Options options;

signals:
    // Every row sent has its verdict, or the run was cancelled and the rows in flight have.
    void RunEnded();

public slots:
    // While Sets run: cancels (no further row is sent) instead of closing.
    void reject() override;

private:
    void PreviewRange();
    void ShowRows();
    void Apply();
    void OnRowDone(std::size_t row, const SetOutcome& outcome);
    void OnRunEnded();
    void SetRowVerdict(std::size_t row, const QString& text, const QColor& colour);

    KvVRELClient& client_;
    DeviceList listed_;
    Verdict verdict_;
    DeviceList selected_;
    std::vector<CommissionRow> rows_;
    std::vector<std::string> problems_;
    std::vector<std::size_t> sentRows_; // the row of each Set, in the order sent
    QPointer<ParallelSets> sets_;
    bool plan_ = false; // rows from a plan file, not numbered from the boxes
};

// A verdict's background: green: holds the new address, yellow: took it unseen, red: not taken.
QColor VerdictColour(SetVerdict verdict);

} // namespace vrel
