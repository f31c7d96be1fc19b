#include "lookup.h"
#include "testsupport.h"

#include <QTest>

using namespace kelto;
using namespace kelto::test;

class tst_Lookup : public QObject
{
    Q_OBJECT

private slots:
    void alignment_data();
    void alignment();
    void lookup_data();
    void lookup();
};

void tst_Lookup::alignment_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("aligned");

    // One row per case, as in a table.
    // clang-format off
    QTest::newRow("one") << "7" << "··7";
    QTest::newRow("two") << "12" << "·12";
    QTest::newRow("leading zero") << "07" << "·07";
    QTest::newRow("space of its own") << "·7" << "··7";
    QTest::newRow("three") << "007" << "007";
    QTest::newRow("four") << "1234" << "1234";
    QTest::newRow("a character outside the BMP is one") << "\U0001F600" << "··\U0001F600";
    QTest::newRow("two outside the BMP are two") << "\U0001F600\U0001F600" << "·\U0001F600\U0001F600";
    // clang-format on
}

void tst_Lookup::alignment()
{
    QFETCH(QString, typed);
    QFETCH(QString, aligned);
    QCOMPARE(alignHostNumber(spaces(typed)), spaces(aligned));
}

void tst_Lookup::lookup_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("mac");

    // 07, a number with its own space, four characters and nothing are typed in the
    // window's tests; here, what only a crafted table shows. One row per case.
    // clang-format off
    QTest::newRow("host 7, first in table order") << "7" << "10.0.0.7" << "ten" << "00-00-00-00-00-10";
    QTest::newRow("007 finds only 007") << "007" << "192.168.1.007" << "zeros" << "";
    QTest::newRow("no MAC field") << "9" << "192.168.1.9" << "nomac" << "";
    QTest::newRow("long host name shown with 82") << "50" << "192.168.1.50" << QString(82, 'L') << "00-00-00-00-00-50";
    QTest::newRow("letters compare by case") << "ABC" << "ABC" << "" << "";
    // clang-format on
}

void tst_Lookup::lookup()
{
    QFETCH(QString, typed);
    QFETCH(QString, result);
    QFETCH(QString, host);
    QFETCH(QString, mac);

    HostTable table = tableOf({{spaces("192.168.··1.··7"), "seven", "00-00-00-00-00-07"},
                               {spaces("·10.··0.··0.··7"), "ten", "00-00-00-00-00-10"},
                               {spaces("192.168.··1.007"), "zeros", {}},
                               {spaces("192.168.··1.··9"), "nomac", {}},
                               {spaces("192.168.··1.·50"), QString(83, 'L') + "cut", "00-00-00-00-00-50"},
                               {spaces("192.168.··1.abc"), "lower", {}}});
    table.sort();

    const LookupResult found = kelto::lookup(table, alignHostNumber(spaces(typed)));
    QCOMPARE(found.shown.address, spaces(result));
    QCOMPARE(found.shown.hostName, host);
    QCOMPARE(found.shown.mac, mac);
    QCOMPARE(found.row >= 0, !host.isEmpty());
}

QTEST_APPLESS_MAIN(tst_Lookup)
#include "tst_lookup.moc"
