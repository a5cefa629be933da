#include "CommissionDialog.h"

#include "AddressRange.h"
#include "DeviceAddress.h"

#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace vrel {

namespace {

enum Column { kMacColumn, kModelColumn, kCurrentColumn, kNewColumn, kVerdictColumn, kColumns };

const QColor kRefusedColour(255, 214, 204);

std::string Text(const QLineEdit* edit) {
    return edit->text().toLatin1().toStdString();
}

QString AddressText(const std::string& ip, const std::string& netmask) {
    return ip.empty() ? QString() : QString::fromLatin1(ip + "/" + netmask);
}

// The range for the longest run of devices, from the first, that fits the subnet: numbering
// is in order, so a device's address does not depend on the devices after it.
RangePlan FittingRange(const std::vector<const Device*>& devices, std::uint32_t from,
                       std::uint32_t mask, const DeviceList& taken) {
    const auto first = [&](std::size_t count) {
        return AssignRange({devices.begin(), devices.begin() + static_cast<std::ptrdiff_t>(count)},
                           from, mask, taken);
    };
    if (RangePlan all = first(devices.size()); all.error.empty())
        return all;
    std::size_t fits = 0, fails = devices.size(); // so many are known to fit, and not to
    while (fails - fits > 1) {
        const std::size_t middle = (fits + fails) / 2;
        (first(middle).error.empty() ? fits : fails) = middle;
    }
    return first(fits);
}

} // namespace

QColor VerdictColour(SetVerdict verdict) {
    if (verdict == SetVerdict::kVerified || verdict == SetVerdict::kAppliedAnswerLost)
        return QColor(214, 245, 214);
    return VerdictSucceeded(verdict) ? QColor(255, 244, 200) : kRefusedColour;
}

CommissionDialog::CommissionDialog(QWidget* parent, KvVRELClient& client,
                                   DeviceList listed, Verdict verdict)
    : QDialog(parent), client_(client), listed_(std::move(listed)), verdict_(std::move(verdict)) {
    setObjectName("CommissionDialog");
    ED_First = new QLineEdit(this);
    ED_Mask = new QLineEdit("255.255.255.0", this);
    ED_Password = new QLineEdit(this);
    ED_Password->setEchoMode(QLineEdit::Password);
    auto* form = new QFormLayout;
    form->addRow("First IP address", ED_First);
    form->addRow("NetMask", ED_Mask);
    form->addRow("Password", ED_Password);

    TB_Preview = new QTableWidget(0, kColumns, this);
    TB_Preview->setHorizontalHeaderLabels({"Mac Address", "Module Name", "Current", "New", "Verdict"});
    TB_Preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TB_Preview->verticalHeader()->hide();
    TB_Preview->horizontalHeader()->setStretchLastSection(true);
    LB_Problems = new QLabel(this);
    LB_Problems->setWordWrap(true);
    LB_Problems->setTextInteractionFlags(Qt::TextSelectableByMouse);
    PB_Progress = new QProgressBar(this);
    PB_Progress->setValue(0);
    BT_Apply = new QPushButton("Apply", this);
    BT_Apply->setEnabled(false);
    BT_Cancel = new QPushButton("Cancel", this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(PB_Progress, 1);
    buttons->addWidget(BT_Apply);
    buttons->addWidget(BT_Cancel);

    auto* column = new QVBoxLayout(this);
    column->addLayout(form);
    column->addWidget(TB_Preview, 1);
    column->addWidget(LB_Problems);
    column->addLayout(buttons);

    connect(ED_First, &QLineEdit::textChanged, this, &CommissionDialog::PreviewRange);
    connect(ED_Mask, &QLineEdit::textChanged, this, &CommissionDialog::PreviewRange);
    connect(BT_Apply, &QPushButton::clicked, this, &CommissionDialog::Apply);
    connect(BT_Cancel, &QPushButton::clicked, this, &CommissionDialog::reject);
    resize(640, 420);
}

void CommissionDialog::AssignTo(DeviceList selected) {
    setWindowTitle("Assign addresses");
    selected_ = std::move(selected);
    plan_ = false;
    PreviewRange();
}

// A group MAC is never sent a Set: it gets no address and takes none of the range.
void CommissionDialog::PreviewRange() {
    if (plan_)
        return;
    rows_.clear();
    problems_.clear();
    std::vector<const Device*> numbered;
    for (const Device& device : selected_) {
        CommissionRow row{device, {}, {}, {}, GroupMacProblem(device.macAddress)};
        if (row.problem.empty())
            numbered.push_back(&device);
        rows_.push_back(std::move(row));
    }
    const auto refusal = CheckDeviceAddress(Text(ED_First), Text(ED_Mask));
    if (ED_First->text().isEmpty()) {
        problems_.push_back("Type the first IP address of the range.");
    } else if (refusal) {
        problems_.push_back((refusal->field == AddressRefusal::kIpAddress ? "First IP address: "
                                                                          : "NetMask: ") +
                            refusal->reason);
    } else {
        const std::uint32_t mask = *ParseNetmask(Text(ED_Mask));
        const RangePlan plan =
            FittingRange(numbered, *ParseDottedQuad(Text(ED_First)), mask, listed_);
        for (CommissionRow& row : rows_) {
            const auto at = std::ranges::find(plan.rows, MacKey(row.current.macAddress),
                                              [](const RangeRow& r) { return MacKey(r.mac); });
            if (at != plan.rows.end()) {
                row.ip = FormatDottedQuad(at->ip);
                row.netmask = FormatDottedQuad(mask);
            } else if (row.problem.empty()) {
                row.problem = "out of subnet: no free address left after the range";
            }
        }
    }
    ShowRows();
}

void CommissionDialog::ShowPlan(const SitePlan& plan, const QString& fileName) {
    setWindowTitle("Plan " + QFileInfo(fileName).fileName());
    plan_ = true;
    // The plan has the addresses; the password box stays for rows without a password.
    if (auto* form = findChild<QFormLayout*>()) {
        form->setRowVisible(ED_First, false);
        form->setRowVisible(ED_Mask, false);
    }
    rows_.clear();
    problems_ = plan.errors;
    std::ranges::move(AddressesTakenOutside(plan, listed_), std::back_inserter(problems_));
    for (const PlanRow& p : plan.rows) {
        CommissionRow row{{}, p.ip, p.netmask, p.password, {}};
        row.current.macAddress = p.mac;
        const auto listed = std::ranges::find(listed_, MacKey(p.mac),
                                              [](const Device& d) { return MacKey(d.macAddress); });
        if (listed != listed_.end())
            row.current = *listed;
        else
            row.problem = "not found: Discover first";
        rows_.push_back(std::move(row));
    }
    ShowRows();
}

void CommissionDialog::ShowRows() {
    TB_Preview->setRowCount(static_cast<int>(rows_.size()));
    bool anySendable = false;
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        const CommissionRow& row = rows_[r];
        const QString cells[kColumns] = {
            QString::fromLatin1(row.current.macAddress), QString::fromLatin1(row.current.modelName),
            AddressText(row.current.ipAddress, row.current.netmask),
            AddressText(row.ip, row.netmask), QString::fromLatin1(row.problem)};
        for (int c = 0; c < kColumns; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (!row.problem.empty())
                item->setBackground(kRefusedColour);
            TB_Preview->setItem(static_cast<int>(r), c, item);
        }
        anySendable = anySendable || (row.problem.empty() && !row.ip.empty());
    }
    TB_Preview->resizeColumnsToContents();
    BT_Apply->setEnabled(anySendable && problems_.empty() && sets_ == nullptr);
    std::string text = problems_.empty() ? "" : "Nothing can be applied:";
    for (const std::string& problem : problems_)
        text += "\n" + problem;
    LB_Problems->setText(QString::fromLatin1(text));
}

void CommissionDialog::Apply() {
    if (sets_ != nullptr || !problems_.empty())
        return;
    std::vector<VerifiedSet::Target> targets;
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        const CommissionRow& row = rows_[r];
        if (!row.problem.empty() || row.ip.empty())
            continue;
        targets.push_back({row.current.macAddress, row.password.value_or(Text(ED_Password)), row.ip,
                           row.netmask, row.current.interfaceIndex});
        sentRows_.push_back(r);
    }
    BT_Apply->setEnabled(false);
    for (QLineEdit* edit : {ED_First, ED_Mask, ED_Password})
        edit->setEnabled(false);
    PB_Progress->setRange(0, static_cast<int>(targets.size()));
    sets_ = new ParallelSets(
        client_, std::move(targets), options,
        [this](std::size_t sent, const SetOutcome& outcome) { OnRowDone(sent, outcome); },
        inFlight, this);
    connect(sets_, &ParallelSets::AllDone, this, &CommissionDialog::OnRunEnded);
    sets_->Start();
}

void CommissionDialog::OnRowDone(std::size_t sent, const SetOutcome& outcome) {
    const std::size_t r = sentRows_[sent];
    const CommissionRow& row = rows_[r];
    SetRowVerdict(r, VerdictName(outcome.verdict), VerdictColour(outcome.verdict));
    TB_Preview->item(static_cast<int>(r), kVerdictColumn)
        ->setToolTip(
            QString::fromLatin1(VerdictLine(row.current.macAddress, row.ip, row.netmask, outcome)));
    PB_Progress->setValue(Finished());
    verdict_(row.current,
             {row.current.macAddress, {}, row.ip, row.netmask, row.current.interfaceIndex},
             outcome);
}

void CommissionDialog::OnRunEnded() {
    // A sent row's verdict cell is empty until its Set ends.
    for (const std::size_t r : sentRows_) {
        if (TB_Preview->item(static_cast<int>(r), kVerdictColumn)->text().isEmpty())
            SetRowVerdict(r, "not sent", QColor());
    }
    BT_Cancel->setText("Close");
    BT_Cancel->setEnabled(true);
    emit RunEnded();
}

void CommissionDialog::SetRowVerdict(std::size_t row, const QString& text, const QColor& colour) {
    QTableWidgetItem* item = TB_Preview->item(static_cast<int>(row), kVerdictColumn);
    item->setText(text);
    item->setBackground(colour.isValid() ? QBrush(colour) : QBrush());
}

void CommissionDialog::reject() {
    if (Running()) {
        // The rows in flight go on to their verdicts; the button comes back as Close then.
        BT_Cancel->setEnabled(false);
        BT_Cancel->setText("Cancelling...");
        sets_->Cancel();
        return;
    }
    QDialog::reject();
}

} // namespace vrel
