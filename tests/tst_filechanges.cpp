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
    std::thread writer([&] {
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
            return;
        for (int i = 1; !done; ++i) {
            const QByteArray &bytes = versions[size_t(i % 2)];
            const qsizetype step = piece > 0 ? piece : bytes.size();
            file.seek(0);
            for (qsizetype at = 0; at < bytes.size(); at += step)
                file.write(bytes.constData() + at, std::min(step, bytes.size() - at));
            std::this_thread::sleep_for(std::chrono::milliseconds(i % 10 == 0 ? 40 : 3));
        }
    });
    auto stop = qScopeGuard([&] {
        done = true;
        writer.join();
    });
    int whole = 0;
    int changing = 0;
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
        QVERIFY(text == versions[0] || text == versions[1]);
        ++whole;
    }
    qInfo("%d scans of one version, %d failed as changing", whole, changing);
    stop.dismiss();
    done = true;
    writer.join();
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
