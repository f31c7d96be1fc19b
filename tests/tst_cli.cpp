// kelto-cli end to end: output, exit statuses, standard input and failures.

#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include <sys/stat.h>

using namespace kelto;
using namespace kelto::test;

namespace {

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

Run runCli(const QStringList &arguments, const QString &folder, const QByteArray &input = {})
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(KELTO_CLI_PATH), arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000))
        qFatal("kelto-cli did not finish");
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

const QByteArray Sample
    = crlf({"[SETTINGS]", "[HTTP-SETTINGS]", "[00-11-22-33-44-55]", "IPADDR=192.168.1.5",
            "Hostname=alpha", "[aa-bb-cc-dd-ee-ff]", "IPADDR=192.168.1.5", "Hostname=Beta;old",
            "[00-00-00-00-00-01]", "IPADDR=10.0.0.7", "Hostname=ten \"quoted\""});
const QString RowTen = row("·10.··0.··0.··7", "ten \"quoted\"", "00-00-00-00-00-01");
const QString RowAlpha = row("192.168.··1.··5", "alpha", "00-11-22-33-44-55");
const QString RowBeta = row("192.168.··1.··5", "Beta", "aa-bb-cc-dd-ee-ff");

} // namespace

class tst_Cli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void run_data();
    void run();
    void json();
    void failedScanKeepsRows();

private:
    QTemporaryDir m_dir;
};

void tst_Cli::initTestCase()
{
    QVERIFY(m_dir.isValid());
    writeFile(m_dir, QStringLiteral("dhcpsrv.ini"), Sample);
    writeFile(m_dir, QStringLiteral("other.ini"), crlf({"IPADDR=1.2.3.4", "Hostname=other"}));
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder")));
    QVERIFY(::mkfifo(qPrintable(m_dir.filePath(QStringLiteral("fifo"))), 0600) == 0);
    QVERIFY(QFile::link(m_dir.filePath(QStringLiteral("loop")),
                        m_dir.filePath(QStringLiteral("loop"))));
    QVERIFY(QFile::link(m_dir.filePath(QStringLiteral("nowhere")),
                        m_dir.filePath(QStringLiteral("dangling"))));
}

void tst_Cli::run_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err"); // a part of standard error

    // Ordinal order: "Beta" comes before "alpha".
    const QString listed = "  " + RowTen + "\n  " + RowBeta + "\n* " + RowAlpha + "\n";
    QTest::newRow("list, default file") << QStringList{"list"} << QByteArray() << 0 << listed << "";
    QTest::newRow("option after command")
        << QStringList{"list", "-f", "dhcpsrv.ini"} << QByteArray() << 0 << listed << "";
    QTest::newRow("option before command")
        << QStringList{"--file=other.ini", "list"} << QByteArray() << 0
        << "  " + row("··1.··2.··3.··4", "other") + "\n"
        << "";
    QTest::newRow("standard input")
        << QStringList{"list", "-f", "-"} << crlf({"IPADDR=1.2.3.4", "Hostname=in"}) << 0
        << "  " + row("··1.··2.··3.··4", "in") + "\n"
        << "";
    QTest::newRow("lookup, all found") << QStringList{"lookup", "7", "5"} << QByteArray() << 0
                                       << "10.0.0.7\tten \"quoted\"\t00-00-00-00-00-01\n"
                                          "192.168.1.5\tBeta\taa-bb-cc-dd-ee-ff\n"
                                       << "";
    QTest::newRow("lookup, one missing") << QStringList{"lookup", "9", "7"} << QByteArray() << 1
                                         << "  9\t\t\n10.0.0.7\tten \"quoted\"\t00-00-00-00-00-01\n"
                                         << "";
    QTest::newRow("number after --")
        << QStringList{"lookup", "--", "-5"} << QByteArray() << 1 << " -5\t\t\n"
        << "";
    QTest::newRow("missing file") << QStringList{"list", "-f", "missing.ini"} << QByteArray() << 2
                                  << ""
                                  << "missing.ini: No such file or directory";
    QTest::newRow("directory") << QStringList{"lookup", "-f", "folder", "7"} << QByteArray() << 2
                               << "  7\t\t\n"
                               << "folder: not a regular file";
    QTest::newRow("FIFO without writer")
        << QStringList{"list", "-f", "fifo"} << QByteArray() << 2 << ""
        << "fifo: not a regular file";
    QTest::newRow("device") << QStringList{"list", "-f", "/dev/zero"} << QByteArray() << 2 << ""
                            << "/dev/zero: not a regular file";
    QTest::newRow("symlink loop") << QStringList{"list", "-f", "loop"} << QByteArray() << 2 << ""
                                  << "loop: Too many levels of symbolic links";
    QTest::newRow("dangling symlink")
        << QStringList{"list", "-f", "dangling"} << QByteArray() << 2 << ""
        << "dangling: No such file or directory";
    QTest::newRow("empty path") << QStringList{"list", "-f", ""} << QByteArray() << 2 << ""
                                << ": no file name given";
    QTest::newRow("no command") << QStringList{} << QByteArray() << 64 << ""
                                << "no command given";
    QTest::newRow("unknown command") << QStringList{"show"} << QByteArray() << 64 << ""
                                     << "unknown command: show";
    QTest::newRow("lookup without number") << QStringList{"lookup"} << QByteArray() << 64 << ""
                                           << "at least one number";
    QTest::newRow("list with number") << QStringList{"list", "7"} << QByteArray() << 64 << ""
                                      << "list takes no numbers";
    QTest::newRow("unknown format")
        << QStringList{"list", "--format", "xml"} << QByteArray() << 64 << ""
        << "unknown format: xml";
    QTest::newRow("unknown option") << QStringList{"list", "-x"} << QByteArray() << 64 << ""
                                    << "Unknown option 'x'";
    QTest::newRow("version") << QStringList{"--version"} << QByteArray() << 0
                             << "kelto-cli " KELTO_VERSION "\n"
                             << "";
}

void tst_Cli::run()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);

    const Run result = runCli(arguments, m_dir.path(), input);
    QCOMPARE(result.out, out);
    QVERIFY2(result.err.contains(err), qPrintable(result.err));
    QCOMPARE(result.err.isEmpty(), err.isEmpty());
    QCOMPARE(result.status, status);
}

void tst_Cli::json()
{
    const Run result = runCli({"list", "--format", "json"}, m_dir.path());
    QCOMPARE(result.status, 0);
    QJsonParseError error;
    const QJsonObject document = QJsonDocument::fromJson(result.out.toUtf8(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(document.value("file").toString(), QStringLiteral("dhcpsrv.ini"));
    QCOMPARE(document.value("complete").toBool(false), true);
    const QJsonArray hosts = document.value("hosts").toArray();
    QCOMPARE(hosts.size(), 3);
    const QJsonObject ten = hosts[0].toObject();
    QCOMPARE(ten.value("row").toString(), RowTen);
    QCOMPARE(ten.value("address").toString(), QStringLiteral("10.0.0.7"));
    QCOMPARE(ten.value("hostname").toString(), QStringLiteral("ten \"quoted\""));
    QCOMPARE(ten.value("mac").toString(), QStringLiteral("00-00-00-00-00-01"));
    QCOMPARE(ten.value("duplicate").toBool(true), false);
    QCOMPARE(hosts[2].toObject().value("duplicate").toBool(false), true);
}

void tst_Cli::failedScanKeepsRows()
{
    writeFile(m_dir, QStringLiteral("broken.ini"),
              crlf({"IPADDR=1.1.1.1", "Hostname=a", "IPADDR=1.1.1.1", "Hostname=b",
                    "IPADDR=192.168.1", "Hostname=c"}));
    const Run list = runCli({"list", "-f", "broken.ini"}, m_dir.path());
    QCOMPARE(list.status, 2);
    // The rows read before the failure, without repeated addresses marked.
    QCOMPARE(list.out,
             "  " + row("··1.··1.··1.··1", "a") + "\n  " + row("··1.··1.··1.··1", "b") + "\n");
    QCOMPARE(list.err,
             QStringLiteral("kelto-cli: broken.ini: line 5: malformed address \"192.168.1\"\n"));

    const Run json = runCli({"list", "-f", "broken.ini", "--format", "json"}, m_dir.path());
    QCOMPARE(json.status, 2);
    QCOMPARE(QJsonDocument::fromJson(json.out.toUtf8()).object().value("complete").toBool(true),
             false);

    const Run lookup = runCli({"lookup", "-f", "broken.ini", "1"}, m_dir.path());
    QCOMPARE(lookup.status, 2);
    QCOMPARE(lookup.out, QStringLiteral("1.1.1.1\ta\t\n"));
}

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"
