// What changed between two versions of a file, and where two servers' files disagree:
// the pairing rules that the sample files in tests/files do not show.

#include "changes.h"
#include "lookup.h"
#include "servers.h"
#include "testsupport.h"

#include <QTest>

using namespace kelto;
using namespace kelto::test;

class tst_Changes : public QObject
{
    Q_OBJECT

private slots:
    void diff_data();
    void diff();
    void compare_data();
    void compare();
};

namespace {

QString shown(const HostTable &table, qsizetype row)
{
    const HostFields fields = fieldsOf(table.row(row));
    return (fields.address + u' ' + fields.hostName + u' ' + fields.mac).trimmed();
}

} // namespace

void tst_Changes::diff_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QStringList>("changes");

    const QString mac = QStringLiteral("00-1a-2b-33-44-55");
    QTest::newRow("a row without MAC is never changed, only removed and added")
        << QStringList{"IPADDR=10.0.0.1", "Hostname=a", "IPADDR=10.0.0.2", "Hostname=b"}
        << QStringList{"IPADDR=10.0.0.1", "Hostname=a", "IPADDR=10.0.0.2", "Hostname=c"}
        << QStringList{"removed 10.0.0.2 b", "added 10.0.0.2 c"};
    QTest::newRow("of a MAC's two rows, the one that moved")
        << client(mac, "10.0.0.5", "x") + client(mac, "10.0.0.6", "x")
        << client(mac, "10.0.0.7", "x") + client(mac, "10.0.0.5", "x")
        << QStringList{
               "changed 10.0.0.6 x 00-1a-2b-33-44-55 -> 10.0.0.7 x 00-1a-2b-33-44-55: address"};
    QTest::newRow("a MAC with a row more")
        << client(mac, "10.0.0.5", "x")
        << client(mac, "10.0.0.5", "x") + client(mac, "10.0.0.9", "y")
        << QStringList{"added 10.0.0.9 y 00-1a-2b-33-44-55"};
    QTest::newRow("LeaseEnd=0 is no lease end")
        << client(mac, "10.0.0.5", "x") + QStringList{"LeaseEnd=0"} << client(mac, "10.0.0.5", "x")
        << QStringList{};
    QTest::newRow("a lease end")
        << client(mac, "10.0.0.5", "x") + QStringList{"LeaseEnd=1796558043"}
        << client(mac, "10.0.0.5", "x")
        << QStringList{
               "changed 10.0.0.5 x 00-1a-2b-33-44-55 -> 10.0.0.5 x 00-1a-2b-33-44-55: lease end"};
}

void tst_Changes::diff()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    QFETCH(QStringList, changes);

    const ScanResult old = scanLines(before);
    const ScanResult now = scanLines(after);
    const FileChanges found = diffFiles(old.table, old.facts, now.table, now.facts);
    QStringList told;
    for (const ClientRow &client : found.removed)
        told << "removed " + shown(old.table, client.row);
    for (const ClientRow &client : found.added)
        told << "added " + shown(now.table, client.row);
    for (const ChangedClient &client : found.changed) {
        QStringList fields;
        if (client.address)
            fields << "address";
        if (client.hostName)
            fields << "host name";
        if (client.leaseEnd)
            fields << "lease end";
        told << "changed " + shown(old.table, client.before.row) + " -> "
                    + shown(now.table, client.after.row) + ": " + fields.join(", ");
    }
    QCOMPARE(told, changes);
    QCOMPARE(addedClients(old.table, now.table).size(), found.added.size());
}

void tst_Changes::compare_data()
{
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("second");
    QTest::addColumn<int>("findings");

    const QStringList pool{"[SETTINGS]", "IPPOOL_1=10.0.0.100-199"};
    QTest::newRow("a row without MAC names no client")
        << QStringList{"IPADDR=10.0.0.5", "Hostname=a"}
        << client("00-1a-2b-33-44-55", "10.0.0.5", "b") << 0;
    QTest::newRow("an address of the other's pool that it holds too")
        << client("00-1a-2b-33-44-55", "10.0.0.150", "a")
        << pool + client("00-1a-2b-33-44-55", "10.0.0.150", "a") << 0;
    QTest::newRow("an address of the other's pool that it does not hold")
        << client("00-1a-2b-33-44-55", "10.0.0.150", "a") << pool << 1;
    QTest::newRow("the same pool twice") << pool << pool << 1;
}

void tst_Changes::compare()
{
    QFETCH(QStringList, first);
    QFETCH(QStringList, second);
    QFETCH(int, findings);

    const ScanResult a = scanLines(first);
    const ScanResult b = scanLines(second);
    const ServersReport report = compareServers({{&a.table, &a.facts}, {&b.table, &b.facts}});
    QCOMPARE(qsizetype(report.overlappingPools.size() + report.sharedAddresses.size()
                       + report.macsWithOtherAddresses.size()
                       + report.addressesInOtherPools.size()),
             findings);
}

QTEST_GUILESS_MAIN(tst_Changes)
#include "tst_changes.moc"
