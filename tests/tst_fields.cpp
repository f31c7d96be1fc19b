#include "fields.h"
#include "hostrow.h"
#include "testsupport.h"

#include <QTest>

using namespace kelto;
using kelto::test::spaces;

class tst_Fields : public QObject
{
    Q_OBJECT

private slots:
    void macHeader_data();
    void macHeader();
    void address_data();
    void address();
    void octet_data();
    void octet();
};

void tst_Fields::macHeader_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("mac"); // empty: not a header, the current MAC is kept

    QTest::newRow("plain") << "[00-11-22-33-44-55]"
                           << "00-11-22-33-44-55";
    QTest::newRow("text after bracket") << "[aa-bb-cc-dd-ee-ff]·;·note"
                                        << "aa-bb-cc-dd-ee-ff";
    QTest::newRow("letters not examined") << "[xx-yy-zz-11-22-33]"
                                          << "xx-yy-zz-11-22-33";
    QTest::newRow("case kept") << "[00-1a-2B-33-44-55]"
                               << "00-1a-2B-33-44-55";
    QTest::newRow("indented") << "·[00-11-22-33-44-55]"
                              << "";
    QTest::newRow("colons") << "[00:11:22:33:44:55]"
                            << "";
    QTest::newRow("short group") << "[0-11-22-33-44-55]"
                                 << "";
    QTest::newRow("no closing bracket") << "[00-11-22-33-44-55"
                                        << "";
    QTest::newRow("settings section") << "[HTTP-SETTINGS]"
                                      << "";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_Fields::macHeader()
{
    QFETCH(QString, line);
    QFETCH(QString, mac);

    QString currentMac = QStringLiteral("previous");
    const bool isHeader = MyMacAddr(spaces(line), currentMac);
    QCOMPARE(isHeader, !mac.isEmpty());
    QCOMPARE(currentMac, mac.isEmpty() ? QStringLiteral("previous") : mac);
}

void tst_Fields::address_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("address");

    // One row per case, as in a table.
    // clang-format off
    QTest::newRow("short octets") << "IPADDR=192.168.1.5" << true << "192.168.··1.··5";
    QTest::newRow("two-digit first") << "IPADDR=10.0.0.1" << true << "·10.··0.··0.··1";
    QTest::newRow("three-digit last") << "IPADDR=192.168.1.200" << true << "192.168.··1.200";
    QTest::newRow("comment") << "IPADDR=192.168.1.15;comment" << true << "192.168.··1.·15";
    QTest::newRow("fills window") << "IPADDR=192.168.100.200" << true << "192.168.100.200";
    QTest::newRow("fills window, comment") << "IPADDR=192.168.100.200;x" << true << "192.168.100.200";
    QTest::newRow("spaced comment") << "IPADDR=10.20.30.40·;·x" << true << "·10.·20.·30.·40";
    QTest::newRow("empty value") << "IPADDR=" << true << "";
    QTest::newRow("no dots") << "IPADDR=dhcp" << true << "dhcp";
    QTest::newRow("long octet") << "IPADDR=1.2.3.4567" << true << "··1.··2.··3.4567";
    QTest::newRow("empty octet") << "IPADDR=10..0.1" << true << "·10..··0.··1";
    QTest::newRow("key indented") << "··IPADDR=192.168.1.5" << true << "R=192.168.··1.··5";
    QTest::newRow("four dots") << "IPADDR=1.2.3.4.5" << true << "··1.··2.··3.4.5";
    QTest::newRow("only semicolons") << "IPADDR=;;;" << true << "";
    QTest::newRow("one dot") << "IPADDR=192.168" << false << "";
    QTest::newRow("two dots") << "IPADDR=192.168.1" << false << "";
    QTest::newRow("window without dot or space") << "IPADDR=1234567890123456.1.2.3" << true << "";
    // clang-format on
}

void tst_Fields::address()
{
    QFETCH(QString, line);
    QFETCH(bool, ok);
    QFETCH(QString, address);

    QString field;
    QCOMPARE(MyIPAddr(spaces(line), field), ok);
    if (ok)
        QCOMPARE(field, spaces(address));
}

void tst_Fields::octet_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("aligned");

    // One row per case, as in a table.
    // clang-format off
    QTest::newRow("empty") << "" << "";
    QTest::newRow("lone dot") << "." << ".";
    QTest::newRow("one digit") << "1." << "··1.";
    QTest::newRow("two digits") << "16." << "·16.";
    QTest::newRow("three digits") << "192." << "192.";
    QTest::newRow("last with space") << "5·" << "··5·";
    QTest::newRow("five") << "4567·" << "4567·";
    // clang-format on
}

void tst_Fields::octet()
{
    QFETCH(QString, group);
    QFETCH(QString, aligned);
    QCOMPARE(MyOctet(spaces(group)), spaces(aligned));
}

QTEST_APPLESS_MAIN(tst_Fields)
#include "tst_fields.moc"
