#pragma once

#include "CommissionDialog.h"
#include "JournalDialog.h"
#include "ReportListView.h"
#include "KvVRELClient.h"
#include "KvVRELRequest2Controls.h"
#include "VerifiedSet.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

namespace vrel {

// The main window: Discover fills the table, Set writes a device's IP address and netmask.
class TTheVrel : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "VREL Configuration";

    // destination: where requests go (the limited broadcast unless a test or host says else)
    explicit TTheVrel(QWidget* parent = nullptr,
                      const QHostAddress& destination = QHostAddress::Broadcast);
    ~TTheVrel() override;

    QWidget* Panel1;
    QWidget* Panel2;
    QPushButton* BT_Discover;
    QPushButton* BT_Set;
    QPushButton* BT_Close;
    ReportListView* LV_Vrel;
    QWidget* Panel3;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLineEdit* ED_Mac;
    QLineEdit* ED_Mod;
    QLineEdit* ED_IP;
    QLineEdit* ED_Net;
    QPlainTextEdit* Memo_Info;
    QLabel* Label5;
    QLineEdit* ED_Pass;
    QMenu* PopupMenu1;
    QAction* Clear1;
    QPushButton* BT_Test;
    QComboBox* ComboBox1;
    QLabel* Label6;
    QLabel* LB_Status; // whether a Discover runs, how many devices it found, when it ended
    QPushButton* BT_Assign;
    QPushButton* BT_Plan;
    QPushButton* BT_Export;
    QPushButton* BT_Journal;
    QAction* Assign1; // the table's context menu
    QLineEdit* ED_Filter; // shows only the rows with this text in a cell

    // Columns of the table the window writes into.
    static constexpr int kIpColumn = 3;
    static constexpr int kNetmaskColumn = 4;
    static constexpr int kStatusColumn = 6;

    KvVRELRequest2EditsRepeat* DiscoverPresenter() const { return discoverPresenter_.get(); }
    KvVRELClient* SetClient() const { return setClient_; }
    const std::optional<QStringList>& IniLines() const { return iniLines_; }

    void FormCreate();
    void BT_DiscoverClick();
    void LV_VrelClick();
    void BT_SetClick();
    void OnSetFinished(const VerifiedSet::Target& target, const SetOutcome& outcome);
    void MarkConflicts();
    DeviceList SelectedDevices() const; // of the rows shown, in the order shown
    void BT_AssignClick();
    void BT_PlanClick();
    void OpenPlan(const QString& path);
    void BT_ExportClick();
    // The table as CSV; a message for the user when it cannot be written.
    std::optional<std::string> ExportTo(const QString& path) const;
    void BT_JournalClick();
    CommissionDialog* Commission() const { return commission_; }
    JournalDialog* JournalView() const { return journal_; }
    void FilterRows(int first, int last);
    void Clear1Click();
    void BT_CloseClick();
    void FormClose();
    void BT_TestClick();
    void LV_VrelDblClick();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void BuildPanels();
    void BuildEditPanel();
    void RestoreLayout();
    // Whether the boxes' address may be sent; one only implausible if the user says so.
    bool AddressAccepted();
    CommissionDialog* NewCommission(); // none while a run goes on
    // A Set's verdict in the journal and in the device's row, with its new address if taken.
    void RecordVerdict(const Device& before, const VerifiedSet::Target& target,
                       const SetOutcome& outcome);
    void ConnectControls();
    void AppendMemo(const std::string& line);
    void ShowDiscoverStatus();
    void WatchDiscoverDrops();
    void NameFailedSends(const KvVRELClient& client, const std::string& what);

    QHostAddress destination_;
    KvVRELClient* setClient_ = nullptr; // child of the window
    std::unique_ptr<KvVRELRequest2EditsRepeat> discoverPresenter_;
    std::optional<QStringList> iniLines_;
    bool centred_ = false;
    bool discoverRan_ = false;
    bool discoverRunning_ = false;
    std::string discoverEnded_; // time of day the last Discover ended
    std::uint64_t reportedDrops_ = 0; // the shared client's kernel drops already in the memo
    QTimer conflictTimer_;
    QPointer<CommissionDialog> commission_;
    QPointer<JournalDialog> journal_;
};

} // namespace vrel
