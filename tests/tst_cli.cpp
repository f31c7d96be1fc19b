// kelto-cli end to end: output, exit statuses, standard input and failures.

#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <cerrno>
#include <optional>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace kelto;
using namespace kelto::test;

namespace {

Run runCli(const QStringList &arguments, const QString &folder, const QByteArray &input = {})
{
    return runProgram(QStringLiteral(KELTO_CLI_PATH), arguments, folder, input);
}

const QByteArray Sample
    = crlf({"[SETTINGS]", "[HTTP-SETTINGS]", "[00-11-22-33-44-55]", "IPADDR=192.168.1.5",
            "Hostname=alpha", "[aa-bb-cc-dd-ee-ff]", "IPADDR=192.168.1.5", "Hostname=Beta;old",
            "[00-00-00-00-00-01]", "IPADDR=10.0.0.7", "Hostname=ten \"quoted\""});
const QString RowTen = row("·10.··0.··0.··7", "ten \"quoted\"", "00-00-00-00-00-01");
const QString RowAlpha = row("192.168.··1.··5", "alpha", "00-11-22-33-44-55");
const QString RowBeta = row("192.168.··1.··5", "Beta", "aa-bb-cc-dd-ee-ff");

// RFC 4180, read strictly: every record ends in CRLF, a quoted field doubles its quotes.
// Nothing when the text breaks those rules.
std::optional<QList<QStringList>> readCsv(QStringView text)
{
    QList<QStringList> records;
    QStringList record;
    QString field;
    for (qsizetype i = 0; i < text.size();) {
        if (text[i] == u'"') {
            for (++i;; ++i) {
                if (i >= text.size())
                    return std::nullopt;
                if (text[i] == u'"' && (i + 1 >= text.size() || text[i + 1] != u'"'))
                    break;
                field += text[i];
                i += text[i] == u'"';
            }
            ++i;
        }
        while (i < text.size() && text[i] != u',' && text[i] != u'\r' && text[i] != u'\n')
            field += text[i++];
        record << std::exchange(field, {});
        if (i < text.size() && text[i] == u',') {
            ++i;
            continue;
        }
        if (text.sliced(i).first(std::min<qsizetype>(2, text.size() - i)) != u"\r\n")
            return std::nullopt;
        i += 2;
        records << std::exchange(record, {});
    }
    return records;
}

QList<QStringList> readTsv(const QString &text)
{
    QList<QStringList> records;
    for (const QString &line : text.split(u'\n', Qt::SkipEmptyParts)) {
        QStringList record;
        for (QString field : line.split(u'\t')) {
            QString plain;
            for (qsizetype i = 0; i < field.size(); ++i) {
                if (field[i] != u'\\' || i + 1 == field.size()) {
                    plain += field[i];
                    continue;
                }
                const QChar c = field[++i];
                plain += c == u't' ? u'\t' : c == u'n' ? u'\n' : c == u'r' ? u'\r' : c;
            }
            record << plain;
        }
        records << record;
    }
    return records;
}

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
    void jsonOfNewCommands_data();
    void jsonOfNewCommands();
    void exports_data();
    void exports();
    void helpAnywhere();
#ifdef Q_OS_UNIX
    void controlCharactersOnATerminal_data();
    void controlCharactersOnATerminal();
#endif

private:
    QTemporaryDir m_dir;
};

void tst_Cli::initTestCase()
{
    QVERIFY(m_dir.isValid());
    writeFile(m_dir, QStringLiteral("dhcpsrv.ini"), Sample);
    writeFile(m_dir, QStringLiteral("other.ini"), crlf({"IPADDR=1.2.3.4", "Hostname=other"}));
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder")));
#ifdef Q_OS_UNIX
    QVERIFY(::mkfifo(qPrintable(m_dir.filePath(QStringLiteral("fifo"))), 0600) == 0);
    QVERIFY(QFile::link(m_dir.filePath(QStringLiteral("loop")),
                        m_dir.filePath(QStringLiteral("loop"))));
    QVERIFY(QFile::link(m_dir.filePath(QStringLiteral("nowhere")),
                        m_dir.filePath(QStringLiteral("dangling"))));
#endif
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
                                  << "missing.ini: " + qt_error_string(ENOENT);
    QTest::newRow("directory") << QStringList{"lookup", "-f", "folder", "7"} << QByteArray() << 2
                               << "  7\t\t\n"
                               << "folder: not a regular file";
#ifdef Q_OS_UNIX
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
#else
    QTest::newRow("device") << QStringList{"list", "-f", "NUL"} << QByteArray() << 2 << ""
                            << "NUL: not a regular file";
#endif
    // Binary standard input: a Ctrl-Z byte is not the end of it on any system.
    QTest::newRow("Ctrl-Z on standard input")
        << QStringList{"list", "-f", "-"}
        << crlf({"IPADDR=1.2.3.4", "Hostname=before", "x=\x1a", "IPADDR=1.2.3.5", "Hostname=after"})
        << 0
        << "  " + row("··1.··2.··3.··4", "before") + "\n  " + row("··1.··2.··3.··5", "after") + "\n"
        << "";
    QTest::newRow("empty path") << QStringList{"list", "-f", ""} << QByteArray() << 2 << ""
                                << ": no file name given";
    QTest::newRow("no command") << QStringList{} << QByteArray() << 64 << ""
                                << "kelto-cli: no command given\n";
    QTest::newRow("unknown command") << QStringList{"show"} << QByteArray() << 64 << ""
                                     << "kelto-cli: unknown command 'show'\n";
    QTest::newRow("command misspelt") << QStringList{"lst"} << QByteArray() << 64 << ""
                                      << "kelto-cli: unknown command 'lst': did you mean 'list'?\n";
    QTest::newRow("lookup without number") << QStringList{"lookup"} << QByteArray() << 64 << ""
                                           << "at least one number";
    QTest::newRow("list with number") << QStringList{"list", "7"} << QByteArray() << 64 << ""
                                      << "list takes no arguments";
    QTest::newRow("unknown format")
        << QStringList{"list", "--format", "xml"} << QByteArray() << 64 << ""
        << "kelto-cli: unknown format 'xml' for list: use rows, json, csv, tsv\n";
    QTest::newRow("format misspelt")
        << QStringList{"list", "--format", "jsn"} << QByteArray() << 64 << ""
        << "kelto-cli: unknown format 'jsn' for list: did you mean 'json'?\n";
    QTest::newRow("format of another command")
        << QStringList{"check", "--format", "rows"} << QByteArray() << 64 << ""
        << "kelto-cli: unknown format 'rows' for check: use text, json, nagios\n";
    QTest::newRow("find without text") << QStringList{"find"} << QByteArray() << 64 << ""
                                       << "find needs at least one text";
    QTest::newRow("find with empty text")
        << QStringList{"find", "x", ""} << QByteArray() << 64 << ""
        << "an empty text is not allowed";
    QTest::newRow("check with argument") << QStringList{"check", "x"} << QByteArray() << 64 << ""
                                         << "check takes no arguments";

    // check, find and free on the sample: 192.168.1.5 is held twice.
    QTest::newRow("check, findings")
        << QStringList{"check"} << QByteArray() << 1
        << "address 192.168.1.5 is held by 2 clients: 192.168.1.5 \"Beta\" aa-bb-cc-dd-ee-ff, "
           "192.168.1.5 \"alpha\" 00-11-22-33-44-55\n"
        << "";
    QTest::newRow("check, all well")
        << QStringList{"check", "-f", "-"}
        << crlf({"[SETTINGS]", "[00-11-22-33-44-55]", "IPADDR=1.2.3.4", "Hostname=a"}) << 0 << ""
        << "";
    QTest::newRow("check, standard input")
        << QStringList{"check", "-f", "-"}
        << crlf({"[00-11-22-33-44-55]", "IPADDR=1.2.3.4", "Hostname=a", "[00:11:22:33:44:55]",
                 "[00-11-22-33-44-55]", "IPADDR=1.2.3.400", "Hostname=b"})
        << 1
        << "MAC 00-11-22-33-44-55 heads 2 client sections (lines 1, 5): 1.2.3.4 \"a\" "
           "00-11-22-33-44-55, 1.2.3.400 \"b\" 00-11-22-33-44-55\n"
           "line 6: address \"1.2.3.400\" is not a dotted IPv4 address: an octet is over 255\n"
        << "";
    QTest::newRow("check, host name with control characters")
        << QStringList{"check", "-f", "-"}
        << crlf({"[00-11-22-33-44-55]", "IPADDR=1.2.3.4", "Hostname=a\x1b[2Jb",
                 "[00-11-22-33-44-56]", "IPADDR=1.2.3.5", "Hostname=A\x1b[2JB"})
        << 1
        << "host name \"a\\u001b[2Jb\" is on more than one MAC: 1.2.3.4 \"a\\u001b[2Jb\" "
           "00-11-22-33-44-55, 1.2.3.5 \"A\\u001b[2JB\" 00-11-22-33-44-56\n"
        << "";
    QTest::newRow("check, scan fails")
        << QStringList{"check", "-f", "-"}
        << crlf({"IPADDR=1.1.1.1", "Hostname=a", "IPADDR=1.1.1.1", "Hostname=b", "IPADDR=1.2.3"})
        << 2 << ""
        << "-: line 5: malformed address \"1.2.3\"";
    QTest::newRow("find, address and MAC notation")
        << QStringList{"find", "10.0", "AA:BB:CC"} << QByteArray() << 0
        << "  " + RowTen + "\n  " + RowBeta + "\n"
        << "";
    QTest::newRow("find, host name letter case")
        << QStringList{"find", "ALPHA"} << QByteArray() << 0 << "* " + RowAlpha + "\n"
        << "";
    QTest::newRow("find, nothing") << QStringList{"find", "gamma"} << QByteArray() << 1 << ""
                                   << "";
    QTest::newRow("free") << QStringList{"free", "-f", "-"}
                          << crlf({"[SETTINGS]", "IPPOOL_1=10.0.0.1-9", "IPPOOL_2=10.0.1.1,3-4",
                                   "IPPOOL_3=bad", "[00-11-22-33-44-55]", "IPADDR=10.0.0.2",
                                   "Hostname=a", "[00-11-22-33-44-56]", "IPADDR=10.0.0.004",
                                   "Hostname=b"})
                          << 1 // a pool skipped
                          << "IPPOOL_1 10.0.0.1-9: 7 free: 10.0.0.1, 10.0.0.3, 10.0.0.5-9\n"
                             "IPPOOL_2 10.0.1.1,3-4: 3 free: 10.0.1.1, 10.0.1.3-4\n"
                          << "-: line 4: IPPOOL_3: cannot read the pool \"bad\", skipped";
    QTest::newRow("free, pool exhausted")
        << QStringList{"free", "-f", "-"}
        << crlf({"[SETTINGS]", "IPPOOL_1=10.0.0.1-2", "IPPOOL_2=10.0.0.3", "IPADDR=10.0.0.1",
                 "Hostname=a", "IPADDR=10.0.0.2", "Hostname=b"})
        << 1 << "IPPOOL_1 10.0.0.1-2: 0 free\nIPPOOL_2 10.0.0.3: 1 free: 10.0.0.3\n"
        << "";
    QTest::newRow("free, no pool") << QStringList{"free"} << QByteArray() << 1 << ""
                                   << "dhcpsrv.ini: no address pool";
    QTest::newRow("free, scan fails") << QStringList{"free", "-f", "-"}
                                      << crlf({"[SETTINGS]", "IPPOOL_1=10.0.0.1-2",
                                               "IPADDR=10.0.0.1", "Hostname=a", "IPADDR=10.0.0"})
                                      << 2 << ""
                                      << "-: line 5: malformed address";
    // diff and compare take their files as arguments, "-" once at most.
    const QByteArray utf16 = QByteArray("\xFF\xFE")
                             + QByteArray(reinterpret_cast<const char *>(QString::fromUtf8(Sample).utf16()),
                                          Sample.size() * 2);
    QTest::newRow("diff, same text in another encoding")
        << QStringList{"diff", "dhcpsrv.ini", "-"} << utf16 << 0 << "" << "";
    QTest::newRow("diff, client added") << QStringList{"diff", "-", "dhcpsrv.ini"}
                                        << Sample.first(Sample.indexOf("[00-00-00-00-00-01]")) << 1
                                        << "added 10.0.0.7 \"ten \\\"quoted\\\"\" 00-00-00-00-00-01, line 9\n"
                                        << "";
    QTest::newRow("diff, one file") << QStringList{"diff", "dhcpsrv.ini"} << QByteArray() << 64
                                    << "" << "diff takes two files, OLD and NEW";
    QTest::newRow("compare, one file") << QStringList{"compare", "dhcpsrv.ini"} << QByteArray()
                                       << 64 << "" << "compare needs two or more files";
    QTest::newRow("diff, the same file twice")
        << QStringList{"diff", "dhcpsrv.ini", "./dhcpsrv.ini"} << QByteArray() << 64 << ""
        << "dhcpsrv.ini and ./dhcpsrv.ini are the same file";
    QTest::newRow("compare, standard input twice")
        << QStringList{"compare", "-", "other.ini", "-"} << QByteArray() << 64 << ""
        << "standard input (-) can be read only once";
    QTest::newRow("diff with -f") << QStringList{"diff", "-f", "other.ini", "dhcpsrv.ini", "other.ini"}
                                  << QByteArray() << 64 << ""
                                  << "diff takes its files as arguments, not -f";
    QTest::newRow("diff, a folder") << QStringList{"diff", "dhcpsrv.ini", "folder"} << QByteArray()
                                    << 2 << "" << "folder: not a regular file";
    QTest::newRow("compare, a missing file") << QStringList{"compare", "missing.ini", "dhcpsrv.ini"}
                                             << QByteArray() << 2 << ""
                                             << "missing.ini: " + qt_error_string(ENOENT);
    QTest::newRow("unknown option") << QStringList{"list", "-x"} << QByteArray() << 64 << ""
                                    << "kelto-cli: unknown option '-x'\n";
    QTest::newRow("option misspelt")
        << QStringList{"list", "--frmat", "json"} << QByteArray() << 64 << ""
        << "kelto-cli: unknown option '--frmat': did you mean '--format'?\n";
    QTest::newRow("command in capitals") << QStringList{"LIST"} << QByteArray() << 64 << ""
                                         << "kelto-cli: unknown command 'LIST': did you mean 'list'?\n";
    QTest::newRow("option without its value")
        << QStringList{"list", "--format"} << QByteArray() << 64 << ""
        << "kelto-cli: missing value after '--format'\n";
    // The tests name a folder without vendor lists.
    QTest::newRow("version") << QStringList{"--version"} << QByteArray() << 0
                             << "kelto-cli " KELTO_VERSION "\nno IEEE registry lists in "
                                    + QDir::toNativeSeparators(qEnvironmentVariable("KELTO_OUI_DIR")) + "\n"
                             << "";
    // pools: thresholds, times and an output that cannot be had.
    const QByteArray pool = crlf({"[SETTINGS]", "IPPOOL_1=10.0.0.1-2", "IPADDR=10.0.0.1", "Hostname=a"});
    const QString unknown = QStringLiteral("kelto-cli: %1\n");
    QTest::newRow("pools, warning above critical")
        << QStringList{"pools", "-f", "-", "--warning", "95", "--critical", "90"} << pool << 64 << ""
        << unknown.arg("--warning 95 is above --critical 90");
    QTest::newRow("pools, warn count below crit count")
        << QStringList{"pools", "-f", "-", "--warn-count", "1", "--crit-count", "2"} << pool << 64
        << "" << unknown.arg("--warn-count 1 is below --crit-count 2");
    QTest::newRow("pools, percentage over 100")
        << QStringList{"pools", "--warning", "101"} << pool << 64 << ""
        << unknown.arg("--warning 101: a percentage from 0 to 100 expected");
    QTest::newRow("pools, count not a number")
        << QStringList{"pools", "--crit-count", "few"} << pool << 64 << ""
        << unknown.arg("--crit-count few: a number of addresses expected");
    QTest::newRow("threshold of another command")
        << QStringList{"list", "--warning", "80"} << pool << 64 << ""
        << unknown.arg("--warning is an option of pools");
    QTest::newRow("time that cannot be read")
        << QStringList{"pools", "-f", "-", "--now", "yesterday"} << pool << 64 << ""
        << "kelto-cli: not a time: yesterday";
    QTest::newRow("pools, output folder missing")
        << QStringList{"pools", "-f", "-", "-o", "missing/kelto.prom"} << pool << 3 << ""
        << "kelto-cli: cannot write missing/kelto.prom: ";
    QTest::newRow("pools, file missing")
        << QStringList{"pools", "-f", "missing.ini", "--format", "nagios"} << QByteArray() << 3
        << "POOLS UNKNOWN - missing.ini: " + qt_error_string(ENOENT) + "\n"
        << "missing.ini: ";
    QTest::newRow("pools, a pool that cannot be read")
        << QStringList{"pools", "-f", "-", "--format", "nagios"}
        << crlf({"[SETTINGS]", "IPPOOL_1=10.0.0", "IPADDR=10.0.0.1", "Hostname=a"}) << 3
        << "POOLS UNKNOWN - -: IPPOOL_1 cannot be read\n"
        << "IPPOOL_1: cannot read the pool";

    // --max-input: 1 byte up to the most a scan reads, 4G; no number of digits wraps.
    const QString tooLarge = QStringLiteral(" is larger than 4G, the most a scan can read\n");
    const QByteArray in = crlf({"IPADDR=1.2.3.4", "Hostname=in"});
    const QString inRow = "  " + row("··1.··2.··3.··4", "in") + "\n";
    for (const char *size : {"1", "4G"})
        QTest::newRow(qPrintable(QStringLiteral("--max-input %1").arg(size)))
            << QStringList{"list", "-f", "-", "--max-input", size} << in << (size[1] ? 0 : 2)
            << (size[1] ? inRow : QString())
            << (size[1] ? "" : "-: larger than 1 bytes, the most that is read");
    for (const char *size : {"4294967297", "5G", "9223372036854775808", "8589934592G"})
        QTest::newRow(qPrintable(QStringLiteral("--max-input %1").arg(size)))
            << QStringList{"list", "-f", "-", "--max-input", size} << in << 64 << ""
            << QStringLiteral("kelto-cli: --max-input %1").arg(size) + tooLarge;
    for (const char *size : {"0", "-1", "4X"})
        QTest::newRow(qPrintable(QStringLiteral("--max-input '%1'").arg(size)))
            << QStringList{"list", "-f", "-", "--max-input", size} << in << 64 << ""
            << QStringLiteral("kelto-cli: not a size: %1\n").arg(size);
    // Cut by the limit inside the "é" that ends a long line: the text is still UTF-8.
    QTest::newRow("standard input cut inside a character")
        << QStringList{"list", "-f", "-", "--max-input", "234"}
        << "IPADDR=1.1.1.1\nHostname=\xC3\xA9gw-lab\n" + QByteArray(200, 'x') + "\xC3\xA9\n"
        << 2 << "  " + row("··1.··1.··1.··1", QStringLiteral("\u00E9gw-lab")) + "\n"
        << "-: larger than 234 bytes, the most that is read";
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
    // A usage error is one line naming the problem, and where to read more.
    if (status == 64)
        QCOMPARE(result.err.section(u'\n', 1),
                 QStringLiteral("Try 'kelto-cli --help' for more information.\n"));
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

void tst_Cli::jsonOfNewCommands_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("key"); // the array of the object
    QTest::addColumn<QString>("first"); // its first element, compact

    QTest::newRow("check")
        << QStringList{"check", "--format", "json"} << 1 << "findings"
        << R"({"address":"192.168.1.5","hosts":[)"
           R"({"address":"192.168.1.5","duplicate":false,"hostname":"Beta",)"
           R"("lease":"none","leaseEnd":null,"mac":"aa-bb-cc-dd-ee-ff","row":")"
               + row("192.168.··1.··5", "Beta", "aa-bb-cc-dd-ee-ff")
               + R"("},)"
                 R"({"address":"192.168.1.5","duplicate":true,"hostname":"alpha",)"
                 R"("lease":"none","leaseEnd":null,"mac":"00-11-22-33-44-55","row":")"
               + row("192.168.··1.··5", "alpha", "00-11-22-33-44-55")
               + R"("}],"kind":"shared-address"})";
    QTest::newRow("find") << QStringList{"find", "--format", "json", "ALPHA"} << 0 << "hosts"
                          << R"({"address":"192.168.1.5","duplicate":true,"hostname":"alpha",)"
                             R"("lease":"none","leaseEnd":null,"mac":"00-11-22-33-44-55","row":")"
                                 + RowAlpha + R"(","vendor":""})";
    QTest::newRow("free")
        << QStringList{"free", "--format", "json", "-f", "pools.ini"} << 0 << "pools"
        << R"({"free":3,"line":2,"name":"IPPOOL_1","ranges":[)"
           R"({"first":"10.0.0.1","last":"10.0.0.1"},)"
           R"({"first":"10.0.0.3","last":"10.0.0.4"}],"read":"10.0.0.1-4","templates":[],)"
           R"("value":"10.0.0.1-4"})";
}

void tst_Cli::jsonOfNewCommands()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, key);
    QFETCH(QString, first);

    writeFile(m_dir, QStringLiteral("pools.ini"),
              crlf({"[SETTINGS]", "IPPOOL_1=10.0.0.1-4", "IPADDR=10.0.0.2", "Hostname=a"}));
    const Run result = runCli(arguments, m_dir.path());
    QCOMPARE(result.status, status);
    QJsonParseError error;
    const QJsonObject document = QJsonDocument::fromJson(result.out.toUtf8(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(document.value("file").toString(),
             arguments.contains("pools.ini") ? "pools.ini" : "dhcpsrv.ini");
    const QJsonArray array = document.value(key).toArray();
    QVERIFY(!array.isEmpty());
    QCOMPARE(
        QString::fromUtf8(QJsonDocument(array.first().toObject()).toJson(QJsonDocument::Compact)),
        first);
}

void tst_Cli::exports_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QList<QStringList>>("records");

    // The vendor is empty: the tests read no vendor lists unless they name them.
    const QStringList header = {"address", "hostname", "mac", "duplicate", "leaseEnd", "lease", "vendor"};
    // Host names a spreadsheet must neither split nor run: a comma, quotes, a formula, a
    // tab and a backslash.
    const QList<QStringList> hosts = {
        header,
        {"10.0.0.1", "'=SUM(A1:A9)", "00-00-00-00-00-01", "false", "2027-01-15T08:00:00Z", "active", ""},
        {"10.0.0.2", "a,b \"c\"", "00-00-00-00-00-02", "false", "2023-11-14T22:13:20Z", "expired", ""},
        {"10.0.0.3", "'-minus", "", "false", "2023-11-14T22:13:20Z", "expired", ""},
        {"10.0.0.3", "tab\there\\", "", "true", "2023-11-14T22:13:20Z", "expired", ""},
    };
    QList<QStringList> tsv = hosts;
    tsv[1][1] = "=SUM(A1:A9)";
    tsv[3][1] = "-minus";
    // Leases judged at 1,750,000,000 seconds; the rows of a section share its LeaseEnd=.
    const QStringList now{"--now", "1750000000"};
    QTest::newRow("list csv") << QStringList{"list", "--format", "csv", "-f", "export.ini"} + now
                              << hosts;
    QTest::newRow("list tsv") << QStringList{"list", "--format", "tsv", "-f", "export.ini"} + now
                              << tsv;
    QTest::newRow("find csv")
        << QStringList{"find", "--format", "csv", "-f", "export.ini", "a,b"} + now
        << QList<QStringList>{header, hosts[2]};
    QTest::newRow("lookup tsv") << QStringList{"lookup",     "--format", "tsv", "-f",
                                               "export.ini", "2",        "9"}
                                << QList<QStringList>{
                                       {"number", "found", "address", "hostname", "mac", "vendor"},
                                       {"2", "true", "10.0.0.2", "a,b \"c\"", "00-00-00-00-00-02", ""},
                                       {"9", "false", "", "", "", ""}};
    QTest::newRow("lookup json") << QStringList{"lookup",     "--format", "json", "-f",
                                                "export.ini", "1",        "07"}
                                 << QList<QStringList>{{"1", "true", "10.0.0.1", "=SUM(A1:A9)",
                                                        "00-00-00-00-00-01"},
                                                       {"07", "false", "", "", ""}};
}

void tst_Cli::exports()
{
    QFETCH(QStringList, arguments);
    QFETCH(QList<QStringList>, records);

    writeFile(
        m_dir, QStringLiteral("export.ini"),
        crlf({"[00-00-00-00-00-01]", "IPADDR=10.0.0.1", "Hostname==SUM(A1:A9)",
              "LeaseEnd=1800000000", "[00-00-00-00-00-02]", "IPADDR=10.0.0.2",
              "Hostname=a,b \"c\"", "IPADDR=10.0.0.3", "Hostname=-minus", "IPADDR=10.0.0.3",
              "Hostname=tab\there\\", "LeaseEnd=1700000000"}));
    const Run run = runCli(arguments, m_dir.path());
    QVERIFY2(run.status == 0 || run.status == 1, qPrintable(run.err));
    const QString format = arguments[2];
    QList<QStringList> read;
    if (format == QLatin1StringView("csv")) {
        read = readCsv(run.out).value_or(QList<QStringList>{{"not RFC 4180"}});
    } else if (format == QLatin1StringView("tsv")) {
        QVERIFY(!run.out.contains(u'\r'));
        read = readTsv(run.out);
    } else {
        const QJsonArray numbers = QJsonDocument::fromJson(run.out.toUtf8()).array();
        for (const auto &value : numbers) {
            const QJsonObject o = value.toObject();
            read << QStringList{o["number"].toString(), o["found"].toBool() ? "true" : "false",
                                o["address"].toString(), o["hostname"].toString(),
                                o["mac"].toString()};
        }
    }
    QCOMPARE(read, records);
}

void tst_Cli::helpAnywhere()
{
    const Run help = runCli({"--help"}, m_dir.path());
    QCOMPARE(help.status, 0);
    QVERIFY(help.out.startsWith(QStringLiteral("Usage: kelto-cli [options]")));
    QCOMPARE(runCli({"list", "-f", "missing.ini", "--help"}, m_dir.path()).out, help.out);
    QCOMPARE(runCli({"help"}, m_dir.path()).out, help.out); // as git help
    QCOMPARE(runCli({"/?"}, m_dir.path()).out, help.out); // as Windows programs
    // Its example path is one of the system it runs on.
#ifdef Q_OS_WIN
    QVERIFY(help.out.contains(QStringLiteral("-f C:\\dhcpsrv\\dhcpsrv.ini\n")));
#else
    QVERIFY(help.out.contains(QStringLiteral("-f /srv/dhcp/dhcpsrv.ini\n")));
#endif
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

#ifdef Q_OS_UNIX

void tst_Cli::controlCharactersOnATerminal_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("list") << QStringList{"list"};
    QTest::newRow("find") << QStringList{"find", "red"};
    QTest::newRow("list csv") << QStringList{"list", "--format", "csv"};
    QTest::newRow("list tsv") << QStringList{"list", "--format", "tsv"};
    QTest::newRow("lookup") << QStringList{"lookup", "1"};
}

void tst_Cli::controlCharactersOnATerminal()
{
    // A host name that would turn the terminal red, and a C1 control: escaped on a
    // terminal (script(1) gives the program one), exact in a pipe.
    QFETCH(QStringList, arguments);
    if (QStandardPaths::findExecutable(QStringLiteral("script")).isEmpty())
        QSKIP("script(1) is not installed");
    QTemporaryDir dir;
    writeFile(dir, QStringLiteral("dhcpsrv.ini"),
              crlf({"[00-11-22-33-44-55]", "IPADDR=1.1.1.1", "Hostname=red\x1b[31m\u009b"}));
    QString command;
    for (QString word : QStringList{QStringLiteral(KELTO_CLI_PATH)} + arguments)
        command += u'\'' + word.replace(u'\'', QStringLiteral("'\\''")) + QStringLiteral("' ");
    const Run terminal
        = runProgram(QStringLiteral("script"), {"-qec", command, "/dev/null"}, dir.path());
    QCOMPARE(terminal.status, 0);
    QVERIFY2(terminal.out.contains(QStringLiteral("red\\u001b[31m\\u009b")), qPrintable(terminal.out));
    QVERIFY(!terminal.out.contains(QChar(0x1b)) && !terminal.out.contains(QChar(0x9b)));
    const Run pipe = runCli(arguments, dir.path());
    QVERIFY(pipe.out.contains(QStringLiteral("red\x1b[31m\u009b")));
}

#endif

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"
