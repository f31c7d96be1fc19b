// The server rewrites its file while Kelto reads it: every scan gives the rows of one
// version of the file, or fails as a file that kept changing.

#include "configfile.h"
#include "scan.h"
#include "testsupport.h"

#include <QScopeGuard>
#include <QTest>

#include <atomic>
#include <thread>

using namespace kelto;
using namespace kelto::test;

class tst_FileChanges : public QObject
{
    Q_OBJECT

private slots:
    void fileChangingWhileRead_data();
    void fileChangingWhileRead();
    void sameSizeRewriteIsAChange();
};

void tst_FileChanges::fileChangingWhileRead_data()
{
    QTest::addColumn<qsizetype>("piece"); // bytes per write of the writer; 0: a version at once

    QTest::newRow("a version in one write") << qsizetype(0);
    QTest::newRow("a version in 64 KiB writes") << qsizetype(64 << 10);
}

void tst_FileChanges::fileChangingWhileRead()
{
    // A writer rewrites the file in place every few milliseconds, alternating two versions
    // of the same size that differ only in their host names, while it is scanned: each
    // scan gives all the rows of one version, or fails as a file that kept changing. Now
    // and then the writer rests for a few readings' time.
    QFETCH(qsizetype, piece);
    constexpr int Clients = 6'000; // 3.4 MB: each with a line of 500 characters
    QTemporaryDir dir;
    const QByteArray comment = "; " + QByteArray(500, 'c') + "\r\n";
    const std::array<QByteArray, 2> versions = {
        clients(Clients, "10.0.0.1", "host-1\r\n" + comment),
        clients(Clients, "10.0.0.1", "hosu-1\r\n" + comment)};
    const QString path = writeFile(dir, "dhcpsrv.ini", versions[0]);

    std::atomic<bool> done = false;
    // The longest time the writer took for one version. A version whose writing the
    // system holds up for as long as a reading waits for a quiet file (10 ms) leaves a
    // half-written file that cannot be told from a finished one: a reading of it is
    // then the known limit, not a fault.
    std::atomic<qint64> longestWriteNs = 0;
    std::thread writer([&] {
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
            return;
        for (int i = 1; !done; ++i) {
            const QByteArray &bytes = versions[size_t(i % 2)];
            const qsizetype step = piece > 0 ? piece : bytes.size();
            const auto start = std::chrono::steady_clock::now();
            file.seek(0);
            for (qsizetype at = 0; at < bytes.size(); at += step)
                file.write(bytes.constData() + at, std::min(step, bytes.size() - at));
            const qint64 took = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                    std::chrono::steady_clock::now() - start)
                                    .count();
            longestWriteNs = std::max<qint64>(longestWriteNs, took);
            std::this_thread::sleep_for(std::chrono::milliseconds(i % 10 == 0 ? 40 : 3));
        }
    });
    auto stop = qScopeGuard([&] {
        done = true;
        writer.join();
    });
    int whole = 0;
    int changing = 0;
    int halfWritten = 0;
    for (int i = 0; i < 300; ++i) {
        const ScanResult result = scanFile(path, ScanScope::Rows);
        if (!result.isComplete()) {
            QCOMPARE(result.failure->description(),
                     QStringLiteral("the file kept changing while it was read"));
            ++changing;
            continue;
        }
        // The rows of exactly one version: the text they were read from is that version.
        QCOMPARE(result.table.size(), Clients);
        const auto read = result.table.text().bytes();
        const QByteArrayView text(reinterpret_cast<const char *>(read.data()), qsizetype(read.size()));
        if (text != versions[0] && text != versions[1]) {
            ++halfWritten;
            continue;
        }
        ++whole;
    }
    stop.dismiss();
    done = true;
    writer.join();
    qInfo("%d scans of one version, %d failed as changing, %d half written; longest write %lld ms",
          whole, changing, halfWritten, qint64(longestWriteNs / 1'000'000));
    constexpr qint64 QuietNs = 10'000'000;
    QVERIFY2(halfWritten == 0 || longestWriteNs >= QuietNs,
             "half a version read, and no write was held up for as long as a reading waits");
    // Once the writer has stopped, the file reads whole again.
    QCOMPARE(scanFile(path).table.size(), Clients);
}

void tst_FileChanges::sameSizeRewriteIsAChange()
{
    // The server rewrites a host name of the same length: only the modification time
    // tells the two versions apart.
    QTemporaryDir dir;
    const QString path = writeFile(dir, "dhcpsrv.ini", clients(1, "10.0.0.1", "first"));
    QFile held;
    QVERIFY(!openConfigFile(path, held));
    const FileStamp before = stampOf(held);
    QFile writer(path);
    QVERIFY(writer.open(QIODevice::ReadWrite));
    QVERIFY(writer.write(clients(1, "10.0.0.1", "other")) > 0);
    QVERIFY(writer.setFileTime(writer.fileTime(QFileDevice::FileModificationTime).addSecs(1),
                               QFileDevice::FileModificationTime));
    writer.close();
    const FileStamp after = stampOf(held);
    QCOMPARE(after.size, before.size);
    QVERIFY(after != before);
}

QTEST_APPLESS_MAIN(tst_FileChanges)
#include "tst_filechanges.moc"
