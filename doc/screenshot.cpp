// Takes the README's screenshot: the window enlarged on a sample file, with the
// repeated addresses selected and one lookup done.
//
//   kelto-screenshot DHCPSRV_INI OUTPUT_PNG

#include "keltofrm.h"

#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QTest>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 3) {
        qWarning("usage: kelto-screenshot DHCPSRV_INI OUTPUT_PNG");
        return 64;
    }
    Keltofrm window;
    window.setFailureReporter(
        [](QWidget *, const QString &message) { qFatal("%s", qPrintable(message)); });
    window.start(QString::fromLocal8Bit(argv[1]));
    window.resize(1200, 600);
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;

    auto *ip = window.findChild<QLineEdit *>(QStringLiteral("IP"));
    QTest::keyClicks(ip, QStringLiteral("36"));
    QTest::keyClick(ip, Qt::Key_Return);
    QTest::qWait(200);
    return window.grab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
