#include "JournalDialog.h"

#include "MessageBox.h"
#include "SaveText.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace vrel {

// The lines shown, tab-separated with a header line: the selected ones, or all.
static QString CopyText(const QTableWidget& table) {
    const bool selection = table.selectionModel()->hasSelection();
    QString text;
    for (int r = -1; r < table.rowCount(); ++r) { // -1: the header
        if (r >= 0 && selection && !table.selectionModel()->isRowSelected(r, {}))
            continue;
        QStringList cells;
        for (int c = 0; c < table.columnCount(); ++c)
            cells << (r < 0 ? table.horizontalHeaderItem(c) : table.item(r, c))->text();
        text += cells.join('\t') + '\n';
    }
    return text;
}

JournalDialog::JournalDialog(QWidget* parent, std::vector<JournalEntry> entries)
    : QDialog(parent), entries_(std::move(entries)) {
    setObjectName("JournalDialog");
    setWindowTitle("Journal");
    // The journal is appended to, so the file's order is the order of the Sets.
    std::reverse(entries_.begin(), entries_.end());
    TB_Journal = new QTableWidget(static_cast<int>(entries_.size()),
                                  static_cast<int>(kJournalColumns.size()), this);
    TB_Journal->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TB_Journal->setSelectionBehavior(QAbstractItemView::SelectRows);
    TB_Journal->verticalHeader()->hide();
    BT_Copy = new QPushButton("Copy", this);
    BT_Save = new QPushButton("Save...", this);
    BT_Close = new QPushButton("Close", this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {BT_Copy, BT_Save, BT_Close})
        buttons->addWidget(b);
    auto* column = new QVBoxLayout(this);
    column->addWidget(TB_Journal, 1);
    column->addLayout(buttons);
    connect(BT_Copy, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(CopyText(*TB_Journal)); });
    connect(BT_Save, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, "Save the journal", "journal.csv",
                                                          "CSV (*.csv)");
        if (path.isEmpty())
            return;
        if (const auto problem = SaveTo(path))
            ShowMessageBox(this, *problem);
    });
    connect(BT_Close, &QPushButton::clicked, this, &QDialog::accept);
    QStringList captions;
    for (const std::string& name : kJournalColumns)
        captions << QString::fromStdString(name);
    TB_Journal->setHorizontalHeaderLabels(captions);
    for (std::size_t r = 0; r < entries_.size(); ++r) {
        const std::vector<std::string> cells = JournalCells(entries_[r]);
        for (std::size_t c = 0; c < cells.size(); ++c)
            TB_Journal->setItem(static_cast<int>(r), static_cast<int>(c),
                                new QTableWidgetItem(QString::fromLatin1(cells[c])));
    }
    TB_Journal->resizeColumnsToContents();
    resize(900, 400);
}

std::optional<std::string> JournalDialog::SaveTo(const QString& path) const {
    std::string text = JournalHeaderLine();
    for (const JournalEntry& entry : entries_)
        text += JournalLine(entry);
    return SaveText(path, text);
}

} // namespace vrel
