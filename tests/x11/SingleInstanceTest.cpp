// The single-instance rule on a real X server (Xvfb, no window manager): a running instance
// is any top-level window titled "VREL Configuration"; a second start activates it and ends.
#include "NetworkSandbox.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <functional>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

constexpr const char* kCaption = "VREL Configuration";

bool WaitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QThread::msleep(20);
    }
    return true;
}

// An Xvfb server of its own for each test, on a display number no other server holds.
class XServer {
public:
    XServer() {
        for (int n = 100 + getpid() % 400; n < 1000; ++n) {
            if (QFile::exists(QString("/tmp/.X%1-lock").arg(n)))
                continue;
            name_ = ":" + std::to_string(n);
            server_.start("Xvfb", {QString::fromStdString(name_), "-nolisten", "tcp", "-screen",
                                   "0", "800x600x24"});
            if (!server_.waitForStarted(3000))
                return;
            if (WaitFor([&] { return (display_ = XOpenDisplay(name_.c_str())) != nullptr; },
                        5000))
                return;
            server_.kill();
            server_.waitForFinished();
        }
    }
    ~XServer() {
        if (display_ != nullptr)
            XCloseDisplay(display_);
        server_.terminate();
        server_.waitForFinished(3000);
    }

    Display* display() const { return display_; }
    const std::string& name() const { return name_; }

    // Windows below the root (and one level further, as a window manager reparents)
    // titled text.
    Window Find(const std::string& text) { return Find(DefaultRootWindow(display_), text, 1); }

    Window Focused() {
        XSync(display_, False);
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(display_, &focus, &revert);
        return focus;
    }

private:
    Window Find(Window parent, const std::string& text, int depth) {
        Window root, up, *children = nullptr;
        unsigned count = 0;
        Window found = 0;
        if (!XQueryTree(display_, parent, &root, &up, &children, &count))
            return 0;
        for (unsigned i = 0; i < count && !found; ++i) {
            char* name = nullptr;
            if (XFetchName(display_, children[i], &name) && name != nullptr) {
                if (text == name)
                    found = children[i];
                XFree(name);
            }
            if (!found && depth > 0)
                found = Find(children[i], text, depth - 1);
        }
        if (children)
            XFree(children);
        return found;
    }

    QProcess server_;
    std::string name_;
    Display* display_ = nullptr;
};

class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override {
        VREL_REQUIRE_NETWORK_SANDBOX(); // the window opens its sockets
        if (QStandardPaths::findExecutable("Xvfb").isEmpty())
            GTEST_SKIP() << "Xvfb is not installed (tools/install-deps installs it)";
        x_ = std::make_unique<XServer>();
        ASSERT_NE(x_->display(), nullptr) << "Xvfb did not start";
    }

    // Starts vrel-config on the test's X server.
    std::unique_ptr<QProcess> Start() {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", QString::fromStdString(x_->name()));
        env.insert("QT_QPA_PLATFORM", "xcb");
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(VREL_BIN_DIR "/vrel-config", {});
        EXPECT_TRUE(p->waitForStarted(3000));
        return p;
    }

    // A window of another program that carries the caption.
    Window MakeForeignWindow() { return MakeForeignWindowAt(kCaption); }

    Window MakeForeignWindowAt(const char* title) {
        Display* d = x_->display();
        const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 10, 10, 200, 100, 0, 0, 0);
        XStoreName(d, w, title);
        XMapWindow(d, w);
        XSync(d, False);
        return w;
    }

    std::unique_ptr<XServer> x_;
};

TEST_F(SingleInstance, SecondStartActivatesTheFirstAndEndsWithZero) {
    auto first = Start();
    Window window = 0;
    ASSERT_TRUE(WaitFor([&] { return (window = x_->Find(kCaption)) != 0; }, 10000))
        << "the first instance's window did not appear";
    // Something else holds the focus before the second start.
    const Window other = MakeForeignWindowAt("something else");
    XSetInputFocus(x_->display(), other, RevertToParent, CurrentTime);
    ASSERT_EQ(x_->Focused(), other);

    auto second = Start();
    ASSERT_TRUE(second->waitForFinished(10000)) << "the second instance did not end";
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(x_->Focused(), window) << "the running window was not activated";
    EXPECT_EQ(first->state(), QProcess::Running) << "the first instance must go on";
    first->terminate();
    first->waitForFinished(10000);
}

TEST_F(SingleInstance, AForeignWindowWithTheCaptionCountsAsAnInstance) {
    const Window foreign = MakeForeignWindow();
    auto p = Start();
    ASSERT_TRUE(p->waitForFinished(10000)) << "the new instance did not end";
    EXPECT_EQ(p->exitCode(), 0);
    EXPECT_EQ(x_->Focused(), foreign);
}

TEST_F(SingleInstance, ClosingTheWindowEndsTheProcessWithZero) {
    auto p = Start();
    Window window = 0;
    ASSERT_TRUE(WaitFor([&] { return (window = x_->Find(kCaption)) != 0; }, 10000));
    // What a window manager sends when the user closes the window.
    Display* d = x_->display();
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, window, False, NoEventMask, &e);
    XSync(d, False);
    ASSERT_TRUE(p->waitForFinished(10000)) << "closing the window did not end the process";
    EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p->exitCode(), 0);
}

} // namespace
