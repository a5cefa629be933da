#include "ReportListView.h"

#include <QAbstractItemDelegate>
#include <QStyledItemDelegate>

#include <gtest/gtest.h>

namespace vrel {
namespace {

TEST(ReportListView, ShowsControlCharactersAsEscapesButKeepsTheText) {
    ReportListView view;
    view.setColumnCount(1);
    const QString stored = QString::fromLatin1("Cam\x1b]0;x\x07\n\x7f\x9b\xE9\\");
    view.AddRow({stored});
    const QModelIndex cell = view.model()->index(0, 0);
    auto* delegate = qobject_cast<QStyledItemDelegate*>(view.itemDelegate());
    ASSERT_NE(delegate, nullptr);
    EXPECT_EQ(delegate->displayText(cell.data(Qt::DisplayRole), QLocale()),
              QString::fromLatin1("Cam\\x1b]0;x\\x07\\x0a\\x7f\\x9b\xE9\\"));
    EXPECT_EQ(view.Text(0, 0), stored); // what a presenter reads back stays exact
}

} // namespace
} // namespace vrel
