// Hostile and broken configuration files: each ends with the right table or with the
// scan failure, and the process stays healthy.

#include "scan.h"
#include "testsupport.h"

#include <QTest>

#include <atomic>
#include <thread>

using namespace kelto;
using namespace kelto::test;

namespace {

const QString Mac = QStringLiteral("00-11-22-33-44-55");

ScanResult scanBytes(const QByteArray &bytes)
{
    QTemporaryDir dir;
    return scanFile(writeFile(dir, QStringLiteral("dhcpsrv.ini"), bytes));
}

QByteArray clients(int count, const QByteArray &address, const QByteArray &name)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += "[00-11-22-33-44-55]\r\nIPADDR=" + address + "\r\nHostname=" + name + "\r\n";
    return bytes;
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
    void fileChangingWhileRead();
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
        << QStringList{composeRow(QStringView(u" 1\0.  2.  3.  4", 15), QStringView(u"a\0b", 3),
                                  QStringView(u"0\0-11-22-33-44-5\0", 17))};
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
    QTest::newRow("malformed address after the HTTP settings")
        << clients(1, "192.168.1.5", "a") + "[HTTP-SETTINGS]\nIPADDR=10.0.0\n[SETTINGS]\nIPADDR=10.0\n"
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

    const ScanResult result = scanBytes(bytes);
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
        const ScanResult address = scanBytes(indent + "IPADDR=1.2.3.4\nHostname=h\n");
        QCOMPARE(address.isComplete(), column < 11 || column > 14);
        QCOMPARE(address.table.size(), column == 2 || column > 10 ? 0 : 1);

        // The host name is read from column 10; a key at column 2 makes no host name
        // line, and the address gets its row without one.
        const QByteArray nameLine = indent + "Hostname=hhhhhhhhhhhhhhhhhhhh";
        const ScanResult name = scanBytes("IPADDR=1.2.3.4\n" + nameLine + "\n");
        QCOMPARE(name.table.size(), 1);
        QCOMPARE(name.table.row(0).hostName().toString(),
                 column == 2 ? QString() : QString::fromLatin1(nameLine.mid(9)));
    }
}

void tst_BadInput::macHeadersCutShort()
{
    const QByteArray header = "[00-11-22-33-44-55]";
    for (int length = 0; length <= header.size(); ++length) {
        const ScanResult result = scanBytes(header.left(length) + "\nIPADDR=1.2.3.4\nHostname=h\n");
        QCOMPARE(result.table.size(), 1);
        QCOMPARE(result.table.row(0).mac().toString(), length == header.size() ? Mac : QString());
    }
}

void tst_BadInput::largeFiles()
{
    // 50 MB without a line end: one line, no row.
    QByteArray noLineEnd(50 << 20, 'x');
    ScanResult result = scanBytes(noLineEnd);
    QVERIFY(result.isComplete() && result.table.isEmpty());

    // A host name line of 10 MB keeps the first 83 characters of the name.
    result = scanBytes("IPADDR=1.1.1.1\nHostname=" + QByteArray(10 << 20, 'n')
                       + "\nIPADDR=1.1.1.2\nHostname=b\n");
    QCOMPARE(result.table.size(), 2);
    QCOMPARE(result.table.row(0).hostName().toString(), QString(83, u'n'));
    noLineEnd.clear();

    // 100,000 clients sharing one address: all but the first are selected, as one run.
    result = scanBytes(clients(100'000, "192.168.1.5", "same"));
    QCOMPARE(result.table.size(), 100'000);
    QCOMPARE(result.table.repeatedRows(), (std::vector<RowRange>{{1, 99'999}}));

    // 10,000 host names of 1,000 characters.
    result = scanBytes(clients(10'000, "10.0.0.1", QByteArray(1000, 'L')));
    QCOMPARE(result.table.size(), 10'000);
    QCOMPARE(result.table.rowText(9'999), row("·10.··0.··0.··1", QString(83, u'L'), Mac));
}

void tst_BadInput::fileChangingWhileRead()
{
    // A writer rewrites the file in place, alternating two versions, while it is read:
    // each scan gives the rows of one version (an empty file between two writes is one
    // too), or the failure, never a mixture.
    QTemporaryDir dir;
    const QByteArray first = clients(2'000, "10.0.0.1", "first");
    const QByteArray second = clients(500, "10.0.0.2", "second-version");
    const QString path = writeFile(dir, "dhcpsrv.ini", first);

    std::atomic<bool> done = false;
    std::thread writer([&] {
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite))
            return;
        for (int i = 0; !done; ++i) {
            const QByteArray &version = i % 2 ? first : second;
            file.resize(0);
            file.seek(0);
            file.write(version);
            file.flush();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    for (int i = 0; i < 200; ++i) {
        const ScanResult result = scanFile(path);
        if (!result.isComplete()) {
            QCOMPARE(result.failure->cause, ScanFailure::Cause::FileChanged);
            continue;
        }
        const qsizetype size = result.table.size();
        QVERIFY2(size == 0 || size == 2'000 || size == 500, qPrintable(QString::number(size)));
        if (size > 0)
            QCOMPARE(result.table.row(size - 1).hostName().toString(),
                     size == 2'000 ? QStringLiteral("first") : QStringLiteral("second-version"));
    }
    done = true;
    writer.join();

    // Once the writer has stopped, the file reads whole again.
    const ScanResult last = scanFile(path);
    QVERIFY(last.isComplete());
    QVERIFY(last.table.size() == 2'000 || last.table.size() == 500);
}

QTEST_APPLESS_MAIN(tst_BadInput)
#include "tst_badinput.moc"
