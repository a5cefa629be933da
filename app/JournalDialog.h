#pragma once

#include "Journal.h"

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

class QTableWidget;
class QPushButton;

namespace vrel {

// The journal of Sets, newest first, read-only; Copy and Save hand it over.
class JournalDialog : public QDialog {
    Q_OBJECT
public:
    JournalDialog(QWidget* parent, std::vector<JournalEntry> entries);

    // Writes the entries shown as the journal's own CSV; a message for the user on failure.
    std::optional<std::string> SaveTo(const QString& path) const;

    QTableWidget* TB_Journal;
    QPushButton* BT_Copy;
    QPushButton* BT_Save;
    QPushButton* BT_Close;

private:
    std::vector<JournalEntry> entries_; // newest first
};

} // namespace vrel
