#include "PresenterTestSupport.h"

#include "StatusPanel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace vrel::test {
namespace {

// One kind of log target: how to make it and what it shows after two lines were logged.
struct LogTargetCase {
    const char* name;
    std::function<QWidget*()> make;
    std::function<QString(QWidget*)> shown;
    QString expected;
};

void PrintTo(const LogTargetCase& c, std::ostream* os) { *os << c.name; }

template <class W> std::function<QWidget*()> Make() {
    return [] { return new W; };
}

class LogTargetTest : public ::testing::TestWithParam<LogTargetCase> {};

TEST_P(LogTargetTest, TwoLinesLogged) {
    const LogTargetCase& c = GetParam();
    std::unique_ptr<QWidget> target(c.make());
    KvVRELRequest2Edits presenter(nullptr);
    presenter.SetLogTarget(target.get());
    presenter.Log("first line");
    presenter.Log("second line");
    EXPECT_EQ(c.shown(target.get()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, LogTargetTest,
    ::testing::Values(
        // A memo keeps every line, the newest last.
        LogTargetCase{"Memo", Make<QPlainTextEdit>(),
                      [](QWidget* w) { return static_cast<QPlainTextEdit*>(w)->toPlainText(); },
                      "first line\nsecond line"},
        LogTargetCase{"StatusBar", Make<QStatusBar>(),
                      [](QWidget* w) { return static_cast<QStatusBar*>(w)->currentMessage(); },
                      "second line"},
        LogTargetCase{"StatusPanel", Make<StatusPanel>(),
                      [](QWidget* w) { return static_cast<QLabel*>(w)->text(); }, "second line"},
        // A plain label is no status panel, and an edit box no memo: both are left alone.
        LogTargetCase{"PlainLabelIgnored",
                      [] { return new QLabel("untouched"); },
                      [](QWidget* w) { return static_cast<QLabel*>(w)->text(); }, "untouched"},
        LogTargetCase{"EditBoxIgnored",
                      [] { return new QLineEdit("untouched"); },
                      [](QWidget* w) { return static_cast<QLineEdit*>(w)->text(); },
                      "untouched"}),
    [](const auto& info) { return std::string(info.param.name); });

// Texts are 8-bit characters: a byte above 127 is the Latin-1 character, not broken UTF-8.
TEST(PresenterLogTest, EightBitTextReachesTheMemoAsLatin1) {
    QPlainTextEdit memo;
    KvVRELRequest2Edits presenter(nullptr);
    presenter.SetLogTarget(&memo);
    presenter.Log("Caf\xE9 \xB0");
    EXPECT_EQ(memo.toPlainText(), QString::fromUtf8("Caf\u00E9 \u00B0"));
}

TEST(PresenterLogTest, WithoutTargetOrAfterItIsGoneNothingHappens) {
    KvVRELRequest2Edits presenter(nullptr);
    presenter.Log("nowhere");
    auto memo = std::make_unique<QPlainTextEdit>();
    presenter.SetLogTarget(memo.get());
    memo.reset();
    presenter.Log("target deleted");
    EXPECT_EQ(presenter.logTarget.data(), nullptr);
}

} // namespace
} // namespace vrel::test
