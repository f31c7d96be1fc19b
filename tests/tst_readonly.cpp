// Kelto only ever reads the configuration file: after a scan, the window's start-up and
// reloads, and kelto-cli, the file and its folder are exactly as they were.

#include "configfile.h"
#include "keltofrm.h"
#include "scan.h"
#include "testsupport.h"

#include <QApplication>
#include <QDateTime>
#include <QDirIterator>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

using namespace kelto;
using namespace kelto::test;

namespace {

struct FileState
{
    QByteArray bytes;
    qint64 size = 0;
    QFileDevice::Permissions permissions;
    QDateTime modified;
    QStringList folder;
    friend bool operator==(const FileState &, const FileState &) = default;
};

FileState stateOf(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QFileInfo info(path);
    QStringList folder;
    for (QDirIterator it(info.path(),
                         QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
         it.hasNext();)
        folder << it.next();
    folder.sort();
    return {file.readAll(), info.size(), info.permissions(), info.lastModified(), folder};
}

} // namespace

class tst_ReadOnly : public QObject
{
    Q_OBJECT

private slots:
    void nothingChanges();
    void serverMayReplaceTheFileWhileItIsRead();
};

void tst_ReadOnly::nothingChanges()
{
    QTemporaryDir dir;
    const QString path
        = writeFile(dir, QStringLiteral("dhcpsrv.ini"),
                    crlf({"[00-11-22-33-44-55]", "IPADDR=192.168.1.5", "Hostname=alpha",
                          "[00-11-22-33-44-66]", "IPADDR=192.168.1.5", "Hostname=beta"}));
    // Read-only for everyone: a write would fail instead of going unnoticed, for a
    // user other than root at least; the comparison below catches it for root too.
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup
                                            | QFileDevice::ReadOther));
    const FileState before = stateOf(path);

    QCOMPARE(scanFile(path).table.size(), 2);

    {
        Keltofrm window;
        QStringList failures;
        window.setFailureReporter([&](QWidget *, const QString &message) { failures << message; });
        window.start(QLatin1Char('"') + path + QLatin1Char('"'));
        auto *source = window.findChild<QLineEdit *>(QStringLiteral("Source"));
        QTest::keyClick(source, Qt::Key_Return);
        QTest::keyClick(source, Qt::Key_Enter);
        QVERIFY(failures.isEmpty());
    }

    for (const QStringList &arguments :
         {QStringList{"list", "-f", path}, QStringList{"list", "--format", "json", "-f", path},
          QStringList{"lookup", "-f", path, "5"}}) {
        QProcess cli;
        cli.start(QStringLiteral(KELTO_CLI_PATH), arguments);
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
    }

    QCOMPARE(stateOf(path), before);
}

void tst_ReadOnly::serverMayReplaceTheFileWhileItIsRead()
{
    QTemporaryDir dir;
    const QString path
        = writeFile(dir, QStringLiteral("dhcpsrv.ini"), crlf({"IPADDR=1.2.3.4", "Hostname=a"}));
    QFile held;
    QVERIFY(!openConfigFile(path, held));
    // While Kelto holds the file open, the server may write it, rename it and put a new
    // one in its place.
    QFile writer(path);
    QVERIFY(writer.open(QIODevice::Append));
    QVERIFY(writer.write("IPADDR=1.2.3.5\r\nHostname=b\r\n") > 0);
    writer.close();
    QVERIFY(QFile::rename(path, path + QStringLiteral(".old")));
    writeFile(dir, QStringLiteral("dhcpsrv.ini"), crlf({"IPADDR=1.2.3.6", "Hostname=c"}));
    QVERIFY(QFile::remove(path + QStringLiteral(".old")));
    QCOMPARE(held.readAll().count('\n'), 4); // the file it opened, with what was written
}

QTEST_MAIN(tst_ReadOnly)
#include "tst_readonly.moc"
