// Renders the main window as a user sees it after a Discover and one Set, into a PNG file:
// the screenshot of the README and of `make demo`. Needs devices (a simulator) to talk to.
#include "NetworkNamespace.h"
#include "SystemLocale.h"
#include "TTheVrel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTest>

#include <cstdio>
#include <functional>

namespace {

bool WaitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QTest::qWait(20);
    return done();
}

} // namespace

int main(int argc, char** argv) {
    // The window broadcasts a Discover: only ever inside a namespace whose sole interface is lo.
    if (!vrel::OnlyLoopbackInterface()) {
        std::fprintf(stderr, "vrel-window-shot: run it inside tools/netns-run (make demo does)\n");
        return 2;
    }
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: vrel-window-shot OUTPUT.png\n");
        return 2;
    }
    vrel::UseSystemLocaleFormats();
    vrel::TTheVrel window;
    window.show();
    QTest::qWait(200);

    window.BT_Discover->click();
    WaitFor([&] { return window.LV_Vrel->RowCount() >= 5; }, 3000);
    QTest::qWait(300);
    window.LV_Vrel->sortByColumn(2, Qt::AscendingOrder);
    if (window.LV_Vrel->RowCount() > 3) {
        window.LV_Vrel->setCurrentIndex(window.LV_Vrel->model()->index(3, 0));
        window.LV_VrelClick();
        window.ED_IP->setText("10.0.0.44");
        window.BT_Set->click();
        WaitFor([&] { return window.Memo_Info->toPlainText().contains("Set OK"); }, 4000);
    }
    QTest::qWait(200);
    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "vrel-window-shot: cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("wrote %s\n", argv[1]);
    return 0;
}
