#include "TTheVrel.h"

#include "CsvRecords.h"
#include "DeviceAddress.h"
#include "DeviceConflicts.h"
#include "DeviceDiscovery.h"
#include "ErrorDisplay.h"
#include "Exception.h"
#include "HostAddresses.h"
#include "Journal.h"
#include "MessageBox.h"
#include "Messages.h"
#include "ResultCodes.h"
#include "SaveText.h"

#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QStyle>
#include <QTime>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace vrel {

namespace {

constexpr std::uint32_t kDiscoverTimeout = 700; // 7 s answer window
constexpr std::uint32_t kSetTimeout = 300;      // 3 s
constexpr int kDropCheckDelayMs = 100; // past the sweep tick that ends the Discover
constexpr const char* kIniFile = "Vrel.ini";
constexpr int kReadFileFailed = -15;
constexpr int kButtonColumnWidth = 73;
constexpr const char* kSettingsOrganisation = "vrel";
constexpr const char* kSettingsApplication = "vrel-config";
constexpr const char* kGeometryKey = "window/geometry";
constexpr const char* kColumnsKey = "window/columns";
constexpr const char* kStrandingRisk =
    "A device given this address may not be reachable afterwards, until someone resets it by "
    "hand.\n\nSend anyway?";
const QColor kConflictColour(255, 214, 204); // a pale red that keeps the text readable

std::string Text(const QLineEdit* edit) {
    return edit->text().toLatin1().toStdString();
}

template <class W> W* Child(QWidget* parent, const char* name, QRect geometry = {}) {
    auto* w = new W(parent);
    w->setObjectName(name);
    if (!geometry.isNull())
        w->setGeometry(geometry);
    return w;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, int x, int y) {
    auto* label = Child<QLabel>(parent, name);
    label->setText(caption);
    label->move(x, y);
    label->adjustSize();
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, QRect r) {
    auto* button = Child<QPushButton>(parent, name, r);
    button->setText(caption);
    return button;
}

std::string LongTimeText() {
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    // Qt's long format names the time zone; the log shows the time of day only.
    format.remove(QLatin1Char('t'));
    return QLocale::system()
        .toString(QTime::currentTime(), format.trimmed())
        .toLatin1()
        .toStdString();
}

} // namespace

TTheVrel::TTheVrel(QWidget* parent, const QHostAddress& destination)
    : QWidget(parent), destination_(destination) {
    setObjectName("TheVrel");
    setWindowTitle(kCaption);
    BuildControls();
    RestoreLayout();
    try {
        FormCreate();
    } catch (const std::exception& e) {
        ShowError(e.what()); // the window is still shown, without the steps not reached
    }
}

TTheVrel::~TTheVrel() {
    // A commissioning run still going ends with its dialog; its Sets' answers find them gone.
    delete commission_;
    // The clients drain first; a presenter whose client is gone has nothing left to wait for.
    delete KvVRELRequest::SharedClient();
    delete setClient_;
    discoverPresenter_.reset();
}

void TTheVrel::BuildControls() {
    QFont font = QGuiApplication::font();
    font.setPointSize(8);
    setFont(font);

    BuildPanels();
    BuildEditPanel();
    // Below Close: many devices at once, the table as a file, and the journal of Sets.
    BT_Assign = MakeButton(Panel1, "BT_Assign", "Assign...", {8, 170, 57, 25});
    BT_Assign->setToolTip("Assign addresses to the selected devices");
    BT_Plan = MakeButton(Panel1, "BT_Plan", "Plan...", {8, 195, 57, 25});
    BT_Plan->setToolTip("Open a plan and apply it");
    BT_Export = MakeButton(Panel1, "BT_Export", "Export...", {8, 230, 57, 25});
    BT_Export->setToolTip("Save the table with its verdicts as CSV");
    BT_Journal = MakeButton(Panel1, "BT_Journal", "Journal...", {8, 255, 57, 25});
    BT_Journal->setToolTip("Show the journal of Sets");
    Assign1 = LV_Vrel->addAction("Assign addresses...", this, &TTheVrel::BT_AssignClick);
    Assign1->setObjectName("Assign1");

    QWidget* const tabOrder[] = {ED_IP, ED_Net, ED_Pass, ED_Mac, ED_Mod, Memo_Info};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    // The designed columns (the product code hidden in a one-pixel first one), Interface, Status.
    LV_Vrel->setHeaderLabels(
        {"", "Module Name", "Mac Address", "IP Address", "NetMask", "Interface", "Status"});
    LV_Vrel->setSelectionMode(QAbstractItemView::ExtendedSelection);
    const int widths[] = {1, 100, 100, 100, 100, 100, 110};
    for (int c = 0; c < static_cast<int>(std::size(widths)); ++c)
        LV_Vrel->setColumnWidth(c, widths[c]);
    ConnectControls();
}

// The button column on the right; left of it the table above the edit panel.
void TTheVrel::BuildPanels() {
    Panel1 = Child<QWidget>(this, "Panel1");
    Panel1->setFixedWidth(kButtonColumnWidth);
    Panel2 = Child<QWidget>(this, "Panel2");
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addWidget(Panel2, 1);
    outer->addWidget(Panel1);

    BT_Discover = MakeButton(Panel1, "BT_Discover", "Discover", {8, 55, 57, 25});
    BT_Set = MakeButton(Panel1, "BT_Set", "Set", {8, 80, 57, 25});
    BT_Set->setEnabled(false);
    BT_Close = MakeButton(Panel1, "BT_Close", "Close", {8, 135, 57, 25});
    // Kept without being shown.
    BT_Test = MakeButton(Panel1, "BT_Test", "Test", {8, 107, 57, 25});
    ComboBox1 = Child<QComboBox>(Panel1, "ComboBox1", {4, 31, 65, 21});
    Label6 = MakeLabel(Panel1, "Label6", "Available", 8, 16);
    Label6->resize(43, 13);
    for (QWidget* hidden : std::initializer_list<QWidget*>{BT_Test, ComboBox1, Label6})
        hidden->setVisible(false);

    ED_Filter = Child<QLineEdit>(Panel2, "ED_Filter");
    ED_Filter->setPlaceholderText("Filter");
    ED_Filter->setClearButtonEnabled(true);
    LV_Vrel = Child<ReportListView>(Panel2, "LV_Vrel");
    Panel3 = Child<QWidget>(Panel2, "Panel3");
    Panel3->setFixedHeight(135);
    auto* column = new QVBoxLayout(Panel2);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(ED_Filter);
    column->addWidget(LV_Vrel, 1);
    column->addWidget(Panel3);
}

// The selected device's fields and the password above the memo, which fills the bottom.
void TTheVrel::BuildEditPanel() {
    Label1 = MakeLabel(Panel3, "Label1", "Module Name", 8, 32);
    Label2 = MakeLabel(Panel3, "Label2", "MAC Address", 8, 8);
    Label3 = MakeLabel(Panel3, "Label3", "IP Address", 216, 8);
    Label4 = MakeLabel(Panel3, "Label4", "NetMask", 216, 32);
    ED_Mac = Child<QLineEdit>(Panel3, "ED_Mac", {88, 8, 121, 21});
    ED_Mod = Child<QLineEdit>(Panel3, "ED_Mod", {88, 32, 121, 21});
    ED_IP = Child<QLineEdit>(Panel3, "ED_IP", {280, 8, 121, 21});
    ED_Net = Child<QLineEdit>(Panel3, "ED_Net", {280, 32, 121, 21});
    for (QLineEdit* edit : {ED_Mac, ED_Mod}) {
        edit->setEnabled(false);
        QPalette p = edit->palette();
        p.setColor(QPalette::Disabled, QPalette::Base, QColor(212, 208, 200));
        edit->setPalette(p);
    }
    Memo_Info = Child<QPlainTextEdit>(Panel3, "Memo_Info");
    Memo_Info->setReadOnly(true);
    Memo_Info->setFixedHeight(53);
    auto* memoRow = new QVBoxLayout(Panel3);
    memoRow->setContentsMargins(0, 0, 0, 0);
    memoRow->addStretch(1);
    memoRow->addWidget(Memo_Info);
    Label5 = MakeLabel(Panel3, "Label5", "Password", 216, 56);
    ED_Pass = Child<QLineEdit>(Panel3, "ED_Pass", {280, 56, 121, 21});
    // The free slot left of the password box, below the MAC address and module name.
    LB_Status = MakeLabel(Panel3, "LB_Status", "", 8, 60);
    LB_Status->resize(200, 15);

    PopupMenu1 = Child<QMenu>(this, "PopupMenu1");
    Clear1 = PopupMenu1->addAction("Clear");
    Clear1->setObjectName("Clear1");
    Memo_Info->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Memo_Info, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(Memo_Info->mapToGlobal(at)); });
}

void TTheVrel::ConnectControls() {
    const std::pair<QPushButton*, void (TTheVrel::*)()> clicks[] = {
        {BT_Discover, &TTheVrel::BT_DiscoverClick}, {BT_Set, &TTheVrel::BT_SetClick},
        {BT_Close, &TTheVrel::BT_CloseClick},       {BT_Test, &TTheVrel::BT_TestClick},
        {BT_Assign, &TTheVrel::BT_AssignClick},     {BT_Plan, &TTheVrel::BT_PlanClick},
        {BT_Export, &TTheVrel::BT_ExportClick},     {BT_Journal, &TTheVrel::BT_JournalClick}};
    for (const auto& [button, click] : clicks)
        connect(button, &QPushButton::clicked, this, click);
    connect(LV_Vrel, &ReportListView::Clicked, this, &TTheVrel::LV_VrelClick);
    connect(LV_Vrel, &QAbstractItemView::doubleClicked, this, &TTheVrel::LV_VrelDblClick);
    connect(Clear1, &QAction::triggered, this, &TTheVrel::Clear1Click);
    // Conflicts are a property of the whole table: looked at once the answers pause for 150 ms.
    conflictTimer_.setSingleShot(true);
    conflictTimer_.setInterval(150);
    connect(&conflictTimer_, &QTimer::timeout, this, &TTheVrel::MarkConflicts);
    new QShortcut(QKeySequence(Qt::Key_F5), this, this, &TTheVrel::BT_DiscoverClick);
    connect(ED_Pass, &QLineEdit::returnPressed, this, [this] {
        if (BT_Set->isEnabled())
            BT_SetClick();
    });
    connect(ED_Filter, &QLineEdit::textChanged, this,
            [this] { FilterRows(0, LV_Vrel->RowCount() - 1); });
    connect(&LV_Vrel->Rows(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                if (!ED_Filter->text().isEmpty())
                    FilterRows(first, last);
            });
    // A row whose address a Set changed may no longer match, or match now.
    connect(&LV_Vrel->Rows(), &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to, const QList<int>& roles) {
                if (!ED_Filter->text().isEmpty() && roles.contains(Qt::DisplayRole))
                    FilterRows(from.row(), to.row());
            });
}

void TTheVrel::FilterRows(int first, int last) {
    const QString text = ED_Filter->text().trimmed();
    for (int r = first; r <= last; ++r) {
        bool shown = text.isEmpty();
        for (int c = 0; !shown && c < LV_Vrel->columnCount(); ++c)
            shown = LV_Vrel->Text(r, c).contains(text, Qt::CaseInsensitive);
        LV_Vrel->setRowHidden(r, {}, !shown);
    }
}

void TTheVrel::RestoreLayout() {
    // By default every column of the table shows without a horizontal scroll bar.
    int width = 2 * LV_Vrel->frameWidth() + kButtonColumnWidth +
                style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, LV_Vrel);
    for (int c = 0; c < LV_Vrel->columnCount(); ++c)
        width += LV_Vrel->columnWidth(c);
    resize(width, 433);
    const QSettings settings(kSettingsOrganisation, kSettingsApplication);
    if (const QByteArray geometry = settings.value(kGeometryKey).toByteArray(); !geometry.isEmpty())
        centred_ = restoreGeometry(geometry); // a saved place is kept, not centred
    if (const QByteArray columns = settings.value(kColumnsKey).toByteArray(); !columns.isEmpty())
        LV_Vrel->header()->restoreState(columns);
}

void TTheVrel::MarkConflicts() {
    if (!discoverPresenter_)
        return;
    // In the order of the rows, which a click on a header may have sorted.
    const auto conflicts = FindConflicts(
        static_cast<std::size_t>(LV_Vrel->RowCount()),
        [&, d = Device()](std::size_t r) mutable -> const Device& {
            d = discoverPresenter_->DeviceOf(static_cast<int>(r)).value_or(Device());
            return d;
        },
        HostAddresses());
    // Rows past the last conflict lose their marks without an entry each.
    std::vector<RowMark> marks(conflicts.empty() ? 0 : conflicts.back().device + 1);
    for (const DeviceConflict& c : conflicts)
        marks[c.device] = {kConflictColour, QString::fromStdString(c.Text())};
    LV_Vrel->Rows().SetMarks(marks);
}

void TTheVrel::FormCreate() {
    KvVRELRequest::SetUp(this, destination_);
    KvVRELRequest::DefaultTargetMac() = "FFFFFFFFFFFF";
    KvVRELRequest::DefaultPassword() = "";
    setClient_ = new KvVRELClient(this, destination_);
    discoverPresenter_ = std::make_unique<KvVRELRequest2EditsRepeat>(this);
    discoverPresenter_->SetLogTarget(Memo_Info);
    PrepareDiscover(discoverPresenter_->request);
    discoverPresenter_->AttachListView(LV_Vrel);
    using Event = KvVRELRequest2Controls::DiscoverEvent;
    discoverPresenter_->OnDiscoverProgress = [this](Event event) {
        ShowDiscoverStatus();
        if (event == Event::RowsShown) {
            conflictTimer_.start();
        } else if (const KvVRELClient* client = KvVRELRequest::SharedClient();
                   client != nullptr && discoverPresenter_->Devices().Count() == 0) {
            // A Discover that found nothing names the interfaces it went out of.
            AppendMemo("No device answered. Tried: " + TriedText(client->LastSend()));
        }
    };

    QFile ini(kIniFile);
    if (!ini.exists())
        return; // optional
    if (!ini.open(QIODevice::ReadOnly))
        throw Exception(ReplaceAll(CommonMessageForCode(kReadFileFailed), "[FILENAME]", kIniFile),
                        kReadFileFailed);
    iniLines_ = QString::fromLatin1(ini.readAll()).split('\n');
    if (iniLines_->last().isEmpty()) // a final line end adds no empty line
        iniLines_->removeLast();
    for (QString& line : *iniLines_) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    ComboBox1->addItems(*iniLines_); // a combo box filled from empty selects its first item
}

void TTheVrel::BT_DiscoverClick() {
    if (!discoverPresenter_) {
        AppendMemo(MessageForCode(kSocketNotReady));
        return;
    }
    try {
        discoverPresenter_->ClearRows();
        discoverPresenter_->request.timeout = kDiscoverTimeout;
        discoverPresenter_->RunCommand(kDiscover);
        discoverRan_ = true;
        ShowDiscoverStatus();
        WatchDiscoverDrops();
    } catch (const Exception& e) {
        if (e.HelpContext() != kBadVariableId)
            discoverPresenter_->Log(e.Message());
    } catch (const std::exception& e) {
        discoverPresenter_->Log(e.what());
    }
    if (const KvVRELClient* client = KvVRELRequest::SharedClient())
        NameFailedSends(*client, "Discover");
}

void TTheVrel::NameFailedSends(const KvVRELClient& client, const std::string& what) {
    std::vector<SendOutcome> failed;
    std::ranges::copy_if(client.LastSend(), std::back_inserter(failed),
                         [](const SendOutcome& o) { return !o.sent; });
    if (!failed.empty())
        AppendMemo(what + ": " + TriedText(failed));
}

void TTheVrel::ShowDiscoverStatus() {
    if (!discoverRan_ || !discoverPresenter_)
        return;
    const bool running = discoverPresenter_->outstanding > 0;
    if (discoverRunning_ && !running)
        discoverEnded_ = LongTimeText();
    discoverRunning_ = running;
    const QString found = QString::number(discoverPresenter_->Devices().Count());
    LB_Status->setText(running ? "Discovering... " + found + " found"
                               : "Discover ended " + QString::fromLatin1(discoverEnded_) + ": " +
                                     found + " found");
}

// A burst of answers that overflows the socket's receive buffer is dropped by the kernel
// without a trace on the socket; once the answer window has closed, one memo line tells.
void TTheVrel::WatchDiscoverDrops() {
    const QPointer<KvVRELClient> client = KvVRELRequest::SharedClient();
    QTimer::singleShot(kDiscoverTimeout * 10 + kDropCheckDelayMs, this, [this, client] {
        if (!client)
            return;
        const std::uint64_t drops = client->DroppedDatagrams();
        if (drops <= reportedDrops_)
            return;
        AppendMemo("Discover: " + std::to_string(drops - reportedDrops_) +
                   " answers were dropped, the receive buffer of " +
                   std::to_string(client->GrantedReceiveBufferBytes()) +
                   " bytes was full. Discover again, or raise net.core.rmem_max.");
        reportedDrops_ = drops;
    });
}

void TTheVrel::LV_VrelClick() {
    const std::optional<Device> device =
        discoverPresenter_ ? discoverPresenter_->DeviceOf(LV_Vrel->Selected()) : std::nullopt;
    const Device shown = device.value_or(Device{}); // no row: empty boxes
    ED_Mod->setText(QString::fromLatin1(shown.modelName));
    ED_Mac->setText(QString::fromLatin1(shown.macAddress));
    ED_IP->setText(QString::fromLatin1(shown.ipAddress));
    ED_Net->setText(QString::fromLatin1(shown.netmask));
    BT_Set->setEnabled(device.has_value());
}

void TTheVrel::BT_SetClick() {
    if (ED_Mac->text() == "0" || !AddressAccepted())
        return;
    VerifiedSet::Target target{Text(ED_Mac), Text(ED_Pass), Text(ED_IP), Text(ED_Net)};
    // Where the device was listed: its Set goes out there, and the journal keeps its old address.
    Device before;
    before.macAddress = target.mac;
    if (discoverPresenter_)
        before = discoverPresenter_->Devices().Find(target.mac).value_or(before);
    target.interfaceIndex = before.interfaceIndex;
    const VerifiedSet::Options options{.setTimeout = kSetTimeout};
    try {
        if (setClient_ == nullptr)
            RaiseVrel(kSocketNotReady);
        auto set = std::make_unique<VerifiedSet>(*setClient_, target, options, nullptr, this);
        set->SetFinished([this, s = set.get(), target, before](const SetOutcome& outcome) {
            OnSetFinished(target, outcome);
            RecordVerdict(before, target, outcome);
            s->deleteLater();
        });
        set->Start();
        set.release(); // started: it deletes itself once finished
        AppendMemo("Set Device " + target.mac + " at " + LongTimeText());
    } catch (const std::exception& e) {
        ShowMessageBox(this, e.what());
    }
    if (setClient_ != nullptr)
        NameFailedSends(*setClient_, "Set");
}

// Checked before a VerifiedSet exists, so that the message names the field.
bool TTheVrel::AddressAccepted() {
    if (const std::string problem = GroupMacProblem(Text(ED_Mac)); !problem.empty()) {
        ShowMessageBox(this, problem);
        return false;
    }
    const auto refusal = CheckDeviceAddress(Text(ED_IP), Text(ED_Net));
    if (!refusal)
        return true;
    const QLabel* field = refusal->field == AddressRefusal::kIpAddress ? Label3 : Label4;
    const std::string text = field->text().toStdString() + ": " + refusal->reason;
    if (!refusal->overridable) {
        ShowMessageBox(this, text);
        return false;
    }
    // Readable, and only implausible: the user may know better (a lab, a point-to-point link).
    return Confirm(this, text + "\n\n" + kStrandingRisk);
}

void TTheVrel::RecordVerdict(const Device& before, const VerifiedSet::Target& target,
                             const SetOutcome& outcome) {
    if (const auto warning = AppendToJournal(JournalEntryForSet(before, target, outcome)))
        AppendMemo("Journal: " + *warning);
    if (!discoverPresenter_)
        return;
    const std::string mac = NormalizeMac(target.mac).value_or(target.mac);
    discoverPresenter_->FlushRows(); // the device's row may still be waiting
    ReportTableModel& rows = LV_Vrel->Rows();
    const int row = rows.RowOf(mac);
    if (row < 0)
        return;
    if (VerdictSucceeded(outcome.verdict) &&
        discoverPresenter_->Devices().SetAddress(mac, target.ip, target.netmask)) {
        rows.SetCell(row, kIpColumn, target.ip);
        rows.SetCell(row, kNetmaskColumn, target.netmask);
    }
    rows.SetCell(row, kStatusColumn, VerdictName(outcome.verdict));
    rows.SetCellMark(row, kStatusColumn,
                     {VerdictColour(outcome.verdict),
                      QString::fromLatin1(VerdictLine(mac, target.ip, target.netmask, outcome))});
    MarkConflicts();
}

DeviceList TTheVrel::SelectedDevices() const {
    DeviceList devices;
    for (int r = 0; r < LV_Vrel->RowCount() && discoverPresenter_; ++r) {
        if (LV_Vrel->isRowHidden(r, {}) || !LV_Vrel->selectionModel()->isRowSelected(r, {}))
            continue;
        if (const auto device = discoverPresenter_->DeviceOf(r))
            devices.push_back(*device);
    }
    return devices;
}

CommissionDialog* TTheVrel::NewCommission() {
    if (commission_ && commission_->Running()) {
        commission_->raise();
        ShowMessageBox(this, "Sets of the last run are still going: wait for them or cancel.");
        return nullptr;
    }
    if (setClient_ == nullptr || !discoverPresenter_) {
        ShowMessageBox(this, MessageForCode(kSocketNotReady));
        return nullptr;
    }
    delete commission_;
    discoverPresenter_->FlushRows();
    commission_ = new CommissionDialog(
        this, *setClient_, discoverPresenter_->Devices().Devices(),
        [this](const Device& before, const VerifiedSet::Target& target, const SetOutcome& outcome) {
            try {
                AppendMemo(VerdictLine(target.mac, target.ip, target.netmask, outcome));
                RecordVerdict(before, target, outcome);
            } catch (const std::exception& e) { // called from a socket's event
                AppendMemo(e.what());
            }
        });
    commission_->options.setTimeout = kSetTimeout;
    return commission_;
}

void TTheVrel::BT_AssignClick() {
    DeviceList selected = SelectedDevices();
    if (selected.empty()) {
        ShowMessageBox(this, "Select the devices to give addresses to.");
        return;
    }
    if (CommissionDialog* dialog = NewCommission()) {
        dialog->AssignTo(std::move(selected));
        dialog->open();
    }
}

void TTheVrel::BT_PlanClick() {
    const QString path =
        QFileDialog::getOpenFileName(this, "Open a plan", {}, "CSV (*.csv *.txt);;All files (*)");
    if (!path.isEmpty())
        OpenPlan(path);
}

void TTheVrel::OpenPlan(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ShowMessageBox(this, path.toStdString() + ": " + file.errorString().toStdString());
        return;
    }
    try {
        const SitePlan plan = ReadSitePlan(file.readAll().toStdString(), false);
        for (const std::string& column : plan.ignoredColumns)
            AppendMemo("Plan: ignoring column '" + column + "'");
        if (CommissionDialog* dialog = NewCommission()) {
            dialog->ShowPlan(plan, path);
            dialog->open();
        }
    } catch (const std::exception& e) {
        ShowMessageBox(this, e.what());
    }
}

void TTheVrel::BT_ExportClick() {
    const QString path =
        QFileDialog::getSaveFileName(this, "Export the table", "devices.csv", "CSV (*.csv)");
    if (path.isEmpty())
        return;
    if (const auto problem = ExportTo(path))
        ShowMessageBox(this, *problem);
}

std::optional<std::string> TTheVrel::ExportTo(const QString& path) const {
    std::vector<std::string> cells;
    for (int c = 0; c < LV_Vrel->columnCount(); ++c) {
        const QString caption = LV_Vrel->model()->headerData(c, Qt::Horizontal).toString();
        cells.push_back(c == 0 ? "Product Code" : caption.toLatin1().toStdString());
    }
    std::string text = CsvLine(cells);
    for (int r = 0; r < LV_Vrel->RowCount(); ++r) {
        cells.clear();
        for (int c = 0; c < LV_Vrel->columnCount(); ++c)
            cells.push_back(LV_Vrel->Text(r, c).toLatin1().toStdString());
        text += CsvLine(cells);
    }
    return SaveText(path, text);
}

void TTheVrel::BT_JournalClick() {
    try {
        auto entries = ReadJournal(JournalPath());
        delete journal_;
        journal_ = new JournalDialog(this, entries.value_or(std::vector<JournalEntry>{}));
        journal_->open();
    } catch (const std::exception& e) {
        ShowMessageBox(this, e.what());
    }
}

void TTheVrel::OnSetFinished(const VerifiedSet::Target& target, const SetOutcome& outcome) {
    if (outcome.setCode == 0) {
        AppendMemo("Devie " + target.mac + " : Set OK ! at " + LongTimeText());
    } else if (outcome.setCode == kTimeout) {
        AppendMemo("The Device have no respons !");
        AppendMemo("Maybe it is not support this operation or can't connecte. at " +
                   LongTimeText());
    } else {
        AppendMemo(outcome.setMessage);
    }
    // A device that refused has nothing to check.
    if (outcome.verdict != SetVerdict::kRefused)
        AppendMemo(VerdictLine(target.mac, target.ip, target.netmask, outcome) + " at " +
                   LongTimeText());
}

void TTheVrel::Clear1Click() {
    Memo_Info->clear();
}

void TTheVrel::BT_CloseClick() {
    close();
}

void TTheVrel::FormClose() {
    iniLines_.reset();
}

void TTheVrel::BT_TestClick() {}

void TTheVrel::LV_VrelDblClick() {
    BT_TestClick();
}

void TTheVrel::AppendMemo(const std::string& line) {
    Memo_Info->appendPlainText(QString::fromLatin1(line));
}

void TTheVrel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (centred_)
        return;
    centred_ = true;
    if (QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
}

void TTheVrel::closeEvent(QCloseEvent*) {
    QSettings settings(kSettingsOrganisation, kSettingsApplication);
    settings.setValue(kGeometryKey, saveGeometry());
    settings.setValue(kColumnsKey, LV_Vrel->header()->saveState());
    FormClose(); // the close goes ahead: a close event comes accepted
}

} // namespace vrel
