// Dotted addresses as the server reads them, and what is wrong with those it cannot.

#include "ipv4.h"

#include <QTest>

using namespace kelto;

Q_DECLARE_METATYPE(kelto::AddressProblem)

class tst_Ipv4 : public QObject
{
    Q_OBJECT

private slots:
    void dottedAddress_data();
    void dottedAddress();
};

void tst_Ipv4::dottedAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<AddressProblem>("problem");
    QTest::addColumn<quint32>("value");

    const auto none = AddressProblem::None;
    QTest::newRow("plain") << "192.168.10.5" << none << 0xc0a80a05u;
    QTest::newRow("all zero") << "0.0.0.0" << none << 0u;
    QTest::newRow("all 255") << "255.255.255.255" << none << 0xffffffffu;
    QTest::newRow("empty") << "" << AddressProblem::Empty << 0u;
    QTest::newRow("three octets") << "192.168.10" << AddressProblem::NotFourOctets << 0u;
    QTest::newRow("five octets") << "1.2.3.4.5" << AddressProblem::NotFourOctets << 0u;
    QTest::newRow("256") << "192.168.10.256" << AddressProblem::OctetOver255 << 0u;
    QTest::newRow("many digits") << "192.168.10.1000000000000000000005"
                                 << AddressProblem::OctetOver255 << 0u;
    QTest::newRow("leading zero") << "192.168.010.5" << AddressProblem::LeadingZero << 0xc0a80a05u;
    QTest::newRow("empty octet") << "10..0.1" << AddressProblem::NotDecimal << 0u;
    QTest::newRow("trailing dot") << "10.0.0.1." << AddressProblem::NotFourOctets << 0u;
    QTest::newRow("word") << "dhcp" << AddressProblem::NotFourOctets << 0u;
    QTest::newRow("letters") << "10.0.0.x" << AddressProblem::NotDecimal << 0u;
    QTest::newRow("space inside") << "10.0.0. 1" << AddressProblem::NotDecimal << 0u;
    QTest::newRow("sign") << "10.0.0.+1" << AddressProblem::NotDecimal << 0u;
    QTest::newRow("Arabic-Indic digit")
        << QString::fromUtf8("10.0.0.\u0661") << AddressProblem::NotDecimal << 0u;
}

void tst_Ipv4::dottedAddress()
{
    QFETCH(QString, text);
    QFETCH(AddressProblem, problem);
    QFETCH(quint32, value);

    const DottedAddress read = readDottedAddress(text);
    QCOMPARE(read.problem, problem);
    if (read.hasValue()) {
        QCOMPARE(read.value, value);
        QCOMPARE(kelto::dottedAddress(read.value),
                 problem == AddressProblem::None ? text : QStringLiteral("192.168.10.5"));
    }
    QCOMPARE(describe(problem).isEmpty(), problem == AddressProblem::None);
}

QTEST_APPLESS_MAIN(tst_Ipv4)
#include "tst_ipv4.moc"
