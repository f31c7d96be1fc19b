// Times the window on one file: load (scan, model, selection of repeated addresses)
// until the window has painted it, and a lookup that matches no row, the worst case.
// Run under QT_QPA_PLATFORM=offscreen.
//
//   kelto-bench-window FILE

#include "keltofrm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kelto-bench-window FILE\n");
        return 64;
    }
    Keltofrm window;
    window.setFailureReporter([](QWidget *, const QString &) { std::exit(1); });
    window.resize(1200, 800);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    auto *source = window.findChild<QLineEdit *>(QStringLiteral("Source"));
    auto *ip = window.findChild<QLineEdit *>(QStringLiteral("IP"));
    source->setText(QString::fromLocal8Bit(argv[1]));

    QElapsedTimer timer;
    timer.start();
    window.load();
    window.repaint(); // shown: the visible rows laid out and painted
    const double loadMs = timer.nsecsElapsed() / 1e6;

    ip->setText(QStringLiteral("xyz"));
    timer.start();
    window.lookup();
    const double missMs = timer.nsecsElapsed() / 1e6;

    std::printf("load and show %8.1f ms   lookup miss %6.2f ms\n", loadMs, missMs);
    return 0;
}
