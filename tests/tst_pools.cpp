// The pools as the server counts them: what it may offer, what is held and by which
// lease, and when a monitoring plugin calls a pool near its end.

#include "pools.h"
#include "testsupport.h"

#include <QTest>

using namespace kelto;
using namespace kelto::test;

Q_DECLARE_METATYPE(PoolState)
Q_DECLARE_METATYPE(PoolThresholds)

class tst_Pools : public QObject
{
    Q_OBJECT

private slots:
    void thresholds_data();
    void thresholds();
    void counts_data();
    void counts();
};

void tst_Pools::thresholds_data()
{
    QTest::addColumn<quint32>("size");
    QTest::addColumn<quint32>("held");
    QTest::addColumn<PoolThresholds>("thresholds");
    QTest::addColumn<PoolState>("state");

    const PoolThresholds percent{80, 90, {}, {}};
    const PoolThresholds count{{}, {}, 5, 0};
    // clang-format off
    QTest::newRow("below the warning") << 50u << 39u << percent << PoolState::Ok;
    QTest::newRow("exactly at the warning") << 50u << 40u << percent << PoolState::Warning;
    QTest::newRow("exactly at the critical") << 50u << 45u << percent << PoolState::Critical;
    QTest::newRow("a share that rounds down to the warning") << 3u << 2u << PoolThresholds{67, 90, {}, {}} << PoolState::Ok;
    QTest::newRow("one free more than the warning") << 50u << 44u << count << PoolState::Ok;
    QTest::newRow("exactly the warning's free") << 50u << 45u << count << PoolState::Warning;
    QTest::newRow("none free") << 50u << 50u << count << PoolState::Critical;
    QTest::newRow("a pool of one, free") << 1u << 0u << PoolThresholds{100, 100, 0, 0} << PoolState::Ok;
    QTest::newRow("a pool of one, held") << 1u << 1u << PoolThresholds{100, 100, {}, {}} << PoolState::Critical;
    QTest::newRow("nothing to offer") << 0u << 0u << percent << PoolState::Critical;
    QTest::newRow("no thresholds") << 50u << 50u << PoolThresholds{} << PoolState::Ok;
    // clang-format on
}

void tst_Pools::thresholds()
{
    QFETCH(quint32, size);
    QFETCH(quint32, held);
    QFETCH(PoolThresholds, thresholds);
    QFETCH(PoolState, state);

    QCOMPARE(judge(PoolCounts{size, held, 0, 0, held}, thresholds), state);
}

void tst_Pools::counts_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("counts"); // of each pool, then the total: size held active expired none

    const QStringList settings{"[SETTINGS]", "IPBIND_1=10.0.0.1", "IPPOOL_1=10.0.0.1-5"};
    QTest::newRow("the server's own address is not offered")
        << settings << "4 0 0 0 0, 4 0 0 0 0";
    // Leases at 1,750,000,000 seconds.
    QTest::newRow("leases")
        << settings + client("00-00-00-00-00-01", "10.0.0.2", "a") + QStringList{"LeaseEnd=1800000000"}
               + client("00-00-00-00-00-02", "10.0.0.3", "b") + QStringList{"LeaseEnd=1700000000"}
               + client("00-00-00-00-00-03", "10.0.0.4", "c") + QStringList{"LeaseEnd=0"}
        << "4 3 1 1 1, 4 3 1 1 1";
    QTest::newRow("lease end above the address")
        << settings + QStringList{"[00-00-00-00-00-01]", "LeaseEnd=1700000000", "IPADDR=10.0.0.2"}
        << "4 1 0 1 0, 4 1 0 1 0";
    QTest::newRow("an address of two sections: the active lease counts")
        << settings + client("00-00-00-00-00-01", "10.0.0.2", "a") + QStringList{"LeaseEnd=1700000000"}
               + client("00-00-00-00-00-02", "10.0.0.2", "b") + QStringList{"LeaseEnd=1800000000"}
        << "4 1 1 0 0, 4 1 1 0 0";
    QTest::newRow("a row outside client sections has no lease end")
        << settings + QStringList{"IPADDR=10.0.0.5", "Hostname=x"} << "4 1 0 0 1, 4 1 0 0 1";
    QTest::newRow("$(Key), quoted value, overlapping pools counted once in the total")
        << QStringList{"[Settings]", "IPBIND_1=10.0.0.1", "IPPOOL_1=$(IPBIND_1)-3",
                       "IPPOOL_2=\"10.0.0.3-4\" ; office"}
        << "2 0 0 0 0, 2 0 0 0 0, 3 0 0 0 0";
}

void tst_Pools::counts()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, counts);

    ScanResult scan = scanLines(lines);
    const PoolsReport report = reportPools(scan.facts, scan.table, 1'750'000'000);
    QVERIFY(report.skipped.empty());
    std::vector<PoolCounts> all;
    for (const PoolStatus &pool : report.pools)
        all.push_back(pool.counts);
    all.push_back(report.total);
    QStringList got;
    for (const PoolCounts &c : all)
        got << QStringLiteral("%1 %2 %3 %4 %5")
                   .arg(c.size)
                   .arg(c.held)
                   .arg(c.active)
                   .arg(c.expired)
                   .arg(c.noLeaseEnd);
    QCOMPARE(got.join(QLatin1StringView(", ")), counts);
}

QTEST_APPLESS_MAIN(tst_Pools)
#include "tst_pools.moc"
