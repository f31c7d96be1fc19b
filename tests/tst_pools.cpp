// Pool values and free ranges, and the pools as the server counts them: what it may offer, what is held and by which
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
    void pool_data();
    void pool();
    void compact_data();
    void compact();
    void references_data();
    void references();
    void templateInPool_data();
    void templateInPool();
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

void tst_Pools::pool_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<quint32>("network");
    QTest::addColumn<QList<int>>("hosts");

    const quint32 net10 = 0xc0a80a00;
    QTest::newRow("start only") << "192.168.10.7" << true << net10 << QList<int>{7};
    QTest::newRow("range") << "192.168.10.2-5" << true << net10 << QList<int>{2, 3, 4, 5};
    QTest::newRow("items") << "192.168.20.1,5-7,9" << true << 0xc0a81400u
                           << QList<int>{1, 5, 6, 7, 9};
    QTest::newRow("range and items, spaces")
        << "192.168.10.1 - 2 , 4" << true << net10 << QList<int>{1, 2, 4};
    QTest::newRow("overlapping items")
        << "192.168.10.1-3,2-4" << true << net10 << QList<int>{1, 2, 3, 4};
    QTest::newRow("whole network") << "10.0.0.0-255" << true << 0x0a000000u << [] {
        QList<int> all;
        for (int i = 0; i < 256; ++i)
            all << i;
        return all;
    }();
    QTest::newRow("empty") << "" << false << 0u << QList<int>{};
    QTest::newRow("end before start") << "192.168.10.9-3" << false << 0u << QList<int>{};
    QTest::newRow("end over 255") << "192.168.10.9-256" << false << 0u << QList<int>{};
    QTest::newRow("full end address") << "192.168.10.2-192.168.10.9" << false << 0u << QList<int>{};
    QTest::newRow("bad start") << "192.168.10-9" << false << 0u << QList<int>{};
    QTest::newRow("empty item") << "192.168.10.2,,4" << false << 0u << QList<int>{};
    QTest::newRow("item not a number") << "192.168.10.2,x" << false << 0u << QList<int>{};
}

void tst_Pools::pool()
{
    QFETCH(QString, value);
    QFETCH(bool, readable);
    QFETCH(quint32, network);
    QFETCH(QList<int>, hosts);

    const std::optional<AddressPool> pool = readPool(value);
    QCOMPARE(pool.has_value(), readable);
    if (!pool)
        return;
    QCOMPARE(pool->network, network);
    QList<int> members;
    for (int i = 0; i < AddressPool::NetworkSize; ++i) {
        if (pool->hosts.test(size_t(i)))
            members << i;
    }
    QCOMPARE(members, hosts);
}

void tst_Pools::compact_data()
{
    QTest::addColumn<QList<quint32>>("bounds"); // first, last, first, last...
    QTest::addColumn<QString>("text");

    const quint32 a = 0xc0a80a00;
    QTest::newRow("none") << QList<quint32>{} << "";
    QTest::newRow("single") << QList<quint32>{a + 32, a + 32} << "192.168.10.32";
    QTest::newRow("range and single")
        << QList<quint32>{a + 24, a + 30, a + 32, a + 32} << "192.168.10.24-30, 192.168.10.32";
}

void tst_Pools::compact()
{
    QFETCH(QList<quint32>, bounds);
    QFETCH(QString, text);

    std::vector<AddressRange> ranges;
    for (qsizetype i = 0; i < bounds.size(); i += 2)
        ranges.push_back({bounds[i], bounds[i + 1]});
    QCOMPARE(compactRanges(ranges), text);
}

void tst_Pools::references_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expanded"); // empty: not expanded
    QTest::addColumn<QString>("problem");

    // clang-format off
    QTest::newRow("none") << "10.0.0.1-9" << "10.0.0.1-9" << "";
    QTest::newRow("one, any letter case") << "$(settings\\ipbind_1)-9" << "10.0.0.1-9" << "";
    QTest::newRow("two") << "$(Settings\\IPBIND_1),$(General\\Extra)" << "10.0.0.1,7-9" << "";
    QTest::newRow("through another") << "$(General\\Start)-5" << "10.0.0.1-5" << "";
    QTest::newRow("missing key") << "$(Settings\\IPBIND_9)" << "" << "$(Settings\\IPBIND_9) names no setting";
    QTest::newRow("key of [Settings]") << "$(IPBIND_1)" << "10.0.0.1" << "";
    QTest::newRow("empty") << "$()" << "" << "$() is not a reference of the form $(Section\\Key)";
    QTest::newRow("unclosed") << "$(Settings\\IPBIND_1" << "" << "$(Settings\\IPBIND_1 is not a reference of the form $(Section\\Key)";
    QTest::newRow("itself") << "$(Settings\\Loop)" << "" << "$(Settings\\Loop) refers to itself";
    QTest::newRow("through others") << "$(Settings\\A)" << "" << "$(Settings\\A) refers to itself";
    QTest::newRow("exponential") << "$(Laughs\\L0)" << "" << "nests references too deeply or too often";
    QTest::newRow("deep") << "$(Deep\\D0)" << "" << "$(Deep\\D16) nests references too deeply or too often";
    // clang-format on
}

void tst_Pools::references()
{
    QFETCH(QString, value);
    QFETCH(QString, expanded);
    QFETCH(QString, problem);

    const QHash<QString, SettingValue> settings = {
        {"settings\\ipbind_1", {2, "10.0.0.1"}},
        {"general\\extra", {5, "7-9"}},
        {"general\\start", {6, "$(Settings\\IPBIND_1)"}},
        {"settings\\loop", {3, "$(Settings\\Loop)"}},
        {"settings\\a", {4, "$(Settings\\B)"}},
        {"settings\\b", {5, "x$(Settings\\A)"}},
    };
    // Each of L0-L7 names the next one eight times, 8^8 copies of L8 unless stopped; D0
    // to D20 each name the next once.
    QHash<QString, SettingValue> more = settings;
    for (int i = 0; i < 8; ++i)
        more.insert(QStringLiteral("laughs\\l%1").arg(i),
                    {1, QStringLiteral("$(Laughs\\L%1)").arg(i + 1).repeated(8)});
    more.insert(QStringLiteral("laughs\\l8"), {1, QStringLiteral("1234567890").repeated(100)});
    for (int i = 0; i < 20; ++i)
        more.insert(QStringLiteral("deep\\d%1").arg(i),
                    {1, QStringLiteral("$(Deep\\D%1)").arg(i + 1)});
    more.insert(QStringLiteral("deep\\d20"), {1, QStringLiteral("10.0.0.1")});
    QString found;
    QCOMPARE(expandReferences(value, more, found).value_or(QString()), expanded);
    QVERIFY2(problem.isEmpty() ? found.isEmpty() : found.endsWith(problem), qPrintable(found));
}

void tst_Pools::templateInPool_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("mayAssign");

    // The pool 192.168.17.10-20.
    // clang-format off
    QTest::newRow("macro host") << "192.168.17.%m5" << true;
    QTest::newRow("macro network") << "192.168.%ip2.15" << true;
    QTest::newRow("all macros") << "%ip0.%ip1.%ip2.%ip3" << true;
    QTest::newRow("other network") << "192.168.18.%m5" << false;
    QTest::newRow("host outside") << "192.168.%m4.30" << false;
    QTest::newRow("fixed, inside") << "192.168.17.12" << true;
    QTest::newRow("not four octets") << "192.168.%m4" << false;
    // clang-format on
}

void tst_Pools::templateInPool()
{
    QFETCH(QString, value);
    QFETCH(bool, mayAssign);
    QCOMPARE(mayAssignInto(value, readPool(u"192.168.17.10-20").value()), mayAssign);
}

QTEST_APPLESS_MAIN(tst_Pools)
#include "tst_pools.moc"
