// Takes the README's pictures: the window enlarged on a sample file, with the repeated
// addresses marked and selected and one lookup done, tall enough that no row is cut at
// the bottom; when more file names are given, the same with the table's context menu
// open, and the health and pools window. With --window, takes another program's window
// of the X display (the Windows installer under Wine).
//
//   kelto-screenshot DHCPSRV_INI OUTPUT_PNG [MENU_PNG [HEALTH_PNG]]
//   kelto-screenshot --window X_WINDOW_ID OUTPUT_PNG

#include "keltofrm.h"

#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QTest>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--window") == 0)
        return QGuiApplication::primaryScreen()
                       ->grabWindow(WId(QByteArray(argv[2]).toULongLong()))
                       .save(QString::fromLocal8Bit(argv[3]))
                   ? 0
                   : 1;
    if (argc < 3 || argc > 5) {
        qWarning("usage: kelto-screenshot DHCPSRV_INI OUTPUT_PNG [MENU_PNG [HEALTH_PNG]]\n"
                 "       kelto-screenshot --window X_WINDOW_ID OUTPUT_PNG");
        return 64;
    }
    Keltofrm window;
    window.setFailureReporter(
        [](QWidget *, const QString &message) { qFatal("%s", qPrintable(message)); });
    window.start(QString::fromLocal8Bit(argv[1]));
    auto *table = window.findChild<QListView *>(QStringLiteral("Table"));
    // Every row above the window's bottom edge.
    constexpr int Margin = 10;
    const int rows = table->model()->rowCount();
    window.resize(1200,
                  table->y() + 2 * table->frameWidth() + rows * table->sizeHintForRow(0) + Margin);
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;

    auto *ip = window.findChild<QLineEdit *>(QStringLiteral("IP"));
    QTest::keyClicks(ip, QStringLiteral("36"));
    QTest::keyClick(ip, Qt::Key_Return);
    QTest::qWait(200);
    if (!window.grab().save(QString::fromLocal8Bit(argv[2])))
        return 1;
    if (argc == 3)
        return 0;

    // The menu of a repeated row; the menu is a window of its own, so the screen is taken.
    const QModelIndex row = table->model()->index(1, 0);
    emit table->customContextMenuRequested(table->visualRect(row).center() + QPoint(-300, 0));
    auto *menu = window.findChild<QMenu *>(QStringLiteral("tableMenu"));
    if (!menu || !QTest::qWaitForWindowExposed(menu))
        return 1;
    QTest::qWait(200);
    const QRect area = window.frameGeometry();
    if (!window.screen()
             ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
             .save(QString::fromLocal8Bit(argv[3])))
        return 1;
    menu->close();
    if (argc == 4)
        return 0;

    // The health and pools window, a finding's row activated in the table.
    window.showHealth();
    auto *health = window.findChild<QWidget *>(QStringLiteral("HealthWindow"));
    if (!health || !QTest::qWaitForWindowExposed(health))
        return 1;
    health->resize(1100, 560);
    QTest::qWait(200);
    return health->grab().save(QString::fromLocal8Bit(argv[4])) ? 0 : 1;
}
