#pragma once

#include "MessageBox.h"
#include "NetworkSandbox.h"
#include "TTheVrel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace vrel::test {

// Five devices; the fourth one is protected by a password.
inline const char* const kDeviceFile =
    "productCode,modelName,macAddress,ipAddress,netmask,password\n"
    "4096,SIM-1,020000000001,10.0.0.1,255.255.255.0,\n"
    "4097,SIM-2,020000000002,10.0.0.2,255.255.255.0,\n"
    "4098,SIM-3,020000000003,10.0.0.3,255.255.255.0,\n"
    "4099,SIM-4,020000000004,10.0.0.4,255.255.255.0,secret\n"
    "4100,SIM-5,020000000005,10.0.0.5,255.255.255.0,\n";
inline const char* const kPasswordMac = "020000000004";
inline const char* const kPassword = "secret";

// A time of day as the window logs it, in whatever long format the locale has.
inline const char* const kTimeOfDay = R"([0-9]{1,2}[:.][0-9]{2}[:.][0-9]{2}( ?[AaPp]\.?[Mm]\.?)?)";

// The vrel-sim executable on the device port; killed when the object goes.
class SimProcess {
public:
    explicit SimProcess(const QStringList& args) {
        process_.setWorkingDirectory(VREL_BIN_DIR);
        process_.start(VREL_BIN_DIR "/vrel-sim", args);
    }
    ~SimProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool WaitReady() {
        return QTest::qWaitFor([this] { return Stderr().contains("listening on port 64512"); },
                               5000);
    }
    // Everything the simulator has logged so far: one line per request it heard.
    const QString& Stderr() {
        stderr_ += QString::fromLocal8Bit(process_.readAllStandardError());
        return stderr_;
    }

private:
    QProcess process_;
    QString stderr_;
};

// Sets the working directory for a scope.
class ScopedWorkingDirectory {
public:
    explicit ScopedWorkingDirectory(const QString& path) : saved_(QDir::currentPath()) {
        QDir::setCurrent(path);
    }
    ~ScopedWorkingDirectory() { QDir::setCurrent(saved_); }

private:
    QString saved_;
};

// Message boxes and questions of the scope are recorded instead of shown; questions get
// `answer`.
class MessageBoxCapture {
public:
    MessageBoxCapture() {
        previous_ = SetMessageBoxFunction(
            [this](QWidget*, const std::string& text, const std::string&) {
                texts.push_back(text);
            });
        previousConfirm_ = SetConfirmFunction([this](QWidget*, const std::string& text) {
            questions.push_back(text);
            return answer;
        });
    }
    ~MessageBoxCapture() {
        SetMessageBoxFunction(std::move(previous_));
        SetConfirmFunction(std::move(previousConfirm_));
    }
    MessageBoxCapture(const MessageBoxCapture&) = delete;
    MessageBoxCapture& operator=(const MessageBoxCapture&) = delete;

    std::vector<std::string> texts;
    std::vector<std::string> questions;
    bool answer = false;

private:
    MessageBoxFunction previous_;
    ConfirmFunction previousConfirm_;
};

// The real window on the offscreen screen, with the simulator as the device side when a test
// starts one. The working directory is an empty folder unless a test puts a Vrel.ini there.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        VREL_REQUIRE_NETWORK_SANDBOX();
        ASSERT_TRUE(dir_.isValid());
        QFile devices(dir_.filePath("devices.csv"));
        ASSERT_TRUE(devices.open(QIODevice::WriteOnly));
        devices.write(kDeviceFile);
    }

    void TearDown() override {
        // The answer window of the last Discover ends first, so the clients have nothing left
        // to drain when the window goes.
        if (window_ && window_->DiscoverPresenter()) {
            EXPECT_TRUE(QTest::qWaitFor(
                [this] { return window_->DiscoverPresenter()->outstanding == 0; }, 8000));
        }
        window_.reset();
        sim_.reset();
    }

    void StartSim(const QStringList& extra = {}) {
        sim_.reset();
        QStringList args{"--device-file", dir_.filePath("devices.csv"), "--spread", "100",
                         "--seed", "7"};
        sim_ = std::make_unique<SimProcess>(args + extra);
        ASSERT_TRUE(sim_->WaitReady()) << sim_->Stderr().toStdString();
    }

    void OpenWindow() {
        ScopedWorkingDirectory cwd(dir_.path());
        window_ = std::make_unique<TTheVrel>(nullptr, QHostAddress::Broadcast);
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }

    TTheVrel& W() { return *window_; }

    void Click(QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); }

    // Presses Discover and waits until rows rows are shown.
    void Discover(int rows = 5) {
        Click(W().BT_Discover);
        ASSERT_TRUE(QTest::qWaitFor([&] { return W().LV_Vrel->RowCount() == rows; }, 3000))
            << W().LV_Vrel->RowCount() << " rows";
    }

    // The row showing this MAC address, or -1.
    int Row(const QString& mac) {
        for (int r = 0; r < W().LV_Vrel->RowCount(); ++r) {
            if (W().LV_Vrel->Text(r, 2) == mac)
                return r;
        }
        return -1;
    }
    QVariant Cell(const QString& mac, int column, int role) {
        return W().LV_Vrel->model()->index(Row(mac), column).data(role);
    }

    void ClickRow(const QString& mac) {
        const int row = Row(mac);
        ASSERT_NE(row, -1) << mac.toStdString();
        QTest::mouseClick(W().LV_Vrel->viewport(), Qt::LeftButton, {},
                          W().LV_Vrel->visualRect(W().LV_Vrel->model()->index(row, 1)).center());
        ASSERT_EQ(W().LV_Vrel->Selected(), row);
    }

    void ClickEmptyArea() {
        QWidget* viewport = W().LV_Vrel->viewport();
        const QPoint below(150, viewport->height() - 5);
        ASSERT_FALSE(W().LV_Vrel->indexAt(below).isValid());
        QTest::mouseClick(viewport, Qt::LeftButton, {}, below);
    }

    static void Retype(QLineEdit* edit, const QString& text) {
        edit->clear();
        QTest::keyClicks(edit, text);
        ASSERT_EQ(edit->text(), text);
    }

    std::vector<std::string> MemoLines() {
        const QString text = W().Memo_Info->toPlainText();
        std::vector<std::string> lines;
        if (text.isEmpty())
            return lines;
        for (const QString& line : text.split('\n'))
            lines.push_back(line.toStdString());
        return lines;
    }

    bool WaitMemoLines(std::size_t count, int ms) {
        return QTest::qWaitFor([&] { return MemoLines().size() >= count; }, ms);
    }

    QTemporaryDir dir_;
    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<TTheVrel> window_;
};

} // namespace vrel::test
