// kelto-cli on configuration files laid out as real server installations write them:
// settings before and after the clients, documented keys that are not client keys,
// UTF-16, address keys the table does not read, template sections, pool references,
// and files that are no server configuration at all. The sample's outputs are kept as
// files and compared byte for byte.

#include "testsupport.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>

#include <atomic>
#include <thread>

using namespace kelto::test;

namespace {

const QString Files = QStringLiteral(KELTO_TEST_FILES);

Run cli(const QStringList &arguments, const QString &folder = Files)
{
    return runProgram(QStringLiteral(KELTO_CLI_PATH), arguments, folder);
}

QString listed(const QString &address, const QString &hostName, const QString &mac)
{
    return QStringLiteral("  ") + row(address, hostName, mac) + u'\n';
}

QString unread(int line, const QString &text)
{
    return QStringLiteral("line %1: \"%2\" is not read as an address: write the key as IPADDR= "
                          "at the start of the line\n")
        .arg(line)
        .arg(text);
}

const QString NotServerFile = QStringLiteral(
    "no server settings and no client sections: is this the server's dhcpsrv.ini?\n");

} // namespace

class tst_RealFiles : public QObject
{
    Q_OBJECT

private slots:
    void files_data();
    void files();
    void utf16ReadsLikeUtf8_data();
    void utf16ReadsLikeUtf8();
    void sample_data();
    void sample();
    void outputs_data();
    void outputs();
    void prometheus();
    void outputReplacesWholeFiles();
};

void tst_RealFiles::files_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err"); // a part of standard error; empty: nothing there

    QTest::newRow("DEFAULTIPADDR is no address line")
        << QStringList{"list", "-f", "dns-settings.ini"} << 0
        << listed("192.168.··0.·10", "first", "00-11-22-33-44-01")
               + listed("192.168.··0.·11", "second", "00-11-22-33-44-02")
        << "";
    QTest::newRow("client after the HTTP settings")
        << QStringList{"list", "-f", "after-http.ini"} << 0
        << listed("192.168.··0.·10", "before", "00-11-22-33-44-01")
               + listed("192.168.··0.·11", "after", "00-11-22-33-44-02")
        << "";
    QTest::newRow("client after the HTTP settings holds its address")
        << QStringList{"free", "-f", "after-http.ini"} << 0
        << "IPPOOL_1 192.168.0.10-13: 2 free: 192.168.0.12-13\n"
        << "";
    QTest::newRow("address keys the table passes over")
        << QStringList{"check", "-f", "unread-keys.ini"} << 1
        << unread(5, "IpAddr=192.168.0.10") + unread(9, "IPADDR = 192.168.0.11")
               + unread(13, " IPADDR=192.168.0.12")
               + unread(17, "\\tIPADDR\\t=\\t192.168.0.13 ; tabbed")
               + "line 29: address \"R=192.168.0.16\" is not a dotted IPv4 address: IPADDR= does "
                 "not start the line, so the value is read from column 8\n"
        << "";
    // Held: every key the server reads; free: the commented one and the longer key.
    QTest::newRow("address keys the table passes over hold their addresses")
        << QStringList{"free", "-f", "unread-keys.ini"} << 0
        << "IPPOOL_1 192.168.0.10-19: 5 free: 192.168.0.14-15, 192.168.0.17-19\n"
        << "";
    QTest::newRow("host name before the address of its section")
        << QStringList{"check", "-f", "name-before-address.ini"} << 1
        << "line 6: host name \"pc1\" stands before the address of its section: the table "
           "shows no host name for 192.168.1.10\n"
           "line 14: host name \"pc3\" stands before the address of its section: the table "
           "shows \"pc4\" for 192.168.1.12\n"
           "line 17: host name \"pc4\" stands before the address of its section: the table "
           "shows no host name for 192.168.1.13\n"
        << "";
    QTest::newRow("template section as the table holds it")
        << QStringList{"list", "-f", "template.ini"} << 0
        << listed("192.168.·17.·20", "fixed", "00-11-22-33-44-01")
               + listed("192.168.·17.%m5", "thin-client", "00-01-02-03-04-??")
        << "";
    QTest::newRow("template section is no bad address")
        << QStringList{"check", "-f", "template.ini"} << 0 << ""
        << "";
    // The second template section's fixed address, behind a space the table passes
    // over, is held all the same.
    QTest::newRow("template section under its pool")
        << QStringList{"free", "-f", "template.ini"} << 0
        << "IPPOOL_1 192.168.17.1-50: 48 free: 192.168.17.1-19, 192.168.17.21-29, "
           "192.168.17.31-50\n"
           "  a template section may assign addresses here: line 6, 192.168.17.%m5\n"
           "IPPOOL_2 192.168.18.1-10: 10 free: 192.168.18.1-10\n"
        << "";
    // The server's own address, IPBIND_1, is never free; a skipped pool makes the exit 1.
    QTest::newRow("pool references")
        << QStringList{"free", "-f", "pool-references.ini"} << 1
        << "IPPOOL_1 $(Settings\\IPBIND_1)-5 = 192.168.10.1-5: 3 free: 192.168.10.2, "
           "192.168.10.4-5\n"
           "IPPOOL_2 $(settings\\ipbind_1),$(General\\Extra) = 192.168.10.1,7-9: 3 free: "
           "192.168.10.7-9\n"
        << "kelto-cli: pool-references.ini: line 5: IPPOOL_3: $(Settings\\IPBIND_9) names no "
           "setting, skipped\n"
           "kelto-cli: pool-references.ini: line 6: IPPOOL_4: $(Settings\\IPPOOL_5) refers to "
           "itself, skipped\n"
           "kelto-cli: pool-references.ini: line 7: IPPOOL_5: $(Settings\\IPPOOL_4) refers to "
           "itself, skipped\n";
    QTest::newRow("empty file") << QStringList{"check", "-f", "empty.ini"} << 1 << NotServerFile
                                << "";
    QTest::newRow("unrelated file")
        << QStringList{"check", "-f", "unrelated.ini"} << 1 << NotServerFile << "";
}

void tst_RealFiles::files()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);

    const Run run = cli(arguments);
    QCOMPARE(run.out, out);
    QVERIFY2(run.err.contains(err) && run.err.isEmpty() == err.isEmpty(), qPrintable(run.err));
    QCOMPARE(run.status, status);
}

void tst_RealFiles::utf16ReadsLikeUtf8_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("file");

    for (const char *command : {"list", "free"}) {
        for (const char *file : {"utf16le.ini", "utf16be.ini"})
            QTest::addRow("%s %s", command, file) << command << file;
    }
}

void tst_RealFiles::utf16ReadsLikeUtf8()
{
    QFETCH(QString, command);
    QFETCH(QString, file);

    const Run utf8 = cli({command, "-f", "utf8.ini"});
    QVERIFY(utf8.out.contains(QStringLiteral("caf\u00E9-\u20AC"))
            || command == QLatin1StringView("free"));
    const Run utf16 = cli({command, "-f", file});
    QCOMPARE(utf16.out, utf8.out);
    QCOMPARE(utf16.status, 0);
}

void tst_RealFiles::sample_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("status");

    QTest::newRow("list") << "list" << 0;
    QTest::newRow("check") << "check" << 1;
    QTest::newRow("free") << "free" << 0;
}

void tst_RealFiles::sample()
{
    QFETCH(QString, command);
    QFETCH(int, status);

    QProcess process;
    process.setWorkingDirectory(QStringLiteral(KELTO_EXAMPLES));
    process.start(QStringLiteral(KELTO_CLI_PATH), {command});
    QVERIFY(process.waitForFinished(30000));
    QFile expected(QStringLiteral(KELTO_TEST_EXPECTED "/sample-%1.txt").arg(command));
    QVERIFY(expected.open(QIODevice::ReadOnly));
    QCOMPARE(process.readAllStandardOutput(), expected.readAll());
    QCOMPARE(process.readAllStandardError(), QByteArray());
    QCOMPARE(process.exitCode(), status);
}

void tst_RealFiles::outputs_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected"); // the file in tests/expected
    QTest::addColumn<int>("status");

    const QStringList now{"--now", "2026-12-07T12:00:00Z"};
    const QStringList oneBigPool
        = QStringList{"pools", "-f", "pools-one.ini", "--warning", "40", "--critical", "80"} + now;
    for (const char *format : {"text", "json", "csv", "tsv", "nagios"})
        QTest::addRow("one big pool, %s", format)
            << oneBigPool + QStringList{"--format", format}
            << QStringLiteral("pools-one-%1.txt").arg(format) << 1;
    QTest::newRow("pools by binding, text")
        << QStringList{"pools", "-f", "pools-by-bind.ini"} + now << "pools-by-bind-text.txt" << 0;
    QTest::newRow("pools by binding, nagios")
        << QStringList{"pools", "-f", "pools-by-bind.ini", "--format", "nagios", "--warn-count",
                       "1", "--crit-count", "0"}
               + now
        << "pools-by-bind-nagios.txt" << 2;

    // Two versions of one file, either way round.
    const QStringList versions{"diff-old.ini", "diff-new.ini"};
    for (const char *format : {"text", "json", "csv"})
        QTest::addRow("diff, %s", format) << QStringList{"diff", "--format", format} + versions
                                          << QStringLiteral("diff-%1.txt").arg(format) << 1;
    QTest::newRow("diff, reversed") << QStringList{"diff", "diff-new.ini", "diff-old.ini"}
                                    << "diff-reversed-text.txt" << 1;
    // The servers of one network with split pools, and a third of another network.
    const QStringList servers{"servers-a.ini", "servers-b.ini", "servers-c.ini"};
    QTest::newRow("compare, two servers") << QStringList{"compare"} + servers.mid(0, 2)
                                          << "compare-two-text.txt" << 1;
    QTest::newRow("compare, three servers") << QStringList{"compare"} + servers
                                            << "compare-three-text.txt" << 1;
    QTest::newRow("compare, three servers, json")
        << QStringList{"compare", "--format", "json"} + servers << "compare-three-json.txt" << 1;
    QTest::newRow("compare, pools apart") << QStringList{"compare"} + servers.mid(1) << "" << 0;

    // The vendors of the MACs of vendors.ini from the registry sample, whose oui.csv has
    // three lines that cannot be read.
    const QStringList vendors{"-f", "vendors.ini", "--oui-dir", "registry"};
    QTest::newRow("list with vendors, csv")
        << QStringList{"list", "--format", "csv"} + vendors << "vendors-list-csv.txt" << 0;
    QTest::newRow("list with vendors, json")
        << QStringList{"list", "--format", "json"} + vendors << "vendors-list-json.txt" << 0;
    QTest::newRow("lookup with vendors, tsv")
        << QStringList{"lookup", "--format", "tsv", "1", "3", "5", "8", "9"} + vendors
        << "vendors-lookup-tsv.txt" << 1;
    QTest::newRow("find in vendor names")
        << QStringList{"find", "--vendor", "NESTED", "private"} + vendors << "vendors-find.txt" << 0;
}

void tst_RealFiles::outputs()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    QFETCH(int, status);

    const Run run = cli(arguments);
    QFile file(QStringLiteral(KELTO_TEST_EXPECTED "/") + expected);
    QVERIFY(expected.isEmpty() || file.open(QIODevice::ReadOnly));
    QCOMPARE(run.out, expected.isEmpty() ? QString() : QString::fromUtf8(file.readAll()));
    QCOMPARE(run.status, status);
    if (arguments.contains(QLatin1StringView("--oui-dir")))
        QCOMPARE(run.err, QStringLiteral("kelto-cli: 3 lines of oui.csv could not be read\n"));
    if (arguments.contains(QStringLiteral("nagios"))) {
        // A monitoring plugin's line: state, text, and perfdata 'label'=value;warn;crit;min;max.
        static const QRegularExpression line(QStringLiteral(
            R"(^POOLS (OK|WARNING|CRITICAL|UNKNOWN) - [^|\n]+ \|( '[^'=]+'=\d+;\d*;\d*;\d*;\d*)+\n$)"));
        QVERIFY2(line.match(run.out).hasMatch(), qPrintable(run.out));
        QCOMPARE(run.out.section(u' ', 1, 1), QStringList({"OK", "WARNING", "CRITICAL"})[status]);
    }
}

void tst_RealFiles::prometheus()
{
    // The file's modification time is part of the output: a copy with a fixed one.
    QTemporaryDir dir;
    QFile source(Files + QStringLiteral("/pools-one.ini"));
    QVERIFY(source.open(QIODevice::ReadOnly));
    QFile copy(writeFile(dir, QStringLiteral("pools-one.ini"), source.readAll()));
    QVERIFY(copy.open(QIODevice::ReadWrite));
    QVERIFY(copy.setFileTime(QDateTime::fromSecsSinceEpoch(1'796'558'043, Qt::UTC),
                             QFileDevice::FileModificationTime));
    copy.close();
    const Run run = cli({"pools", "-f", "pools-one.ini", "--now", "1796558043", "--format",
                         "prometheus", "-o", "kelto.prom"},
                        dir.path());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QString());
    QFile written(dir.filePath(QStringLiteral("kelto.prom")));
    QFile expected(QStringLiteral(KELTO_TEST_EXPECTED "/pools-one-prometheus.txt"));
    QVERIFY(written.open(QIODevice::ReadOnly) && expected.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), expected.readAll());

#ifdef Q_OS_UNIX
    // Read by the Prometheus client library's own parser.
    const QString python = QStringLiteral("/usr/bin/python3");
    const Run parsed = runProgram(
        python,
        {"-c", "import sys, prometheus_client.parser as p\n"
               "families = list(p.text_string_to_metric_families(open(sys.argv[1]).read()))\n"
               "print(len(families), sum(len(f.samples) for f in families))",
         written.fileName()},
        dir.path());
    if (parsed.err.contains(QLatin1StringView("No module named")))
        QSKIP("python3-prometheus-client is not installed");
    QCOMPARE(parsed.err, QString());
    QCOMPARE(parsed.out, QStringLiteral("10 35\n")); // families and samples, counted by hand
#endif
}

void tst_RealFiles::outputReplacesWholeFiles()
{
    // A reader polling the file while it is written 200 times never sees part of it; on
    // Windows, where a reader holding the file open keeps it from being replaced, no
    // write fails for it either.
    QTemporaryDir dir;
    const QStringList arguments{"pools", "-f", Files + "/pools-one.ini", "--now", "0",
                                "--format", "json", "-o", "pools.json"};
    const Run first = cli(arguments, dir.path());
    QCOMPARE(first.status, 0);
    QFile file(dir.filePath(QStringLiteral("pools.json")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    file.close();
    QVERIFY(whole.endsWith("}}\n"));

    std::atomic<bool> done = false;
    std::atomic<int> reads = 0;
    std::atomic<int> partial = 0;
    std::thread reader([&] {
        while (!done) {
            QFile polled(dir.filePath(QStringLiteral("pools.json")));
            if (!polled.open(QIODevice::ReadOnly))
                continue; // between a rename's two steps on some systems: no file is no part
            partial += polled.readAll() != whole;
            ++reads;
            polled.close();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    // Under Wine each program start takes a good part of a second.
#ifdef Q_OS_WIN
    constexpr int Writes = 40;
#else
    constexpr int Writes = 200;
#endif
    int failed = 0;
    for (int i = 0; i < Writes; ++i)
        failed += cli(arguments, dir.path()).status != 0;
    done = true;
    reader.join();
    QCOMPARE(failed, 0);
    QVERIFY(reads > 0);
    QCOMPARE(int(partial), 0);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"pools.json"});
}

QTEST_GUILESS_MAIN(tst_RealFiles)
#include "tst_realfiles.moc"
