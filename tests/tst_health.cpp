// What check and free make of a scanned file: the facts read besides the table, the
// findings and the free addresses of the pools.

#include "health.h"
#include "lookup.h"
#include "pools.h"
#include "testsupport.h"

#include <QTest>


using namespace kelto;
using namespace kelto::test;

namespace {

QString hostNames(const HostTable &table, const RowList &rows)
{
    QStringList names;
    for (const qsizetype i : rows)
        names << fieldsOf(table.row(i)).hostName;
    return names.join(u',');
}

// The findings in a short form, one string each, in report order.
QStringList describeFindings(const ScanResult &scan, const HealthReport &report)
{
    QStringList found;
    for (const RowList &rows : report.sharedAddresses)
        found << "address " + fieldsOf(scan.table.row(rows.front())).address + ": "
                     + hostNames(scan.table, rows);
    for (const SharedMac &mac : report.sharedMacs) {
        QStringList lines;
        for (const qsizetype line : mac.headerLines)
            lines << QString::number(line);
        found << "MAC " + scan.facts.macKeys.textOf(mac.mac) + " lines " + lines.join(u',') + ": "
                     + hostNames(scan.table, mac.rows);
    }
    for (const RowList &rows : report.sharedHostNames)
        found << "name: " + hostNames(scan.table, rows);
    for (const AddressLineProblem &problem : report.addressProblems)
        found << QStringLiteral("line %1: \"%2\"%3 %4")
                     .arg(problem.line)
                     .arg(problem.value, problem.keyStartsLine ? "" : " (key not at start)",
                          describe(problem.problem));
    return found;
}

const QString MacA = QStringLiteral("00-11-22-33-44-55");
const QString MacB = QStringLiteral("aa-bb-cc-dd-ee-ff");
const QString MacC = QStringLiteral("00-00-00-00-00-01");

} // namespace

class tst_Health : public QObject
{
    Q_OBJECT

private slots:
    void pools_data();
    void pools();
    void findings_data();
    void findings();
    void failedScanHasNoMarks();
    void freeAddresses_data();
    void freeAddresses();
};

void tst_Health::pools_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("pools"); // line:name=value

    QTest::newRow("server's own") << QStringList{"[SETTINGS]", "IPPOOL_1=192.168.1.2-49",
                                                 "IPPOOL_2=192.168.2.1,5-10", "IPBIND_1=1.2.3.4"}
                                  << QStringList{"2:IPPOOL_1=192.168.1.2-49",
                                                 "3:IPPOOL_2=192.168.2.1,5-10"};
    QTest::newRow("any letter case, spaces, comment")
        << QStringList{"[settings]", " ippool_12 = 10.0.0.1-9 ; lab"}
        << QStringList{"2:ippool_12=10.0.0.1-9"};
    QTest::newRow("other sections ignored")
        << QStringList{"[GENERAL]",  "IPPOOL_1=10.0.0.1", "[SETTINGS-OLD]", "IPPOOL_2=10.0.0.2",
                       "[SETTINGS]", "IPPOOL_3=10.0.0.3", "[DNS-SETTINGS]", "IPPOOL_4=10.0.0.4"}
        << QStringList{"6:IPPOOL_3=10.0.0.3"};
    QTest::newRow("not pool keys")
        << QStringList{"[SETTINGS]", "IPPOOL_=1", "IPPOOL_A=1", "IPPOOL_1", "XIPPOOL_1=1"}
        << QStringList{};
    QTest::newRow("client section ends settings")
        << QStringList{"[SETTINGS]", "[00-11-22-33-44-55]", "IPPOOL_1=10.0.0.1"} << QStringList{};
    QTest::newRow("after the end of the client part")
        << QStringList{"[00-11-22-33-44-55]", "IPADDR=10.0.0.5", "Hostname=a",
                       "[HTTP-SETTINGS]",     "[SETTINGS]",      "IPPOOL_1=10.0.0.1-9"}
        << QStringList{"6:IPPOOL_1=10.0.0.1-9"};
}

void tst_Health::pools()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, pools);

    const ScanResult scan = scanLines(lines);
    QVERIFY(scan.isComplete());
    QStringList found;
    for (const PoolSetting &pool : scan.facts.pools)
        found << QStringLiteral("%1:%2=%3").arg(pool.line).arg(pool.name, pool.value);
    QCOMPARE(found, pools);
}

void tst_Health::findings_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("findings");

    QTest::newRow("all well") << client(MacA, "192.168.1.5", "alpha")
                                     + client(MacB, "192.168.1.50", "beta")
                              << QStringList{};
    QTest::newRow("address held three times")
        << client(MacA, "192.168.1.5", "gamma") + client(MacB, "192.168.1.5", "alpha")
               + client(MacC, "192.168.1.5", "beta")
        << QStringList{"address 192.168.1.5: alpha,beta,gamma"};
    QTest::newRow("two shared addresses")
        << client(MacA, "10.0.0.1", "a") + client(MacB, "10.0.0.1", "b")
               + client(MacC, "10.0.0.2", "c") + client("00-00-00-00-00-02", "10.0.0.2", "d")
        << QStringList{"address 10.0.0.1: a,b", "address 10.0.0.2: c,d"};
    QTest::newRow("MAC in two letter cases")
        << client(MacB, "10.0.0.1", "a") + client(MacC, "10.0.0.2", "x")
               + client(MacB.toUpper(), "10.0.0.3", "b")
        << QStringList{"MAC aa-bb-cc-dd-ee-ff lines 1,7: a,b"};
    QTest::newRow("MAC sections without addresses")
        << QStringList{'[' + MacA + ']', "Comment=old", '[' + MacA + ']'}
        << QStringList{"MAC 00-11-22-33-44-55 lines 1,3: "};
    QTest::newRow("MAC of no hex digits") << client("xx-yy-zz-11-22-33", "10.0.0.1", "a")
                                                 + client("XX-YY-ZZ-11-22-33", "10.0.0.2", "b")
                                          << QStringList{"MAC xxyyzz112233 lines 1,4: a,b"};
    QTest::newRow("host name on two MACs, letter case aside")
        << client(MacA, "10.0.0.1", "Files") + client(MacB, "10.0.0.2", "files")
               + client(MacC, "10.0.0.3", "other")
        << QStringList{"name: Files,files"};
    QTest::newRow("non-ASCII host name on two MACs")
        << client(MacA, "10.0.0.1", QString::fromUtf8("ÄRGER"))
               + client(MacB, "10.0.0.2", QString::fromUtf8("ärger"))
        << QStringList{QString::fromUtf8("name: ÄRGER,ärger")};
    QTest::newRow("host name twice on one MAC")
        << client(MacA, "10.0.0.1", "same") + client(MacA, "10.0.0.2", "same")
        << QStringList{"MAC 00-11-22-33-44-55 lines 1,4: same,same"};
    QTest::newRow("host name on one MAC and a row without MAC")
        << client(MacA, "10.0.0.1", "solo") + QStringList{"IPADDR=10.0.0.2", "Hostname=solo"}
        << QStringList{};
    QTest::newRow("rows without host names")
        << QStringList{'[' + MacA + ']', "IPADDR=10.0.0.1", '[' + MacB + ']', "IPADDR=10.0.0.2",
                       '[' + MacC + ']', "IPADDR=10.0.0.3", "Hostname=c"}
        << QStringList{};
    QTest::newRow("address values")
        << QStringList{"IPADDR=192.168.1.300",    "IPADDR=",
                       "  IPADDR=10.0.0.1",       ";IPADDR=1.2.3",
                       "IPADDR=10.0.0.9;x",       "IPADDR=10.20.30.40 ; x",
                       "IPADDR=192.168.100.200x", "IPADDR= 10.0.0.1",
                       "IPADDR=10.0.0.01",        "IPADDR=dhcp"}
        << QStringList{"line 1: \"192.168.1.300\" an octet is over 255",
                       "line 2: \"\" the value is empty",
                       "line 3: \"R=10.0.0.1\" (key not at start) an octet is not a decimal number",
                       "line 7: \"192.168.100.200x\" an octet is not a decimal number",
                       "line 8: \" 10.0.0.1\" an octet is not a decimal number",
                       "line 9: \"10.0.0.01\" an octet has a leading zero",
                       "line 10: \"dhcp\" it does not have four octets"};
}

void tst_Health::findings()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, findings);

    ScanResult scan = scanLines(lines);
    QVERIFY(scan.isComplete());
    const HealthReport report = checkHealth(scan.table, scan.facts);
    QCOMPARE(describeFindings(scan, report).join(u'\n'), findings.join(u'\n'));
    QCOMPARE(report.isEmpty(), findings.isEmpty());
}

void tst_Health::failedScanHasNoMarks()
{
    // check relies on the repeated rows, which only a complete scan marks.
    ScanResult scan = scanLines(client(MacA, "10.0.0.1", "a") + client(MacB, "10.0.0.1", "b")
                                + QStringList{"IPADDR=10.0.1"});
    QVERIFY(!scan.isComplete());
    QVERIFY(sharedAddresses(scan.table).empty());
}

void tst_Health::freeAddresses_data()
{
    QTest::addColumn<QStringList>("addresses"); // of the rows
    QTest::addColumn<QStringList>("pools");
    QTest::addColumn<QStringList>("free");

    QTest::newRow("nothing held") << QStringList{} << QStringList{"192.168.10.2-5"}
                                  << QStringList{"192.168.10.2-5"};
    QTest::newRow("gaps") << QStringList{"192.168.10.24", "192.168.10.31", "192.168.10.33"}
                          << QStringList{"192.168.10.24-33"}
                          << QStringList{"192.168.10.25-30, 192.168.10.32"};
    QTest::newRow("all held") << QStringList{"10.0.0.1", "10.0.0.2"} << QStringList{"10.0.0.1-2"}
                              << QStringList{""};
    QTest::newRow("other network")
        << QStringList{"10.0.1.1"} << QStringList{"10.0.0.1-2"} << QStringList{"10.0.0.1-2"};
    QTest::newRow("leading zero still holds")
        << QStringList{"10.0.0.001"} << QStringList{"10.0.0.1-2"} << QStringList{"10.0.0.2"};
    QTest::newRow("value that is no address holds nothing")
        << QStringList{"10.0.0.1x", "10.0.0.300"} << QStringList{"10.0.0.1-2"}
        << QStringList{"10.0.0.1-2"};
    // The lookup shows columns 1-15 of " 10.··0.··0.1000": 10.0.0.100.
    QTest::newRow("address as the lookup shows it")
        << QStringList{"10.0.0.1000"} << QStringList{"10.0.0.99-100"} << QStringList{"10.0.0.99"};
    QTest::newRow("two pools, one network")
        << QStringList{"10.0.0.5"} << QStringList{"10.0.0.1-5", "10.0.0.5,7"}
        << QStringList{"10.0.0.1-4", "10.0.0.7"};
    QTest::newRow("item list") << QStringList{"192.168.20.6"} << QStringList{"192.168.20.1,5-7"}
                               << QStringList{"192.168.20.1, 192.168.20.5, 192.168.20.7"};
}

void tst_Health::freeAddresses()
{
    QFETCH(QStringList, addresses);
    QFETCH(QStringList, pools);
    QFETCH(QStringList, free);

    QStringList lines;
    for (const QString &address : addresses)
        lines << "IPADDR=" + address << "Hostname=h";
    const ScanResult scan = scanLines(lines);
    QVERIFY(scan.isComplete());
    std::vector<AddressPool> read;
    for (const QString &pool : pools)
        read.push_back(readPool(pool).value());
    QStringList found;
    for (const std::vector<AddressRange> &ranges : kelto::freeAddresses(read, scan.table))
        found << compactRanges(ranges);
    QCOMPARE(found, free);
}

QTEST_APPLESS_MAIN(tst_Health)
#include "tst_health.moc"
