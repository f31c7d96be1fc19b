// The window: layout, start-up, load and reload, lookup, resizing.

#include "commandline.h"
#include "keltofrm.h"
#include "resizerule.h"
#include "rowcolors.h"
#include "testsupport.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <QTreeWidget>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace kelto::test;

namespace {

const QByteArray Clients
    = crlf({"[SETTINGS]", "[HTTP-SETTINGS]", "EnableHTTP=1", "[00-11-22-33-44-55]",
            "IPADDR=192.168.1.5", "Hostname=alpha", "[00-11-22-33-44-66]", "IPADDR=10.0.0.7",
            "Hostname=ten", "[00-11-22-33-44-77]", "IPADDR=192.168.1.5", "Hostname=beta",
            "[00-11-22-33-44-88]", "IPADDR=192.168.1.7", "Hostname=seven", "[00-11-22-33-44-99]",
            "IPADDR=192.168.1.5", "Hostname=gamma"});

} // namespace

class tst_Keltofrm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowAtCreation();
    void startUp_data();
    void startUp();
    void commandLine_data();
    void commandLine();
    void startUpOptions_data();
    void startUpOptions();
    void tooltip();
    void screenReaders_data();
    void screenReaders();
    void loadSelectsRepeatedAddresses();
    void failureKeepsRowsAndFocus();
    void serverSettingsBeforeClients();
    void unreadablePaths_data();
    void unreadablePaths();
#ifdef Q_OS_LINUX
    void outOfMemory();
    void closedStandardStreams();
#endif
    void reloadOnEnterOnly();
    void lookup_data();
    void lookup();
    void missAfterHit();
    void copyRows();
    void tableMenu_data();
    void tableMenu();
    void marksOutlastTheSelection();
    void reloadAndDrop(); // and quit
    void watchFollowsTheFile();
    void healthWindow();
    void find_data();
    void find();
    void markColors_data();
    void markColors();
    void helpAndVersion_data();
    void helpAndVersion();
    void resizeRule_data();
    void resizeRule();
    void resizingMovesOnlyTable();

private:
    template <typename T = QWidget> T *control(const char *name) const
    {
        return m_window->findChild<T *>(QLatin1StringView(name));
    }
    QStringList shownRows() const;
    QList<int> selectedRows() const;
    void startOn(const QByteArray &bytes);

    QTemporaryDir *m_dir = nullptr;
    Keltofrm *m_window = nullptr;
    QStringList m_failures;
};

void tst_Keltofrm::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(QDir::setCurrent(m_dir->path()));
    m_failures.clear();
    m_window = new Keltofrm;
    m_window->setFailureReporter([this](QWidget *, const QString &message) {
        // The busy cursor of the scan is gone before the box appears.
        m_failures << message + (QGuiApplication::overrideCursor() ? "\n(busy cursor)" : "");
    });
}

void tst_Keltofrm::cleanup()
{
    QDir::setCurrent(QDir::tempPath()); // a folder in use cannot be removed on Windows
    delete m_window;
    delete m_dir;
}

QStringList tst_Keltofrm::shownRows() const
{
    const QAbstractItemModel *model = control<QListView>("Table")->model();
    QStringList rows;
    for (int i = 0; i < model->rowCount(); ++i)
        rows << model->index(i, 0).data().toString();
    return rows;
}

QList<int> tst_Keltofrm::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index :
         control<QListView>("Table")->selectionModel()->selectedIndexes())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void tst_Keltofrm::startOn(const QByteArray &bytes)
{
    writeFile(*m_dir, QStringLiteral("dhcpsrv.ini"), bytes);
    m_window->start(QString());
    m_window->activateWindow(); // with no window manager, nothing else activates it
    QVERIFY(QTest::qWaitForWindowActive(m_window));
}

void tst_Keltofrm::windowAtCreation()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Kelto"));
    QVERIFY(!m_window->windowIcon().pixmap(32).isNull());
    QCOMPARE(m_window->size(), QSize(364, 57)); // 5460 x 855 twips
    QCOMPARE(m_window->font().pointSizeF(), 8.25);

    // The focus moves among IP, Table and Source only, in that order.
    QStringList order;
    QWidget *widget = control("IP");
    do {
        order << widget->objectName();
        do
            widget = widget->nextInFocusChain();
        while (widget->focusPolicy() == Qt::NoFocus || widget == m_window);
    } while (widget != control("IP"));
    QCOMPARE(order, (QStringList{"IP", "Table", "Source"}));

    QCOMPARE(control("IP")->accessibleName(), QStringLiteral("Host number"));
    QCOMPARE(control("Source")->accessibleName(), QStringLiteral("Ini path"));
    QCOMPARE(control("Table")->accessibleName(), QStringLiteral("Host table"));

    const auto *table = control<QListView>("Table");
    QCOMPARE(table->selectionMode(), QAbstractItemView::ExtendedSelection);
    QVERIFY(table->uniformItemSizes());
    QCOMPARE(table->textElideMode(), Qt::ElideNone);
    QCOMPARE(table->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QVERIFY(!table->wordWrap());
    QVERIFY(m_window->focusWidget() == control("IP"));
}

void tst_Keltofrm::startUp_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("failures");
    QTest::addColumn<bool>("watching");

    // One row per case, as in a table.
    // clang-format off
    QTest::newRow("no arguments") << QStringList{"kelto"} << "dhcpsrv.ini" << 0 << false;
    QTest::newRow("quoted path") << QStringList{"kelto", "\"dhcp srv.ini\""} << "dhcp srv.ini" << 0 << false;
    QTest::newRow("quotes inside") << QStringList{"kelto", "dh\"cp\"srv.ini"} << "dhcpsrv.ini" << 0 << false;
    QTest::newRow("two arguments") << QStringList{"kelto", "dhcp", "srv.ini"} << "dhcp srv.ini" << 0 << false;
    QTest::newRow("spaces kept") << QStringList{"kelto", " dhcp srv.ini"} << " dhcp srv.ini" << 1 << false;
    QTest::newRow("only quotes") << QStringList{"kelto", "\"\""} << "" << 1 << false;
    QTest::newRow("watch") << QStringList{"kelto", "--watch", "\"dhcp srv.ini\""} << "dhcp srv.ini" << 0 << true;
    QTest::newRow("watch alone") << QStringList{"kelto", "--watch"} << "dhcpsrv.ini" << 0 << true;
    QTest::newRow("a path that starts so") << QStringList{"kelto", "--watched.ini"} << "--watched.ini" << 1 << false;
    // clang-format on
}

void tst_Keltofrm::startUp()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, source);
    QFETCH(int, failures);
    QFETCH(bool, watching);

    writeFile(*m_dir, QStringLiteral("dhcpsrv.ini"), Clients);
    writeFile(*m_dir, QStringLiteral("dhcp srv.ini"), crlf({"IPADDR=1.2.3.4", "Hostname=spaced"}));
    m_window->start(commandline::argumentTextOf(arguments));
    QVERIFY(m_window->isVisible());
    QCOMPARE(control<QLineEdit>("Source")->text(), source);
    QCOMPARE(m_failures.size(), failures);
    QCOMPARE(shownRows().isEmpty(), failures > 0);
    QCOMPARE(m_window->isWatching(), watching);
    QCOMPARE(m_window->findChild<QAction *>(QStringLiteral("watchFile"))->isChecked(), watching);
}

void tst_Keltofrm::commandLine_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("argumentText");

    // One row per case, as in a table.
    // clang-format off
    QTest::newRow("path") << "kelto.exe C:\\dhcp\\dhcpsrv.ini" << "C:\\dhcp\\dhcpsrv.ini";
    QTest::newRow("quoted program and path") << "\"C:\\Program Files\\kelto.exe\" \"C:\\my dhcp\\dhcpsrv.ini\"" << "\"C:\\my dhcp\\dhcpsrv.ini\"";
    QTest::newRow("blanks inside kept") << "kelto.exe \tdhcp  srv.ini " << "dhcp  srv.ini ";
    QTest::newRow("nothing") << "kelto.exe" << "";
    // clang-format on
}

void tst_Keltofrm::commandLine()
{
    QFETCH(QString, commandLine);
    QFETCH(QString, argumentText);
    QCOMPARE(commandline::argumentTextOf(QStringView(commandLine)), argumentText);
}

void tst_Keltofrm::startUpOptions_data()
{
    QTest::addColumn<QString>("argumentText");
    QTest::addColumn<QString>("ouiDir");
    QTest::addColumn<bool>("watch");
    QTest::addColumn<QString>("path"); // "(none)" for no path

    QTest::newRow("both, then a path") << "--oui-dir lists --watch srv.ini" << "lists" << true << "srv.ini";
    QTest::newRow("quoted folder, quoted path")
        << "--watch --oui-dir \"my lists\" \"C:\\dhcp srv\\dhcpsrv.ini\"" << "my lists" << true
        << "C:\\dhcp srv\\dhcpsrv.ini";
    QTest::newRow("folder only") << "--oui-dir lists" << "lists" << false << "(none)";
}

void tst_Keltofrm::startUpOptions()
{
    QFETCH(QString, argumentText);
    QFETCH(QString, ouiDir);
    QFETCH(bool, watch);
    QFETCH(QString, path);
    const commandline::StartUp startUp = commandline::readStartUp(argumentText);
    QCOMPARE(startUp.ouiDir, ouiDir);
    QCOMPARE(startUp.watch, watch);
    QCOMPARE(startUp.path.value_or(QStringLiteral("(none)")), path);
}

void tst_Keltofrm::tooltip()
{
    writeFile(*m_dir, QStringLiteral("dhcpsrv.ini"),
              crlf({"[00-1a-2b-30-00-02]", "IPADDR=10.0.0.2", "Hostname=camera", "LeaseEnd=86400",
                    "[da-a1-19-5c-00-05]", "IPADDR=10.0.0.2", "Hostname=phone"}));
    m_window->start(QStringLiteral("--oui-dir \"" KELTO_TEST_FILES "/registry\" dhcpsrv.ini"));
    const QAbstractItemModel *model = control<QListView>("Table")->model();
    QCOMPARE(model->index(0, 0).data(Qt::ToolTipRole).toString(),
             QStringLiteral("Address: 10.0.0.2\nHost name: camera\nMAC: 00-1a-2b-30-00-02\n"
                            "Lease end: 1970-01-02T00:00:00Z (expired)\nVendor: Nested Medium GmbH\n"
                            "address shared with another row"));
    QCOMPARE(model->index(1, 0).data(Qt::ToolTipRole).toString(),
             QStringLiteral("Address: 10.0.0.2\nHost name: phone\nMAC: da-a1-19-5c-00-05\n"
                            "Vendor: private (randomised) address\naddress shared with another row"));
    QCOMPARE(model->index(1, 0).data(Qt::AccessibleDescriptionRole).toString(),
             QStringLiteral("address shared with another row"));
    QVERIFY(m_failures.isEmpty());
}

void tst_Keltofrm::loadSelectsRepeatedAddresses()
{
    startOn(Clients);
    QCOMPARE(shownRows(), (QStringList{row("·10.··0.··0.··7", "ten", "00-11-22-33-44-66"),
                                       row("192.168.··1.··5", "alpha", "00-11-22-33-44-55"),
                                       row("192.168.··1.··5", "beta", "00-11-22-33-44-77"),
                                       row("192.168.··1.··5", "gamma", "00-11-22-33-44-99"),
                                       row("192.168.··1.··7", "seven", "00-11-22-33-44-88")}));
    QCOMPARE(selectedRows(), (QList<int>{2, 3}));
    QVERIFY(m_failures.isEmpty());
    QCOMPARE(QApplication::focusWidget(), control("IP"));
}

void tst_Keltofrm::failureKeepsRowsAndFocus()
{
    startOn(crlf({"IPADDR=1.1.1.1", "Hostname=a", "IPADDR=1.1.1.1", "Hostname=b", "IPADDR=10.0.0",
                  "Hostname=c"}));
    // The three lines, then the file and the cause.
    QCOMPARE(m_failures.value(0).split(u'\n'),
             (QStringList{"Install in the DHCP directory",
                          "or make shortcut with path to the dhcpsrv.ini file",
                          "Expand window and enter dhcpsrv.ini path",
                          "dhcpsrv.ini: line 5: malformed address \"10.0.0\""}));
    QCOMPARE(shownRows(), (QStringList{row("··1.··1.··1.··1", "a"), row("··1.··1.··1.··1", "b")}));
    QVERIFY(selectedRows().isEmpty()); // no repeated addresses marked after a failure

    // A failed reload leaves the focus where it was.
    auto *source = control<QLineEdit>("Source");
    source->setFocus();
    source->setText(QStringLiteral("missing.ini"));
    QTest::keyClick(source, Qt::Key_Return);
    QCOMPARE(m_failures.size(), 2);
    QVERIFY(shownRows().isEmpty());
    QCOMPARE(QApplication::focusWidget(), source);
}

void tst_Keltofrm::serverSettingsBeforeClients()
{
    // DEFAULTIPADDR= in the DNS settings is no address line: the clients' rows are shown.
    QFile file(QStringLiteral(KELTO_TEST_FILES "/dns-settings.ini"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    startOn(file.readAll());
    QVERIFY(m_failures.isEmpty());
    QCOMPARE(shownRows(), (QStringList{row("192.168.··0.·10", "first", "00-11-22-33-44-01"),
                                       row("192.168.··0.·11", "second", "00-11-22-33-44-02")}));
}

void tst_Keltofrm::unreadablePaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("cause");

    QTest::newRow("directory") << "."
                               << ".: not a regular file";
#ifdef Q_OS_UNIX
    QTest::newRow("FIFO without writer") << "fifo"
                                         << "fifo: not a regular file";
    QTest::newRow("device") << "/dev/zero"
                            << "/dev/zero: not a regular file";
#else
    QTest::newRow("device") << "NUL"
                            << "NUL: not a regular file";
#endif
    QTest::newRow("missing") << "missing.ini"
                             << "missing.ini: " + qt_error_string(ENOENT);
}

void tst_Keltofrm::unreadablePaths()
{
    QFETCH(QString, path);
    QFETCH(QString, cause);

#ifdef Q_OS_UNIX
    QVERIFY(::mkfifo(qPrintable(m_dir->filePath(QStringLiteral("fifo"))), 0600) == 0);
#endif
    m_window->start(QLatin1Char('"') + path + QLatin1Char('"'));
    // One message that says why, nothing hangs, and the window stays usable.
    QCOMPARE(m_failures, QStringList{Keltofrm::ScanFailureMessage + u'\n' + cause});
    QVERIFY(shownRows().isEmpty());
    QTest::keyClicks(control("IP"), QStringLiteral("7"));
    QTest::keyClick(control("IP"), Qt::Key_Return);
    QCOMPARE(control<QLabel>("Result")->text(), QStringLiteral("  7"));
    writeFile(*m_dir, QStringLiteral("dhcpsrv.ini"), Clients);
    control<QLineEdit>("Source")->setText(QStringLiteral("dhcpsrv.ini"));
    QTest::keyClick(control("Source"), Qt::Key_Return);
    QCOMPARE(shownRows().size(), 5);
    QCOMPARE(m_failures.size(), 1);
}

#ifdef Q_OS_LINUX

void tst_Keltofrm::outOfMemory()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer needs more address space than any limit leaves");
#endif
    // Memory runs out while a large file is read: the box appears while the window goes
    // on handling events (as it does while the box waits to be shown), and the table is
    // empty; once there is memory again, the window reads as before.
    writeFile(*m_dir, QStringLiteral("big.ini"), clients(800'000, "10.0.0.1", "host-name"));
    m_window->setFailureReporter([this](QWidget *, const QString &message) {
        m_failures << message;
        QTest::qWait(50);
    });
    QFile statm(QStringLiteral("/proc/self/statm"));
    QVERIFY(statm.open(QIODevice::ReadOnly));
    const qint64 inUse = statm.readAll().split(' ').value(0).toLongLong() * ::sysconf(_SC_PAGESIZE);
    rlimit limit = {};
    QVERIFY(::getrlimit(RLIMIT_AS, &limit) == 0);
    const rlimit scarce = {rlim_t(inUse + (90 << 20)), limit.rlim_max};
    QVERIFY(::setrlimit(RLIMIT_AS, &scarce) == 0);
    m_window->start(QStringLiteral("big.ini"));
    QTest::qWait(50);
    QVERIFY(::setrlimit(RLIMIT_AS, &limit) == 0);

    QCOMPARE(m_failures, QStringList{Keltofrm::ScanFailureMessage
                                     + "\nbig.ini: not enough memory to read the file"});
    QVERIFY(shownRows().isEmpty());
    QTest::keyClick(control("Source"), Qt::Key_Return);
    QCOMPARE(shownRows().size(), 800'000);
}

void tst_Keltofrm::closedStandardStreams()
{
    // Started with standard input, output and error closed, the window takes each with
    // the null device before anything else opens a descriptor, so that nothing it opens
    // (the X server's connection, a file) becomes standard error.
    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    process.setChildProcessModifier([] {
        for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
            ::close(fd);
    });
    writeFile(*m_dir, QStringLiteral("dhcpsrv.ini"), Clients);
    process.start(QStringLiteral(KELTO_APP_PATH), {});
    QVERIFY(process.waitForStarted());
    const QString fds = QStringLiteral("/proc/%1/fd/").arg(process.processId());
    const auto targets = [&fds] {
        QStringList links;
        for (const char *fd : {"0", "1", "2"})
            links << QFile::symLinkTarget(fds + fd);
        return links;
    };
    const auto stop = qScopeGuard([&process] {
        process.kill();
        process.waitForFinished();
    });
    QTRY_COMPARE_WITH_TIMEOUT(targets(), (QStringList{"/dev/null", "/dev/null", "/dev/null"}),
                              10000);
    QCOMPARE(process.state(), QProcess::Running);
}

#endif

void tst_Keltofrm::reloadOnEnterOnly()
{
    startOn(Clients);
    QTest::keyClicks(control("IP"), QStringLiteral("7"));
    QTest::keyClick(control("IP"), Qt::Key_Return);
    QCOMPARE(control<QLabel>("Host")->text(), QStringLiteral("ten"));

    writeFile(*m_dir, QStringLiteral("second.ini"), crlf({"IPADDR=2.2.2.2", "Hostname=two"}));
    auto *source = control<QLineEdit>("Source");
    source->setFocus();
    source->selectAll();
    QTest::keyClicks(source, QStringLiteral("second.ini")); // typing never reloads
    QCOMPARE(shownRows().size(), 5);
    QTest::keyClick(source, Qt::Key_Enter); // keypad Enter reloads too
    QCOMPARE(shownRows(), QStringList{row("··2.··2.··2.··2", "two")});
    QCOMPARE(QApplication::focusWidget(), control("IP"));
    // A reload leaves the last lookup shown.
    QCOMPARE(control<QLabel>("Result")->text(), QStringLiteral("10.0.0.7"));
    QCOMPARE(control<QLabel>("Host")->text(), QStringLiteral("ten"));
    QCOMPARE(control<QLabel>("mac")->text(), QStringLiteral("00-11-22-33-44-66"));
}

void tst_Keltofrm::lookup_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("mac");

    // One row per case, as in a table.
    // clang-format off
    QTest::newRow("7") << "7" << "10.0.0.7" << "ten" << "00-11-22-33-44-66";
    QTest::newRow("07") << "07" << "·07" << "" << "";
    QTest::newRow("007") << "007" << "007" << "" << "";
    QTest::newRow("a space") << "·7" << "10.0.0.7" << "ten" << "00-11-22-33-44-66";
    QTest::newRow("empty") << "" << "" << "" << "";
    QTest::newRow("four characters") << "1005" << "1005" << "" << "";
    QTest::newRow("first of repeated") << "5" << "192.168.1.5" << "alpha" << "00-11-22-33-44-55";
    // clang-format on
}

void tst_Keltofrm::lookup()
{
    QFETCH(QString, typed);
    QFETCH(QString, result);
    QFETCH(QString, host);
    QFETCH(QString, mac);

    startOn(Clients);
    auto *table = control<QListView>("Table");
    table->resize(table->width(), 40); // make it scroll
    table->verticalScrollBar()->setValue(1);
    const int scrolled = table->verticalScrollBar()->value();
    const QList<int> selected = selectedRows();

    QTest::keyClicks(control("IP"), spaces(typed));
    QTest::keyClick(control("IP"), Qt::Key_Return);
    QCOMPARE(control<QLabel>("Result")->text(), spaces(result));
    QCOMPARE(control<QLabel>("Host")->text(), host);
    QCOMPARE(control<QLabel>("mac")->text(), mac);
    QCOMPARE(control<QLineEdit>("IP")->text(), QString());
    QCOMPARE(QApplication::focusWidget(), control("IP"));
    QCOMPARE(selectedRows(), selected);
    if (host.isEmpty()) {
        // A lookup that matched nothing changes nothing in the table.
        QCOMPARE(table->verticalScrollBar()->value(), scrolled);
        QVERIFY(!table->currentIndex().isValid());
    } else {
        // The found row is the current row, and in view.
        const QModelIndex current = table->currentIndex();
        QCOMPARE(current.data().toString().mid(16).simplified(), host + ' ' + mac);
        QVERIFY(table->viewport()->rect().intersects(table->visualRect(current)));
    }
}

void tst_Keltofrm::missAfterHit()
{
    startOn(Clients);
    QTest::keyClicks(control("IP"), QStringLiteral("7"));
    QTest::keyClick(control("IP"), Qt::Key_Return);
    QCOMPARE(control<QLabel>("Host")->text(), QStringLiteral("ten"));
    QTest::keyClicks(control("IP"), QStringLiteral("99"));
    QTest::keyClick(control("IP"), Qt::Key_Enter);
    QCOMPARE(control<QLabel>("Result")->text(), QStringLiteral(" 99"));
    QCOMPARE(control<QLabel>("Host")->text(), QString());
    QCOMPARE(control<QLabel>("mac")->text(), QString());
}

void tst_Keltofrm::copyRows()
{
    startOn(Clients);
    auto *table = control<QListView>("Table");
    table->clearSelection();
    const QAbstractItemModel *model = table->model();
    table->selectionModel()->select(model->index(3, 0), QItemSelectionModel::Select);
    table->selectionModel()->select(model->index(0, 0), QItemSelectionModel::Select);
    // The current row, not selected, is not copied.
    table->selectionModel()->setCurrentIndex(model->index(4, 0), QItemSelectionModel::NoUpdate);
    table->setFocus();
    QTest::keySequence(table, QKeySequence::Copy);
    // In table order, as shown, trailing spaces of the host name field kept.
    QCOMPARE(QGuiApplication::clipboard()->text(), shownRows()[0] + '\n' + shownRows()[3] + '\n');
}

void tst_Keltofrm::tableMenu_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("clipboard"); // empty: look at the selection instead

    QTest::newRow("copy rows") << "copyRows"
                               << "(row 2, as shown)";
    QTest::newRow("copy address") << "copyAddress"
                                  << "192.168.1.5";
    QTest::newRow("copy host name") << "copyHostName"
                                    << "beta";
    QTest::newRow("copy MAC") << "copyMac"
                              << "00-11-22-33-44-77";
    QTest::newRow("select repeated addresses") << "selectRepeated"
                                               << "";
}

void tst_Keltofrm::tableMenu()
{
    QFETCH(QString, action);
    QFETCH(QString, clipboard);

    startOn(Clients);
    auto *table = control<QListView>("Table");
    table->resize(table->width(), 400);
    table->clearSelection();
    table->selectionModel()->select(table->model()->index(2, 0), QItemSelectionModel::Select);
    QGuiApplication::clipboard()->clear();
    // The menu of row 2 (beta), as the right mouse button opens it.
    emit table->customContextMenuRequested(table->visualRect(table->model()->index(2, 0)).center());
    auto *menu = m_window->findChild<QMenu *>(QStringLiteral("tableMenu"));
    QVERIFY(menu);
    QTRY_VERIFY(menu->isVisible());
    menu->findChild<QAction *>(action)->trigger();
    menu->hide();
    if (clipboard.isEmpty()) {
        QCOMPARE(selectedRows(), (QList<int>{2, 3}));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString());
    } else {
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 action == "copyRows" ? shownRows()[2] + '\n' : clipboard);
    }
}

void tst_Keltofrm::marksOutlastTheSelection()
{
    startOn(Clients);
    auto *table = control<QListView>("Table");
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualRect(table->model()->index(0, 0)).center());
    QCOMPARE(selectedRows(), QList<int>{0});
    // 192.168.1.5 is held by rows 1 to 3: each is marked, and says so to a screen reader.
    QList<int> marked;
    for (int i = 0; i < table->model()->rowCount(); ++i) {
        const QModelIndex index = table->model()->index(i, 0);
        if (index.data(Qt::BackgroundRole).isValid()) {
            marked << i;
            QVERIFY(!index.data(Qt::AccessibleDescriptionRole).toString().isEmpty());
        }
    }
    QCOMPARE(marked, (QList<int>{1, 2, 3}));
}

void tst_Keltofrm::reloadAndDrop()
{
    startOn(Clients);
    writeFile(*m_dir, QStringLiteral("dhcpsrv.ini"), crlf({"IPADDR=2.2.2.2", "Hostname=two"}));
    QTest::keyClick(m_window, Qt::Key_F5);
    QCOMPARE(shownRows(), QStringList{row("··2.··2.··2.··2", "two")});

    const QString other = writeFile(*m_dir, QStringLiteral("dropped.ini"),
                                    crlf({"IPADDR=3.3.3.3", "Hostname=three"}));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(other)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(m_window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(m_window, &drop);
    QCOMPARE(control<QLineEdit>("Source")->text(), QDir::toNativeSeparators(other));
    QCOMPARE(shownRows(), QStringList{row("··3.··3.··3.··3", "three")});
    QVERIFY(m_failures.isEmpty());

    QTest::keyClick(m_window, Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!m_window->isVisible());
}

void tst_Keltofrm::helpAndVersion_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("output"); // its start

    QTest::newRow("--help") << "--help"
                            << "Usage: ";
    QTest::newRow("-h") << "-h"
                        << "Usage: ";
    QTest::newRow("--version") << "--version"
                               << "Kelto " KELTO_VERSION "\nno IEEE registry lists in "
                                      + QDir::toNativeSeparators(qEnvironmentVariable("KELTO_OUI_DIR"));
}

void tst_Keltofrm::helpAndVersion()
{
    QFETCH(QString, argument);
    QFETCH(QString, output);
#ifdef Q_OS_WIN
    QSKIP("a Windows program without console shows the text in a message box");
#endif
    const Run run = runProgram(QStringLiteral(KELTO_APP_PATH), {argument}, m_dir->path());
    QCOMPARE(run.status, 0);
    QVERIFY2(run.out.startsWith(output), qPrintable(run.out));
}

void tst_Keltofrm::resizeRule_data()
{
    QTest::addColumn<bool>("minimised");
    QTest::addColumn<QSizeF>("outer");
    QTest::addColumn<QSizeF>("client");
    QTest::addColumn<QSizeF>("table"); // empty: unchanged

    QTest::newRow("worked example")
        << false << QSizeF(8000, 9000) << QSizeF(7760, 8415) << QSizeF(7527.2, 7120.0251);
    QTest::newRow("width 5700 keeps")
        << false << QSizeF(5700, 1440) << QSizeF(5460, 855) << QSizeF(5175, 4860);
    // 5461 / 5701 x (5701 - 240) and 6106 / 6691 x (6106 - 800)
    QTest::newRow("width 5701") << false << QSizeF(5701, 1440) << QSizeF(5461, 855)
                                << QSizeF(5231.1035, 4860);
    QTest::newRow("height 6690 keeps")
        << false << QSizeF(5700, 6690) << QSizeF(5460, 6105) << QSizeF(5175, 4860);
    QTest::newRow("height 6691") << false << QSizeF(5700, 6691) << QSizeF(5460, 6106)
                                 << QSizeF(5175, 4842.0918);
    QTest::newRow("minimised") << true << QSizeF(8000, 9000) << QSizeF(7760, 8415) << QSizeF();
}

void tst_Keltofrm::resizeRule()
{
    QFETCH(bool, minimised);
    QFETCH(QSizeF, outer);
    QFETCH(QSizeF, client);
    QFETCH(QSizeF, table);

    const std::optional<QSizeF> size = resizerule::tableSize(minimised, outer, client);
    QCOMPARE(size.has_value(), !table.isEmpty());
    if (size) {
        QVERIFY2(qAbs(size->width() - table.width()) < 0.001,
                 qPrintable(QString::number(size->width(), 'f', 4)));
        QVERIFY2(qAbs(size->height() - table.height()) < 0.001,
                 qPrintable(QString::number(size->height(), 'f', 4)));
    }
}

void tst_Keltofrm::resizingMovesOnlyTable()
{
    startOn(Clients);
    QHash<QString, QRect> before;
    for (const QWidget *child : m_window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        before.insert(child->objectName(), child->geometry());

    m_window->resize(900, 700);
    QTRY_COMPARE(m_window->size(), QSize(900, 700));
    const auto *table = control("Table");
    const QSize outer = m_window->frameGeometry().size();
    const QSizeF expected
        = *resizerule::tableSize(false, QSizeF(outer * 15), QSizeF(m_window->size() * 15));
    QCOMPARE(table->geometry(),
             QRect(16, 80, qRound(expected.width() / 15), qRound(expected.height() / 15)));
    QVERIFY(table->width() > 345 && table->height() > 324);
    for (const QWidget *child : m_window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child != table)
            QCOMPARE(child->geometry(), before.value(child->objectName()));
    }

    const QRect enlarged = table->geometry();
    m_window->showMinimized();
    QCOMPARE(table->geometry(), enlarged);

    // Back below both thresholds: the initial size again.
    m_window->showNormal();
    m_window->resize(300, 200);
    QTRY_COMPARE(table->geometry(), QRect(16, 80, 345, 324));
}

void tst_Keltofrm::watchFollowsTheFile()
{
    writeFile(*m_dir, QStringLiteral("dhcpsrv.ini"), Clients);
    m_window->start(QStringLiteral("--watch dhcpsrv.ini"));
    auto *table = control<QListView>("Table");
    QTest::keyClicks(control("IP"), QStringLiteral("7"));
    QTest::keyClick(control("IP"), Qt::Key_Return);
    QCOMPARE(table->currentIndex().row(), 0); // 10.0.0.7 ten
    table->selectionModel()->setCurrentIndex(table->model()->index(4, 0), QItemSelectionModel::NoUpdate);
    QCOMPARE(shownRows()[4], row("192.168.··1.··7", "seven", "00-11-22-33-44-88"));

    // A second writer adds a client before the current row, renames one and removes one.
    writeFile(*m_dir, QStringLiteral("dhcpsrv.ini"),
              crlf({"[SETTINGS]", "[00-11-22-33-44-55]", "IPADDR=192.168.1.5", "Hostname=alpha-2",
                    "[00-11-22-33-44-66]", "IPADDR=10.0.0.7", "Hostname=ten", "[00-11-22-33-44-88]",
                    "IPADDR=192.168.1.7", "Hostname=seven", "[00-11-22-33-44-99]",
                    "IPADDR=192.168.1.5", "Hostname=gamma", "[00-11-22-33-44-aa]",
                    "IPADDR=192.168.1.6", "Hostname=six"}));
    const QStringList expected{row("·10.··0.··0.··7", "ten", "00-11-22-33-44-66"),
                               row("192.168.··1.··5", "alpha-2", "00-11-22-33-44-55"),
                               row("192.168.··1.··5", "gamma", "00-11-22-33-44-99"),
                               row("192.168.··1.··6", "six", "00-11-22-33-44-aa"),
                               row("192.168.··1.··7", "seven", "00-11-22-33-44-88")};
    QTRY_COMPARE_WITH_TIMEOUT(shownRows(), expected, 2000);
    const auto note = [table](int row) {
        return table->model()->index(row, 0).data(Qt::AccessibleDescriptionRole).toString();
    };
    QVERIFY2(note(3).startsWith(QLatin1StringView("new since ")), qPrintable(note(3)));
    QVERIFY(table->model()->index(3, 0).data(Qt::ToolTipRole).toString().endsWith(u'\n' + note(3)));
    QVERIFY(table->model()->index(3, 0).data(Qt::BackgroundRole).isValid());
    QCOMPARE(note(4), QString()); // seven was there before
    QCOMPARE(table->currentIndex().row(), 4); // still seven
    QCOMPARE(selectedRows(), QList<int>{2}); // the repeated address, as a load selects it
    QCOMPARE(control<QLabel>("Host")->text(), QStringLiteral("ten")); // the lookup stays
    QVERIFY(m_failures.isEmpty());

    // A file replaced by another, renamed over it, is followed too.
    QFile::remove(writeFile(*m_dir, QStringLiteral("next.ini"), {}));
    const QString next = writeFile(*m_dir, QStringLiteral("next.ini"),
                                   crlf({"[00-11-22-33-44-bb]", "IPADDR=10.0.0.8", "Hostname=eight"}));
    QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("dhcpsrv.ini"))));
    QVERIFY(QFile::rename(next, m_dir->filePath(QStringLiteral("dhcpsrv.ini"))));
    QTRY_COMPARE_WITH_TIMEOUT(shownRows(), QStringList{row("·10.··0.··0.··8", "eight", "00-11-22-33-44-bb")}, 2000);
    QVERIFY(note(0).startsWith(QLatin1StringView("new since ")));
    m_window->findChild<QAction *>(QStringLiteral("clearNewMarks"))->trigger();
    QCOMPARE(note(0), QString());

    // A read that fails says why in the title, with no box, and the rows stay.
    writeFile(*m_dir, QStringLiteral("dhcpsrv.ini"), crlf({"IPADDR=10.0.0.9", "Hostname=x", "IPADDR=10.0"}));
    QTRY_COMPARE_WITH_TIMEOUT(m_window->windowTitle(),
                              QStringLiteral("Kelto - read failed: line 3: malformed address \"10.0\""), 2000);
    QCOMPARE(shownRows().size(), 1);
    QVERIFY(m_failures.isEmpty());
    writeFile(*m_dir, QStringLiteral("dhcpsrv.ini"), crlf({"IPADDR=10.0.0.9", "Hostname=nine"}));
    QTRY_COMPARE_WITH_TIMEOUT(m_window->windowTitle(), QStringLiteral("Kelto"), 2000);
    QCOMPARE(shownRows(), QStringList{row("·10.··0.··0.··9", "nine")});
}

void tst_Keltofrm::screenReaders_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("values"); // of Result, Host and mac
    QTest::addColumn<QString>("description"); // of IP

    QTest::newRow("a client") << "7" << QStringList{"10.0.0.7", "ten", "00-11-22-33-44-66"}
                              << "10.0.0.7 ten 00-11-22-33-44-66";
    QTest::newRow("none") << "99" << QStringList{" 99", "", ""} << "no client with host number 99";
}

void tst_Keltofrm::screenReaders()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, values);
    QFETCH(QString, description);

    startOn(Clients);
    QTest::keyClicks(control("IP"), typed);
    QTest::keyClick(control("IP"), Qt::Key_Return);
    // Each output tells its value and what it is.
    const QStringList outputs{"Result", "Host", "mac"};
    const QStringList kinds{"Address", "Host name", "MAC address"};
    for (int i = 0; i < outputs.size(); ++i) {
        QAccessibleInterface *output = QAccessible::queryAccessibleInterface(control(qPrintable(outputs[i])));
        QCOMPARE(output->text(QAccessible::Name), values[i]);
        QCOMPARE(output->text(QAccessible::Description), kinds[i]);
    }
    QCOMPARE(QAccessible::queryAccessibleInterface(control("IP"))->text(QAccessible::Description), description);
}

void tst_Keltofrm::healthWindow()
{
    const QByteArray settings = crlf({"[SETTINGS]", "IPPOOL_1=192.168.1.5-8"});
    startOn(settings + Clients);
    QTest::keyClick(m_window, Qt::Key_F7);
    auto *health = m_window->findChild<QWidget *>(QStringLiteral("HealthWindow"));
    QVERIFY(health && health->isVisible());
    auto *findings = health->findChild<QTreeWidget *>(QStringLiteral("findings"));
    QCOMPARE(findings->topLevelItemCount(), 1);
    QTreeWidgetItem *shared = findings->topLevelItem(0);
    QCOMPARE(shared->text(0), QStringLiteral("address 192.168.1.5 is held by 3 clients"));
    QCOMPARE(shared->childCount(), 3);
    QCOMPARE(shared->child(2)->text(0), shownRows()[3]);

    auto *pools = health->findChild<QTreeWidget *>(QStringLiteral("pools"));
    pools->setCurrentItem(pools->topLevelItem(0));
    QTest::keySequence(pools, QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("IPPOOL_1\t192.168.1.5-8\t4\t2\t0\t0\t2\t2\t50%\t192.168.1.6, 192.168.1.8\n"));

    // A row of a finding leads to its row of the table, which keeps its selection.
    const QList<int> selected = selectedRows();
    findings->setCurrentItem(shared->child(2));
    QTest::keyClick(findings, Qt::Key_Return);
    QCOMPARE(control<QListView>("Table")->currentIndex().row(), 3);
    QCOMPARE(selectedRows(), selected);

    // Every read of the file shows what it holds now.
    writeFile(*m_dir, QStringLiteral("dhcpsrv.ini"),
              settings + crlf({"[00-11-22-33-44-55]", "IPADDR=192.168.1.5", "Hostname=alpha",
                                        "[00-11-22-33-44-66]", "IpAddr=192.168.1.6"}));
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    QTest::keyClick(m_window, Qt::Key_F5);
    QCOMPARE(findings->topLevelItemCount(), 1);
    QCOMPARE(findings->topLevelItem(0)->text(0),
             QStringLiteral("line 7: \"IpAddr=192.168.1.6\" is not read as an address: write the key "
                            "as IPADDR= at the start of the line"));
    QCOMPARE(pools->topLevelItem(0)->text(7), QStringLiteral("2"));
    QVERIFY(m_failures.isEmpty());

    // Opened on a file that cannot be read: no box, the cause in both titles until a read
    // succeeds.
    health->close();
    writeFile(*m_dir, QStringLiteral("dhcpsrv.ini"), crlf({"IPADDR=10.0"}));
    m_window->showHealth();
    const QString failed = QStringLiteral("read failed: line 1: malformed address \"10.0\"");
    QCOMPARE(health->findChild<QLabel *>(QStringLiteral("state"))->text(), failed);
    QCOMPARE(m_window->windowTitle(), "Kelto - " + failed);
    QVERIFY(m_failures.isEmpty());
    writeFile(*m_dir, QStringLiteral("dhcpsrv.ini"), Clients);
    m_window->load();
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Kelto"));
    QCOMPARE(findings->topLevelItemCount(), 1);
}

void tst_Keltofrm::find_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("from"); // the current row, -1 for none
    QTest::addColumn<bool>("backwards");
    QTest::addColumn<int>("found"); // the current row afterwards
    QTest::addColumn<QString>("status");

    // clang-format off
    QTest::newRow("first") << "192.168.1.5" << -1 << false << 1 << "";
    QTest::newRow("next") << "192.168.1.5" << 1 << false << 2 << "";
    QTest::newRow("wraps") << "192.168.1.5" << 3 << false << 1 << "went on from the first row";
    QTest::newRow("previous") << "192.168.1.5" << 2 << true << 1 << "";
    QTest::newRow("previous wraps") << "192.168.1.5" << 1 << true << 3 << "went on from the last row";
    QTest::newRow("MAC in colons") << "00:11:22:33:44:88" << -1 << false << 4 << "";
    QTest::newRow("letter case") << "SEVEN" << 0 << true << 4 << "went on from the last row";
    QTest::newRow("only itself") << "ten" << 0 << false << 0 << "went on from the first row";
    QTest::newRow("no match") << "delta" << 2 << false << 2 << "no match";
    // clang-format on
}

void tst_Keltofrm::find()
{
    QFETCH(QString, text);
    QFETCH(int, from);
    QFETCH(bool, backwards);
    QFETCH(int, found);
    QFETCH(QString, status);

    startOn(Clients);
    auto *table = control<QListView>("Table");
    if (from >= 0)
        table->selectionModel()->setCurrentIndex(table->model()->index(from, 0), QItemSelectionModel::NoUpdate);
    const QStringList rows = shownRows();
    const QList<int> selected = selectedRows();
    QTest::keySequence(m_window, QKeySequence::Find);
    auto *box = m_window->findChild<QDialog *>(QStringLiteral("FindBox"));
    QVERIFY(box && box->isVisible());
    auto *typed = box->findChild<QLineEdit *>(QStringLiteral("findText"));
    QTest::keyClicks(typed, text);
    QTest::keyClick(typed, Qt::Key_F3, backwards ? Qt::ShiftModifier : Qt::NoModifier);
    QCOMPARE(table->currentIndex().row(), found);
    QCOMPARE(box->findChild<QLabel *>(QStringLiteral("findStatus"))->text(), status);
    QCOMPARE(typed->accessibleDescription(), status);
    QCOMPARE(selectedRows(), selected);
    QCOMPARE(shownRows(), rows);
}

void tst_Keltofrm::markColors_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<bool>("dark");
    QTest::addColumn<QList<QColor>>("selection"); // active and inactive; none: the style's

    for (const char *style : {"Fusion", "Windows", "windowsvista"}) {
        QTest::addRow("%s, light", style) << style << false << QList<QColor>{};
        QTest::addRow("%s, dark", style) << style << true << QList<QColor>{};
    }
    // The selection that Windows 10 gives the Windows style, as seen under Wine: a pale
    // blue without focus, which a tint of the selection colour came close to.
    QTest::newRow("Windows 10 selection") << "Windows" << false
                                          << QList<QColor>{QColor(0, 120, 215), QColor(190, 216, 241)};
}

void tst_Keltofrm::markColors()
{
    QFETCH(QString, style);
    QFETCH(bool, dark);
    QFETCH(QList<QColor>, selection);

    const std::unique_ptr<QStyle> theStyle(QStyleFactory::create(style));
    if (!theStyle)
        QSKIP("the style is not in this build");
    QPalette palette = theStyle->standardPalette();
    if (dark) {
        // A dark theme: dark base, light text, and a grey selection without focus.
        palette.setColor(QPalette::Base, QColor(0x2a, 0x2a, 0x2a));
        palette.setColor(QPalette::Text, Qt::white);
        palette.setColor(QPalette::Inactive, QPalette::Highlight, QColor(0x4a, 0x4a, 0x4a));
    }
    if (!selection.isEmpty()) {
        palette.setColor(QPalette::Active, QPalette::Highlight, selection[0]);
        palette.setColor(QPalette::Inactive, QPalette::Highlight, selection[1]);
    }
    const rowcolors::Surroundings around = rowcolors::Surroundings::of(palette);
    const QColor shared = rowcolors::sharedAddress(palette);
    const QColor added = rowcolors::newClient(palette);
    const auto say = [&](const QColor &color) {
        return QStringLiteral("%1 among base %2, selection %3, without focus %4")
            .arg(color.name(), around.base.name(), around.activeSelection.name(),
                 around.inactiveSelection.name());
    };
    QVERIFY2(rowcolors::leastDifference(shared, around) >= rowcolors::LeastDifference, qPrintable(say(shared)));
    QVERIFY2(rowcolors::leastDifference(added, around) >= rowcolors::LeastDifference, qPrintable(say(added)));
    QVERIFY(rowcolors::difference(shared, added) >= rowcolors::LeastDifference);
}

QTEST_MAIN(tst_Keltofrm)
#include "tst_keltofrm.moc"
