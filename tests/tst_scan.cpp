#include "scan.h"
#include "testsupport.h"

#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace kelto;
using namespace kelto::test;

namespace {

const QString MacA = QStringLiteral("00-11-22-33-44-55");
const QString MacB = QStringLiteral("aa-bb-cc-dd-ee-ff");
const QString HeaderA = '[' + MacA + ']';
const QString HeaderB = '[' + MacB + ']';

QString plain(const QString &row)
{
    return QStringLiteral("  ") + row;
}
QString marked(const QString &row)
{
    return QStringLiteral("* ") + row;
}

ScanResult scanThroughFile(const QByteArray &bytes)
{
    QTemporaryDir dir;
    return scanFile(writeFile(dir, QStringLiteral("dhcpsrv.ini"), bytes));
}

} // namespace

class tst_Scan : public QObject
{
    Q_OBJECT

private slots:
    void rows_data();
    void rows();
    void textDecoding_data();
    void textDecoding();
    void failures_data();
    void failures();
    void malformedAddressKeepsEarlierRows();
    void everyScanStartsAfresh();
};

void tst_Scan::rows_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("expected");

    const QString r5 = row("192.168.··1.··5", "alpha", MacA);
    QTest::newRow("one client") << QStringList{HeaderA, "IPADDR=192.168.1.5", "Hostname=alpha"}
                                << QStringList{plain(r5)};
    QTest::newRow("settings sections first")
        << QStringList{"[SETTINGS]", "IPBIND_1=192.168.1.1", "[HTTP-SETTINGS]", "EnableHTTP=1",
                       HeaderA,      "IPADDR=192.168.1.5",   "AutoConfig=x",    "Hostname=alpha",
                       "LeaseEnd=1"}
        << QStringList{plain(r5)};
    QTest::newRow("host name cut at semicolon")
        << QStringList{"IPADDR=1.1.1.1", "HOSTNAME=Beta;comment", "IPADDR=1.1.1.2",
                       "hostname=gamma·;x"}
        << QStringList{plain(row("··1.··1.··1.··1", "Beta")),
                       plain(row("··1.··1.··1.··2", "gamma "))};
    QTest::newRow("keys at column 2 passed over")
        << QStringList{";IPADDR=192.168.1.9", ";Hostname=delta", "IPADDR=1.1.1.1", ";Hostname=x",
                       "Hostname=one"}
        << QStringList{plain(row("··1.··1.··1.··1", "one"))};
    QTest::newRow("key at column 3 counts") << QStringList{"·;IPADDR=192.168.1.9", "Hostname=x"}
                                            << QStringList{plain(row("R=192.168.··1.··9", "x"))};
    QTest::newRow("address key is case-sensitive")
        << QStringList{"ipaddr=192.168.1.9", "Hostname=x"} << QStringList{};
    QTest::newRow("value of a host name read from column 10")
        << QStringList{"IPADDR=1.2.3.4;hostname=x"}
        << QStringList{plain(row("··1.··2.··3.··4", "2.3.4"))};
    QTest::newRow("host name without pending address")
        << QStringList{HeaderA, "Hostname=alpha"} << QStringList{};
    QTest::newRow("empty address leaves nothing pending")
        << QStringList{HeaderA, "IPADDR=", "Hostname=alpha"} << QStringList{};
    QTest::newRow("rows sorted by text")
        << QStringList{"IPADDR=192.168.1.50", "Hostname=b",         "IPADDR=10.0.0.1",
                       "Hostname=c",          "IPADDR=192.168.1.5", "Hostname=a"}
        << QStringList{plain(row("·10.··0.··0.··1", "c")), plain(row("192.168.··1.··5", "a")),
                       plain(row("192.168.··1.·50", "b"))};
    QTest::newRow("repeated addresses marked")
        << QStringList{"IPADDR=192.168.1.5", "Hostname=gamma",      "IPADDR=192.168.1.5",
                       "Hostname=alpha",     "IPADDR=192.168.1.50", "Hostname=delta",
                       "IPADDR=192.168.1.5", "Hostname=beta"}
        << QStringList{
               plain(row("192.168.··1.··5", "alpha")), marked(row("192.168.··1.··5", "beta")),
               marked(row("192.168.··1.··5", "gamma")), plain(row("192.168.··1.·50", "delta"))};
    QTest::newRow("MAC used once")
        << QStringList{HeaderA, "IPADDR=1.1.1.1", "Hostname=a", "IPADDR=1.1.1.2", "Hostname=b"}
        << QStringList{plain(row("··1.··1.··1.··1", "a", MacA)),
                       plain(row("··1.··1.··1.··2", "b"))};
    QTest::newRow("MAC header after the address")
        << QStringList{"IPADDR=1.1.1.1", HeaderB, "Hostname=a"}
        << QStringList{plain(row("··1.··1.··1.··1", "a", MacB))};

    // A client without a host name line still gets its row, with its own MAC.
    QTest::newRow("no host name, next client in own section")
        << QStringList{HeaderA, "IPADDR=192.168.1.5", HeaderB, "IPADDR=192.168.1.6", "Hostname=two"}
        << QStringList{plain(row("192.168.··1.··5", "", MacA)),
                       plain(row("192.168.··1.··6", "two", MacB))};
    QTest::newRow("no host name, second address in same section")
        << QStringList{HeaderA, "IPADDR=192.168.1.5", "IPADDR=192.168.1.6", "Hostname=two"}
        << QStringList{plain(row("192.168.··1.··5", "", MacA)),
                       plain(row("192.168.··1.··6", "two"))};
    QTest::newRow("no host name at end of file")
        << QStringList{HeaderA, "IPADDR=1.1.1.1", "Hostname=a", HeaderB, "IPADDR=1.1.1.2"}
        << QStringList{plain(row("··1.··1.··1.··1", "a", MacA)),
                       plain(row("··1.··1.··1.··2", "", MacB))};
    QTest::newRow("host name line before address")
        << QStringList{HeaderA, "Hostname=a", "IPADDR=1.1.1.1"}
        << QStringList{plain(row("··1.··1.··1.··1", "", MacA))};

    // After a line with "[HTTP" the lines are passed over up to the next section; a
    // pending address waits for its own section's lines.
    QTest::newRow("HTTP settings passed over up to the next section")
        << QStringList{HeaderA, "IPADDR=1.1.1.1", "[HTTP-SETTINGS]", "Hostname=web",
                       HeaderB, "IPADDR=1.1.1.2", "Hostname=b"}
        << QStringList{plain(row("··1.··1.··1.··1", "", MacA)),
                       plain(row("··1.··1.··1.··2", "b", MacB))};
    QTest::newRow("key ending a longer key")
        << QStringList{"DEFAULTIPADDR=192.168.1", "XHostname=x",    "_IPADDR=1.2",
                       "IPADDR=1.1.1.1",          "9hostname=nine", "Hostname=one"}
        << QStringList{plain(row("··1.··1.··1.··1", "one"))};
    QTest::newRow("only the first key of a line counts")
        << QStringList{"DEFAULTIPADDR=1.2;IPADDR=1.1.1.1", "IPADDR=1.1.1.2", "Hostname=two"}
        << QStringList{plain(row("··1.··1.··1.··2", "two"))};
    QTest::newRow("HTTP line is read before passing over")
        << QStringList{HeaderA, "IPADDR=1.1.1.1·[HTTP", "Hostname=late"}
        << QStringList{plain(row("··1.··1.··1.··1", "", MacA))};
    QTest::newRow("lower-case http does not stop")
        << QStringList{HeaderA, "[http]", "IPADDR=1.1.1.1", "Hostname=a"}
        << QStringList{plain(row("··1.··1.··1.··1", "a", MacA))};
    QTest::newRow("empty file") << QStringList{} << QStringList{};

    // A character is a code point: one outside the BMP takes one column and is never cut.
    const QString emoji = QStringLiteral("\U0001F600");
    QTest::newRow("83rd character of a host name outside the BMP")
        << QStringList{HeaderA, "IPADDR=1.1.1.1", "Hostname=" + QString(82, 'n') + emoji + "x"}
        << QStringList{plain(spaces("··1.··1.··1.··1·") + QString(82, 'n') + emoji + MacA)};
    QTest::newRow("address window ends in a character outside the BMP")
        << QStringList{"IPADDR=1.1.1.12345678" + emoji + "9", "Hostname=h"}
        << QStringList{plain(row("··1.··1.··1.12345678" + emoji, "h"))};
    QTest::newRow("character outside the BMP before a key: column 2")
        << QStringList{emoji + "IPADDR=1.1.1.1", "Hostname=h"} << QStringList{};
    QTest::newRow("character outside the BMP before a key: value from column 8")
        << QStringList{emoji + "·IPADDR=1.1.1.1", "Hostname=h"}
        << QStringList{plain(row("R=1.··1.··1.··1", "h"))};
    QTest::newRow("rows ordered by code point, not UTF-16")
        << QStringList{"IPADDR=1.1.1.1", "Hostname=" + emoji, "IPADDR=1.1.1.1", "Hostname=\uFFFD"}
        << QStringList{plain(row("··1.··1.··1.··1", "\uFFFD")), marked(row("··1.··1.··1.··1", emoji))};
}

void tst_Scan::rows()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, expected);

    for (QString &line : lines)
        line = spaces(line);
    const ScanResult result = scanThroughFile(lines.isEmpty() ? QByteArray() : crlf(lines));
    QVERIFY(result.isComplete());
    QCOMPARE(listed(result.table), expected);
}

void tst_Scan::textDecoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("hostName");

    const QByteArray head = "[00-11-22-33-44-55]\r\nIPADDR=1.1.1.1\r\nHostname=";
    QTest::newRow("UTF-8") << head + "Zo\xC3\xAB\r\n" << QStringLiteral("Zo\u00EB");
    QTest::newRow("Windows-1252 euro") << head + "\x80uro\r\n" << QStringLiteral("\u20ACuro");
    QTest::newRow("Windows-1252 when not UTF-8") << head + "Zo\xEB\r\nx=\xC3\xAB\r\n"
                                                 << QStringLiteral("Zo\u00EB");
    QTest::newRow("invalid UTF-8 after the client part")
        << head + "Zo\xC3\xAB\r\n[00-11-22-33-44-66]\r\n[HTTP]\r\n\xFF\r\n"
        << QStringLiteral("Zo\u00C3\u00AB");
    QTest::newRow("byte order mark dropped") << "\xEF\xBB\xBF" + head + "a\r\n"
                                             << QStringLiteral("a");
    QTest::newRow("NUL is a character")
        << head + QByteArray("a\0b\r\n", 5) << QString::fromUtf16(u"a\0b", 3);
    QTest::newRow("LF only") << QByteArray("[00-11-22-33-44-55]\nIPADDR=1.1.1.1\nHostname=lf\n")
                             << QStringLiteral("lf");
    QTest::newRow("lone CR") << QByteArray("[00-11-22-33-44-55]\rIPADDR=1.1.1.1\rHostname=cr\r")
                             << QStringLiteral("cr");
    QTest::newRow("no final line end") << head + "last" << QStringLiteral("last");
    QTest::newRow("blank lines between")
        << QByteArray("[00-11-22-33-44-55]\r\n\r\n\n\rIPADDR=1.1.1.1\n\nHostname=b")
        << QStringLiteral("b");
}

void tst_Scan::textDecoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, hostName);

    const ScanResult result = scanThroughFile(bytes);
    QVERIFY(result.isComplete());
    QCOMPARE(listed(result.table), QStringList{plain(row("··1.··1.··1.··1", hostName, MacA))});
}

void tst_Scan::failures_data()
{
    QTest::addColumn<QString>("path"); // relative to a temporary folder, "" for none
    QTest::addColumn<ScanFailure::Cause>("cause");

    QTest::newRow("missing file") << "missing.ini" << ScanFailure::Cause::CannotOpen;
    QTest::newRow("empty path") << "" << ScanFailure::Cause::CannotOpen;
    QTest::newRow("directory") << "folder" << ScanFailure::Cause::NotRegularFile;
#ifdef Q_OS_UNIX
    QTest::newRow("FIFO") << "fifo" << ScanFailure::Cause::NotRegularFile;
    QTest::newRow("device") << "/dev/zero" << ScanFailure::Cause::NotRegularFile;
    QTest::newRow("dangling symlink") << "dangling" << ScanFailure::Cause::CannotOpen;
    QTest::newRow("symlink loop") << "loop" << ScanFailure::Cause::CannotOpen;
    QTest::newRow("symlink to a directory") << "to-folder" << ScanFailure::Cause::NotRegularFile;
    QTest::newRow("no read permission") << "secret.ini" << ScanFailure::Cause::CannotOpen;
#else
    QTest::newRow("device") << "NUL" << ScanFailure::Cause::NotRegularFile;
#endif
}

void tst_Scan::failures()
{
    QFETCH(QString, path);
    QFETCH(ScanFailure::Cause, cause);

    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("folder"));
#ifdef Q_OS_UNIX
    QVERIFY(::mkfifo(qPrintable(dir.filePath(QStringLiteral("fifo"))), 0600) == 0);
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere")),
                        dir.filePath(QStringLiteral("dangling"))));
    QVERIFY(
        QFile::link(dir.filePath(QStringLiteral("loop")), dir.filePath(QStringLiteral("loop"))));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("folder")),
                        dir.filePath(QStringLiteral("to-folder"))));
    const QString secret
        = writeFile(dir, QStringLiteral("secret.ini"), crlf({"IPADDR=1.1.1.1", "Hostname=a"}));
    QVERIFY(QFile::setPermissions(secret, QFileDevice::WriteOwner));
    if (path == QLatin1StringView("secret.ini") && ::geteuid() == 0)
        QSKIP("root reads any file");
#endif

    const ScanResult result
        = scanFile(path.isEmpty() || path.startsWith('/') || path == QLatin1StringView("NUL")
                       ? path
                       : dir.filePath(path));
    QVERIFY(!result.isComplete());
    QCOMPARE(result.failure->cause, cause);
    QVERIFY(!result.failure->description().isEmpty());
    QVERIFY(result.table.isEmpty());
}

void tst_Scan::malformedAddressKeepsEarlierRows()
{
    const QByteArray bytes
        = crlf({HeaderA, "IPADDR=192.168.1.5", "Hostname=alpha", HeaderB, "IPADDR=192.168.1.5",
                "Hostname=beta", "[00-00-00-00-00-01]", "IPADDR=192.168.1;x", "Hostname=gamma",
                "IPADDR=192.168.1.7", "Hostname=delta"});
    const ScanResult result = scanThroughFile(bytes);
    QVERIFY(!result.isComplete());
    QCOMPARE(result.failure->cause, ScanFailure::Cause::MalformedAddress);
    QCOMPARE(result.failure->description(),
             QStringLiteral("line 8: malformed address \"192.168.1\""));
    // Rows read before the failure stay, sorted; repeated addresses are not marked.
    QCOMPARE(listed(result.table), (QStringList{plain(row("192.168.··1.··5", "alpha", MacA)),
                                                plain(row("192.168.··1.··5", "beta", MacB))}));
}

void tst_Scan::everyScanStartsAfresh()
{
    QTemporaryDir dir;
    // The first file ends on a MAC header that no row took.
    const QString first
        = writeFile(dir, "first.ini", crlf({"IPADDR=1.1.1.1", "Hostname=a", HeaderA}));
    const QString second = writeFile(dir, "second.ini", crlf({"IPADDR=2.2.2.2", "Hostname=b"}));
    QCOMPARE(scanFile(first).table.size(), 1);
    const ScanResult result = scanFile(second);
    QCOMPARE(listed(result.table), QStringList{plain(row("··2.··2.··2.··2", "b"))});
    QCOMPARE(listed(scanFile(second).table), listed(result.table));
}

QTEST_APPLESS_MAIN(tst_Scan)
#include "tst_scan.moc"
