#include "ReportListView.h"

#include <QAbstractItemDelegate>
#include <QStyledItemDelegate>

#include <gtest/gtest.h>

namespace vrel {
namespace {

TEST(ReportListView, ShowsControlCharactersAsEscapesButKeepsTheText) {
    ReportListView view;
    const QString stored = QString::fromLatin1("Cam\x1b]0;x\x07\n\x7f\x9b\xE9\\");
    ReportRow row;
    row.AddCell(stored.toLatin1().toStdString());
    view.Rows().Append({row}); // a view starts with one column
    const QModelIndex cell = view.model()->index(0, 0);
    auto* delegate = qobject_cast<QStyledItemDelegate*>(view.itemDelegate());
    ASSERT_NE(delegate, nullptr);
    EXPECT_EQ(delegate->displayText(cell.data(Qt::DisplayRole), QLocale()),
              QString::fromLatin1("Cam\\x1b]0;x\\x07\\x0a\\x7f\\x9b\xE9\\"));
    EXPECT_EQ(view.Text(0, 0), stored); // what a presenter reads back stays exact
}

} // namespace
} // namespace vrel
