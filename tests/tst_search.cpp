// The search of kelto-cli find: which rows match which texts.

#include "lookup.h"
#include "search.h"
#include "testsupport.h"

#include <QTest>

using namespace kelto;
using namespace kelto::test;

class tst_Search : public QObject
{
    Q_OBJECT

private slots:
    void search_data();
    void search();
};

void tst_Search::search_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("matches"); // host names in table order

    QTest::newRow("address part") << QStringList{"10.5"} << "five,fifty";
    QTest::newRow("address without alignment spaces") << QStringList{"168.1.2"} << "kiosk";
    QTest::newRow("whole address") << QStringList{"192.168.10.5"} << "five,fifty";
    QTest::newRow("host name, letter case aside") << QStringList{"NAS"} << "nas01";
    QTest::newRow("non-ASCII letter case")
        << QStringList{QString::fromUtf8("ÄRGER")} << QString::fromUtf8("ärgernis");
    QTest::newRow("MAC as written") << QStringList{"00-1A-2B"} << "five,nas01";
    QTest::newRow("MAC in colons") << QStringList{"1a:2b:33"} << "nas01";
    QTest::newRow("MAC in another case and notation") << QStringList{"b827.eb44"} << "kiosk";
    QTest::newRow("MAC bare digits across groups") << QStringList{"2b33"} << "nas01";
    QTest::newRow("any of several texts") << QStringList{"kiosk", "fifty"} << "kiosk,fifty";
    QTest::newRow("two digits are no MAC") << QStringList{"c4"} << "";
    QTest::newRow("MAC groups off its octets") << QStringList{"a2:b3"} << "";
    // With the address field three characters short, a lookup shows every field from
    // three columns on (host name "rt", MAC from its second octet): that is searched.
    QTest::newRow("MAC field shifted, its first octet") << QStringList{"01-02"} << "";
    QTest::newRow("MAC field shifted, as shown")
        << QStringList{"02-03-04-05-06"} << "rt" + QString(78, u' ') + "01";
    QTest::newRow("nothing") << QStringList{"absent"} << "";
    // The host name as a lookup shows it: 82 characters, so the 83rd is not searched.
    QTest::newRow("83rd character of a host name") << QStringList{"Z"} << "";
    QTest::newRow("82nd character of a host name") << QStringList{"Y"} << QString(81, 'l') + "Y,fifty";
}

void tst_Search::search()
{
    QFETCH(QStringList, texts);
    QFETCH(QString, matches);

    const ScanResult scan
        = scanLines(client("00-1a-2b-33-44-55", "192.168.10.21", "nas01")
                    + client("00-1A-2B-3C-4D-05", "192.168.10.5", "five")
                    + client("00-00-00-00-00-50", "192.168.10.50", "fifty")
                    + client("B8-27-EB-44-10-9A", "192.168.1.2", "kiosk")
                    + client("00-00-00-00-00-07", "10.0.0.7", QString::fromUtf8("ärgernis"))
                    + client("00-00-00-00-00-08", "10.0.0.8", QString(81, 'l') + "YZ")
                    + client("01-02-03-04-05-06", "1.2.3.", "short"));
    const HostSearch search(texts);
    QStringList found;
    for (qsizetype i = 0; i < scan.table.size(); ++i) {
        if (search.matches(scan.table.row(i)))
            found << fieldsOf(scan.table.row(i)).hostName;
    }
    QCOMPARE(found.join(u','), matches);
}

QTEST_APPLESS_MAIN(tst_Search)
#include "tst_search.moc"
