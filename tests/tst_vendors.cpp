// The vendor of a MAC from the IEEE registry's lists: the longest registered prefix,
// private and multicast MACs, every notation, and lists that cannot be read whole.

#include "testsupport.h"
#include "vendors.h"

#include <QTest>

using namespace kelto;

class tst_Vendors : public QObject
{
    Q_OBJECT

private slots:
    void vendor_data();
    void vendor();
    void badLists_data();
    void badLists();
};

namespace {

const VendorRegistry &sampleRegistry()
{
    static const VendorRegistry registry
        = VendorRegistry::readFolder(QStringLiteral(KELTO_TEST_FILES "/registry"));
    return registry;
}

} // namespace

void tst_Vendors::vendor_data()
{
    QTest::addColumn<QString>("mac");
    QTest::addColumn<QString>("vendor");

    QTest::newRow("MA-L") << "00-1a-2b-00-00-01" << "Example Devices Ltd";
    QTest::newRow("MA-M inside it") << "00-1a-2b-30-00-01" << "Nested Medium GmbH";
    QTest::newRow("MA-S inside that") << "00-1a-2b-3c-40-01" << "Nested Small SARL";
    QTest::newRow("IAB") << "00-50-c2-12-30-01" << "Individual Block Pty";
    QTest::newRow("MA-S under the registry's own MA-L") << "70-b3-d5-f1-20-00" << "Small Block AB";
    QTest::newRow("quoted name with a comma") << "0c-1d-2e-00-00-01" << "Acme Networks, Inc.";
    QTest::newRow("doubled quotes") << "5c-2b-3a-00-00-01" << "Quote \"Inside\" Corp";
    QTest::newRow("colons, capitals") << "00:1A:2B:3C:40:01" << "Nested Small SARL";
    QTest::newRow("dotted fours") << "001a.2b30.0001" << "Nested Medium GmbH";
    QTest::newRow("bare digits") << "001a2b000001" << "Example Devices Ltd";
    QTest::newRow("not registered") << "00-00-5e-00-00-01" << "";
    QTest::newRow("locally administered") << "02-1a-2b-00-00-01" << "private (randomised) address";
    QTest::newRow("randomised by a phone") << "da-a1-19-00-00-01" << "private (randomised) address";
    QTest::newRow("multicast") << "01-00-5e-00-00-fb" << "multicast address";
    QTest::newRow("empty MAC field") << "" << "";
    QTest::newRow("not hexadecimal") << "xx-yy-zz-11-22-33" << "";
}

void tst_Vendors::vendor()
{
    QFETCH(QString, mac);
    QFETCH(QString, vendor);
    QCOMPARE(sampleRegistry().vendorOf(mac), vendor);
}

void tst_Vendors::badLists_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<qsizetype>("skipped");
    QTest::addColumn<QString>("vendor"); // of 00-1a-2b-00-00-01

    const QByteArray header = "Registry,Assignment,Organization Name,Organization Address\n";
    QTest::newRow("cut in the middle of a line")
        << header + "MA-L,001A2B,Example,addr\nMA-L,00" << qsizetype(1) << "Example";
    QTest::newRow("a prefix of another registry's length")
        << header + "MA-M,001A2B,Six Digits\n" << qsizetype(1) << "";
    QTest::newRow("an unknown registry") << header + "XX-L,001A2B,Someone\n" << qsizetype(1) << "";
    QTest::newRow("no name") << header + "MA-L,001A2B,\n" << qsizetype(1) << "";
    const QString utf16 = QStringLiteral("MA-L,001A2B,\u00C9cole\n");
    QTest::newRow("UTF-16") << QByteArray("\xFF\xFE")
                                   + QByteArray(reinterpret_cast<const char *>(utf16.utf16()), utf16.size() * 2)
                            << qsizetype(0) << "\u00C9cole";
    QTest::newRow("binary") << QByteArray("\x00\x01\x02,\xFF\n", 6) << qsizetype(1) << "";
}

void tst_Vendors::badLists()
{
    QFETCH(QByteArray, list);
    QFETCH(qsizetype, skipped);
    QFETCH(QString, vendor);

    VendorRegistry registry;
    registry.readList(list, QStringLiteral("oui.csv"));
    QCOMPARE(registry.skipped().empty() ? 0 : registry.skipped().front().lines, skipped);
    QCOMPARE(registry.vendorOf(QStringLiteral("00-1a-2b-00-00-01")), vendor);
}

QTEST_APPLESS_MAIN(tst_Vendors)
#include "tst_vendors.moc"
