// Hostile and broken configuration files: each ends with the right table or with the
// scan failure, and the process stays healthy.

#include "configfile.h"
#include "scan.h"
#include "testsupport.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QJsonObject>

#include <QTest>

#include <csignal>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

using namespace kelto;
using namespace kelto::test;

namespace {

const QString Mac = QStringLiteral("00-11-22-33-44-55");

ScanResult scanThroughFile(const QByteArray &bytes)
{
    QTemporaryDir dir;
    return scanFile(writeFile(dir, QStringLiteral("dhcpsrv.ini"), bytes));
}


} // namespace

class tst_BadInput : public QObject
{
    Q_OBJECT

private slots:
    void brokenFiles_data();
    void brokenFiles();
    void keysAtEveryColumn();
    void macHeadersCutShort();
    void largeFiles();
#ifdef Q_OS_UNIX
    void inputThatMisbehaves_data();
    void inputThatMisbehaves();
    void fileNameInJson_data();
    void fileNameInJson();
#endif
    void sizeLimit();
};

void tst_BadInput::brokenFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QStringList>("rows");

    QTest::newRow("empty") << QByteArray() << true << QStringList{};
    QTest::newRow("only line ends") << QByteArray("\r\n\n\r\r\r\n\n") << true << QStringList{};
    static const char nul[] = "[0\0-11-22-33-44-5\0]\nIPADDR=1\0.2.3.4\nHostname=a\0b\n";
    QTest::newRow("NUL in every field")
        << QByteArray(nul, sizeof nul - 1) << true
        << QStringList{composeRow(QString::fromUtf16(u" 1\0.  2.  3.  4", 15), QString::fromUtf16(u"a\0b", 3),
                                  QString::fromUtf16(u"0\0-11-22-33-44-5\0", 17))};
    QTest::newRow("invalid UTF-8 among valid: Windows-1252")
        << QByteArray("IPADDR=1.1.1.1\nHostname=caf\xC3\xA9\nx=\xFF\n") << true
        << QStringList{row("··1.··1.··1.··1", QStringLiteral("caf\u00C3\u00A9"))};
    // What Windows editors call "Unicode", in either byte order; an odd byte at the end
    // is a replacement character.
    static const char16_t utf16[] = u"[00-11-22-33-44-55]\r\nIPADDR=1.1.1.1\r\nHostname=\u00E9";
    const QByteArray le(reinterpret_cast<const char *>(utf16), sizeof utf16 - 2);
    QByteArray be = le;
    for (qsizetype i = 0; i + 1 < be.size(); i += 2)
        std::swap(be[i], be[i + 1]);
    const QString utf16Row = row("··1.··1.··1.··1", QStringLiteral("\u00E9"), Mac);
    QTest::newRow("UTF-16 LE") << "\xFF\xFE" + le << true << QStringList{utf16Row};
    QTest::newRow("UTF-16 BE") << "\xFE\xFF" + be << true << QStringList{utf16Row};
    QTest::newRow("UTF-16, odd last byte")
        << "\xFF\xFE" + le + 'x' << true
        << QStringList{row("··1.··1.··1.··1", QStringLiteral("\u00E9\uFFFD"), Mac)};
    // As the web's UTF-16 decoder: one replacement character for both.
    QTest::newRow("UTF-16, lead surrogate and odd byte at the end")
        << "\xFF\xFE" + le + "\x3D\xD8x" << true
        << QStringList{row("··1.··1.··1.··1", QStringLiteral("\u00E9\uFFFD"), Mac)};
    QTest::newRow("malformed address after the HTTP settings")
        << clients(1, "192.168.1.5", "a")
               + "[HTTP-SETTINGS]\nIPADDR=10.0.0\n[SETTINGS]\nIPADDR=10.0\n"
        << false << QStringList{row("192.168.··1.··5", "a", Mac)};
    QTest::newRow("one dot") << clients(1, "192.168", "a") << false << QStringList{};
    QTest::newRow("two dots") << clients(1, "192.168.1", "a") << false << QStringList{};
    QTest::newRow("three dots") << clients(1, "192.168.1.5", "a") << true
                                << QStringList{row("192.168.··1.··5", "a", Mac)};
    QTest::newRow("four dots") << clients(1, "1.2.3.4.5", "a") << true
                               << QStringList{row("··1.··2.··3.4.5", "a", Mac)};
    QTest::newRow("nine dots") << clients(1, "1.2.3.4.5.6.7.8.9.0", "a") << true
                               << QStringList{row("··1.··2.··3.4.5.6.7.8", "a", Mac)};
    QTest::newRow("200 digits") << clients(1, QByteArray(200, '7'), "a") << true << QStringList{};
    QTest::newRow("only semicolon") << clients(1, ";", "a") << true << QStringList{};
}

void tst_BadInput::brokenFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, complete);
    QFETCH(QStringList, rows);

    const ScanResult result = scanThroughFile(bytes);
    QCOMPARE(result.isComplete(), complete);
    QStringList texts;
    for (qsizetype i = 0; i < result.table.size(); ++i)
        texts << result.table.rowText(i);
    QCOMPARE(texts, rows);
}

void tst_BadInput::keysAtEveryColumn()
{
    for (int column = 1; column <= 30; ++column) {
        const QByteArray indent(column - 1, ' ');
        // The address value is read from column 8 whatever column the key stands at, so
        // the window holds part of the key and part of the value: up to column 10 all
        // three dots of 1.2.3.4, from 11 to 14 only one or two (a malformed address),
        // from 15 none and leading spaces (no address). Column 2 is passed over.
        const ScanResult address = scanThroughFile(indent + "IPADDR=1.2.3.4\nHostname=h\n");
        QCOMPARE(address.isComplete(), column < 11 || column > 14);
        QCOMPARE(address.table.size(), column == 2 || column > 10 ? 0 : 1);

        // The host name is read from column 10; a key at column 2 makes no host name
        // line, and the address gets its row without one.
        const QByteArray nameLine = indent + "Hostname=hhhhhhhhhhhhhhhhhhhh";
        const ScanResult name = scanThroughFile("IPADDR=1.2.3.4\n" + nameLine + "\n");
        QCOMPARE(name.table.size(), 1);
        QCOMPARE(name.table.row(0).columns(AddressFieldWidth + 1).toString(),
                 (column == 2 ? QString() : QString::fromLatin1(nameLine.mid(9))).leftJustified(83));
    }
}

void tst_BadInput::macHeadersCutShort()
{
    const QByteArray header = "[00-11-22-33-44-55]";
    for (int length = 0; length <= header.size(); ++length) {
        const ScanResult result = scanThroughFile(header.left(length) + "\nIPADDR=1.2.3.4\nHostname=h\n");
        QCOMPARE(result.table.size(), 1);
        QCOMPARE(result.table.row(0).mac().toString(), length == header.size() ? Mac : QString());
    }
}

void tst_BadInput::largeFiles()
{
    // 50 MB without a line end: one line, no row.
    QByteArray noLineEnd(50 << 20, 'x');
    ScanResult result = scanThroughFile(noLineEnd);
    QVERIFY(result.isComplete() && result.table.isEmpty());

    // A host name line of 10 MB keeps the first 83 characters of the name.
    result = scanThroughFile("IPADDR=1.1.1.1\nHostname=" + QByteArray(10 << 20, 'n')
                       + "\nIPADDR=1.1.1.2\nHostname=b\n");
    QCOMPARE(result.table.size(), 2);
    QCOMPARE(result.table.row(0).columns(AddressFieldWidth + 1).toString(), QString(83, u'n'));
    noLineEnd.clear();

    // 100,000 clients sharing one address: all but the first are selected, as one run.
    result = scanThroughFile(clients(100'000, "192.168.1.5", "same"));
    QCOMPARE(result.table.size(), 100'000);
    QCOMPARE(result.table.repeatedRows(), (std::vector<RowRange>{{1, 99'999}}));

    // 10,000 host names of 1,000 characters.
    result = scanThroughFile(clients(10'000, "10.0.0.1", QByteArray(1000, 'L')));
    QCOMPARE(result.table.size(), 10'000);
    QCOMPARE(result.table.rowText(9'999), row("·10.··0.··0.··1", QString(83, u'L'), Mac));
}

void tst_BadInput::sizeLimit()
{
    // The limit counts what is read, from a file, a device or standard input alike; the
    // rows read before it stay.
    const QByteArray bytes = clients(25'000, "10.0.0.1", "h"); // 1.25 MB
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const ScanResult device = scanDevice(buffer, ScanScope::Table, 1 << 20);
    QVERIFY(!device.isComplete());
    QCOMPARE(device.failure->description(),
             QStringLiteral("larger than 1 MiB, the most that is read"));
    QVERIFY(device.table.size() > 10'000 && device.table.repeatedRows().empty());

    QTemporaryDir dir;
    const ScanResult file
        = scanFile(writeFile(dir, QStringLiteral("dhcpsrv.ini"), bytes), ScanScope::Table, 1 << 20);
    QVERIFY(!file.isComplete());
    QCOMPARE(file.failure->cause, ScanFailure::Cause::TooLarge);
    QVERIFY(file.table.isEmpty()); // a file is measured before it is read
    QVERIFY(scanFile(dir.filePath(QStringLiteral("dhcpsrv.ini")), ScanScope::Table, 2 << 20)
                .isComplete());
}

#ifdef Q_OS_UNIX

namespace {

enum class Input {
    Closed, // standard input closed
    NonBlockingPipe, // a non-blocking pipe, written in two parts with a pause
    Endless, // a writer that never ends, until the reader stops
    Positioned, // standard input a file, read past its first line by an earlier reader
    Argument, // given by its path, run through the shell so that the path may be any bytes
    OutputClosed, // standard output closed
    OutputFull, // standard output a device that is always full
    MemoryLimit, // given by its path, with little address space
};

// kelto-cli with standard input (or `stream`) `input`, an open descriptor, or closed
// when -1.
Run runWithInput(const QStringList &arguments, const QString &folder, int input,
                 const std::function<void()> &whileRunning = {}, int stream = STDIN_FILENO)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setChildProcessModifier([input, stream] {
        if (input >= 0)
            ::dup2(input, stream);
        else
            ::close(stream);
    });
    process.start(QStringLiteral(KELTO_CLI_PATH), arguments);
    process.waitForStarted();
    if (whileRunning)
        whileRunning();
    if (!process.waitForFinished(60000))
        qFatal("kelto-cli did not finish");
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

Run runShell(const QString &script, const QStringList &arguments, const QString &folder)
{
    return runProgram(QStringLiteral("/bin/sh"),
                      QStringList{"-c", script, QStringLiteral(KELTO_CLI_PATH)} + arguments,
                      folder);
}

} // namespace

Q_DECLARE_METATYPE(Input)

void tst_BadInput::inputThatMisbehaves_data()
{
    QTest::addColumn<Input>("input");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("bytes"); // of the file or the input
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("err"); // a part of standard error

    const QByteArray three = clients(3, "10.0.0.1", "h");
    QTest::newRow("closed standard input")
        << Input::Closed << QStringList{"check", "-f", "-"} << QByteArray() << 2 << 0
        << "kelto-cli: -: cannot read standard input: Bad file descriptor";
    QTest::newRow("non-blocking pipe with a pause")
        << Input::NonBlockingPipe << QStringList{"list", "-f", "-"} << clients(28, "10.0.0.1", "h")
        << 0 << 28 << "";
    QTest::newRow("endless input")
        << Input::Endless << QStringList{"list", "-f", "-", "--max-input", "1M"}
        << QByteArray("y\n") << 2 << 0 << "-: larger than 1 MiB, the most that is read";
    QTest::newRow("standard input past its first client")
        << Input::Positioned << QStringList{"list", "-f", "-"}
        << "IPADDR=9.9.9.9\nHostname=skipped\n" + three + "x=\xE9\n"
        << 0 << 3 << "";
    QTest::newRow("1 TB sparse file")
        << Input::Argument << QStringList{"list", "-f", "sparse.ini"} << QByteArray() << 2 << 0
        << "sparse.ini: larger than 4 GiB, the most that is read";
    QTest::newRow("file name not UTF-8")
        << Input::Argument << QStringList{"list", "-f", "lat\\351in.ini"} << three << 0 << 3 << "";
    QTest::newRow("file name starting with U+FEFF")
        << Input::Argument << QStringList{"list", "-f", "\\357\\273\\277bom.ini"} << three << 0 << 3 << "";
    QTest::newRow("missing file name not UTF-8, escaped")
        << Input::Argument << QStringList{"list", "-f", "lat\\351in-x.ini"} << QByteArray() << 2
        << 0 << "kelto-cli: lat\\xe9in-x.ini: No such file or directory";
    QTest::newRow("control characters in a malformed address")
        << Input::Argument << QStringList{"list", "-f", "lat\\351in.ini"}
        << three + "IPADDR=1.2\x1b[2J\x1b[31m\n"
        << 2 << 3 << "line 10: malformed address \"1.2\\u001b[2J\\u001b[31m\"";
    QTest::newRow("control characters in a pool")
        << Input::Argument << QStringList{"free", "-f", "lat\\351in.ini"}
        << "[SETTINGS]\nIPPOOL_1=1.2\x1b[2J\xc2\x9b\n" + three << 1 << 0
        << "IPPOOL_1: cannot read the pool \"1.2\\u001b[2J\\u009b\", skipped";
    QTest::newRow("a file of /proc")
        << Input::Argument << QStringList{"list", "-f", "/proc/cpuinfo"} << QByteArray() << 2 << 0
        << "kelto-cli: /proc/cpuinfo: not a regular file on disk";
    QTest::newRow("--version, standard output closed")
        << Input::OutputClosed << QStringList{"--version"} << QByteArray() << 74 << 0
        << "kelto-cli: cannot write the output: Bad file descriptor";
    QTest::newRow("list, standard output closed")
        << Input::OutputClosed << QStringList{"list"} << three << 74 << 0
        << "kelto-cli: cannot write the output: Bad file descriptor";
    QTest::newRow("--help, standard output full")
        << Input::OutputFull << QStringList{"--help"} << QByteArray() << 74 << 0
        << "kelto-cli: cannot write the output: No space left on device";
    QTest::newRow("not enough memory")
        << Input::MemoryLimit << QStringList{"list", "-f", "big.ini"} << QByteArray() << 2 << -1
        << "big.ini: not enough memory to read the file";
}

void tst_BadInput::inputThatMisbehaves()
{
    QFETCH(Input, input);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    QFETCH(int, rows);
    QFETCH(QString, err);

    QTemporaryDir dir;
    Run run;
    int pipe[2] = {-1, -1};
    switch (input) {
    case Input::Closed:
        run = runWithInput(arguments, dir.path(), -1);
        break;
    case Input::NonBlockingPipe:
    case Input::Endless: {
        std::signal(SIGPIPE, SIG_IGN);
        QVERIFY(::pipe2(pipe, O_CLOEXEC) == 0); // the child keeps only its copy on 0
        if (input == Input::NonBlockingPipe)
            ::fcntl(pipe[0], F_SETFL, ::fcntl(pipe[0], F_GETFL) | O_NONBLOCK);
        run = runWithInput(arguments, dir.path(), pipe[0], [&] {
            ::close(pipe[0]);
            if (input == Input::NonBlockingPipe) {
                const qsizetype half = bytes.size() / 2;
                QVERIFY(::write(pipe[1], bytes.constData(), size_t(half)) == half);
                QTest::qSleep(300);
                QVERIFY(::write(pipe[1], bytes.constData() + half, size_t(bytes.size() - half))
                        == bytes.size() - half);
            } else {
                // Until the reader has stopped reading, and no more than 64 MiB.
                const QByteArray block = bytes.repeated(32768);
                for (int i = 0; i < 1024; ++i) {
                    if (::write(pipe[1], block.constData(), size_t(block.size())) < 0)
                        break;
                }
            }
            ::close(pipe[1]);
        });
        break;
    }
    case Input::Positioned: {
        const QString path = writeFile(dir, QStringLiteral("dhcpsrv.ini"), bytes);
        const int fd = ::open(qPrintable(path), O_RDONLY);
        QVERIFY(fd >= 0);
        ::lseek(fd, bytes.indexOf("[00"), SEEK_SET); // as a reader of the first client left it
        run = runWithInput(arguments, dir.path(), fd);
        ::close(fd);
        break;
    }
    case Input::Argument: {
        // The name lat\xe9in.ini, as bytes; a name that starts with U+FEFF, which is no
        // byte order mark there; and a sparse file of 1 TB.
        const QByteArray latin = dir.path().toUtf8() + "/lat\xe9in.ini";
        const int fd = ::open(latin.constData(), O_WRONLY | O_CREAT, 0600);
        QVERIFY(fd >= 0 && ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size());
        ::close(fd);
        writeFile(dir, QStringLiteral("\uFEFFbom.ini"), bytes);
        QFile sparse(dir.filePath(QStringLiteral("sparse.ini")));
        QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(qint64(1) << 40));
        sparse.close();
        // The shell turns \351 into the byte 0xE9.
        run = runShell(QStringLiteral("exec \"$0\" \"$1\" \"$2\" \"$(printf \"$3\")\""), arguments,
                       dir.path());
        ::unlink(latin.constData()); // a name that QTemporaryDir cannot spell
        break;
    }
    case Input::OutputClosed:
    case Input::OutputFull: {
        writeFile(dir, QStringLiteral("dhcpsrv.ini"), bytes);
        const int full = input == Input::OutputFull ? ::open("/dev/full", O_WRONLY) : -1;
        run = runWithInput(arguments, dir.path(), full, {}, STDOUT_FILENO);
        if (full >= 0)
            ::close(full);
        break;
    }
    case Input::MemoryLimit: {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("AddressSanitizer needs more address space than any limit leaves");
#endif
        writeFile(dir, QStringLiteral("big.ini"), clients(500'000, "10.0.0.1", "host-name"));
        run = runShell(QStringLiteral("ulimit -v 90000 && exec \"$0\" \"$@\""), arguments,
                       dir.path());
        break;
    }
    }

    QVERIFY2(run.err.contains(err) && run.err.isEmpty() == err.isEmpty(), qPrintable(run.err));
    QVERIFY2(!run.err.contains(QChar(0x1b)) && !run.err.contains(QChar(0x9b)),
             "raw control character");
    if (rows >= 0)
        QCOMPARE(run.out.count(u'\n'), rows);
    QCOMPARE(run.status, status);
}

void tst_BadInput::fileNameInJson_data()
{
    QTest::addColumn<QString>("command");
    for (const char *command : {"list", "check", "free"})
        QTest::newRow(command) << QString::fromLatin1(command);
}

void tst_BadInput::fileNameInJson()
{
    // JSON has no lone surrogates: a byte of the name that is not UTF-8 is U+FFFD there.
    QFETCH(QString, command);
    QTemporaryDir dir;
    const QByteArray latin = dir.path().toUtf8() + "/lat\xe9in.ini";
    const int fd = ::open(latin.constData(), O_WRONLY | O_CREAT, 0600);
    const QByteArray bytes = "[SETTINGS]\nIPPOOL_1=10.0.0.1-2\n" + clients(1, "10.0.0.1", "h");
    QVERIFY(fd >= 0 && ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size());
    ::close(fd);
    const Run run = runShell(QStringLiteral("exec \"$0\" \"$1\" \"$2\" \"$(printf \"$3\")\" \"$4\" \"$5\""),
                             {command, "-f", "lat\\351in.ini", "--format", "json"}, dir.path());
    ::unlink(latin.constData());
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(run.out.toUtf8(), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(json.object().value("file").toString(), QStringLiteral("lat\uFFFDin.ini"));
}

#endif

QTEST_APPLESS_MAIN(tst_BadInput)
#include "tst_badinput.moc"
