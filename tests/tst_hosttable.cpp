#include "hosttable.h"
#include "testsupport.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <clocale>

using namespace kelto;
using namespace kelto::test;

namespace {

int sign(int value)
{
    return (value > 0) - (value < 0);
}

// Fields of every shape a row can have: address fields of other lengths than 15,
// host names with letters, spaces, non-ASCII and lengths past the cut, MAC or none.
struct RandomFields
{
    QString address, hostName, mac;
};

RandomFields randomFields(QRandomGenerator &random)
{
    static const QString alphabet = QStringLiteral(" .-0189ABab;\u00E9\u20AC");
    auto text = [&](int length) {
        QString s;
        for (int i = 0; i < length; ++i)
            s += alphabet[random.bounded(int(alphabet.size()))];
        return s;
    };
    const int octet = random.bounded(4);
    QString address = random.bounded(4) == 0
                          ? text(random.bounded(1, 20))
                          : QStringLiteral("192.168.··%1.··%2").arg(octet).arg(random.bounded(3));
    return {spaces(address),
            text(random.bounded(3) == 0 ? random.bounded(80, 90) : random.bounded(6)),
            random.bounded(3) == 0 ? QString()
                                   : QStringLiteral("00-11-22-33-44-5") + QString::number(octet)};
}

} // namespace

class tst_HostTable : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void rowViewMatchesText();
    void sortEqualsSortedInsertion();
    void orderIgnoresLocale();
};

void tst_HostTable::initTestCase()
{
    // Under a non-C locale (CTest runs this file under en_US.UTF-8 too), make sure the
    // locale is really in effect, or the ordering test below would prove nothing.
    std::setlocale(LC_ALL, "");
    if (qEnvironmentVariable("LC_ALL") == QLatin1StringView("en_US.UTF-8"))
        QVERIFY2(QString::localeAwareCompare(u"ab", u"Ab") < 0,
                 "en_US.UTF-8 is not installed or not in effect");
}

void tst_HostTable::rowViewMatchesText()
{
    QRandomGenerator random(20261207);
    for (int i = 0; i < 2000; ++i) {
        const RandomFields a = randomFields(random);
        const RandomFields b = randomFields(random);
        const HostRow rowA(a.address, a.hostName, a.mac);
        const HostRow rowB(b.address, b.hostName, b.mac);
        const QString textA = composeRow(a.address, a.hostName, a.mac);
        const QString textB = composeRow(b.address, b.hostName, b.mac);

        QCOMPARE(rowA.size(), textA.size());
        QCOMPARE(sign(rowA.compare(rowB)), sign(textA.compare(textB)));
        QCOMPARE(sign(rowA.compare(rowB, AddressFieldWidth)),
                 sign(textA.left(AddressFieldWidth).compare(textB.left(AddressFieldWidth))));
        QCOMPARE(rowA.compare(rowA), 0);

        const qsizetype position = random.bounded(int(textA.size()) + 3);
        const qsizetype length = random.bounded(-1, 30);
        QCOMPARE(rowA.mid(position, length), textA.mid(position, length));
        QVERIFY(rowA.equalsAt(position, QStringView(textA).mid(position, 3)));
        const QStringView other = QStringView(textB).mid(position, 3);
        QCOMPARE(rowA.equalsAt(position, other), textA.mid(position, other.size()) == other);
    }
}

void tst_HostTable::sortEqualsSortedInsertion()
{
    // More rows than a 16-bit count could hold, in random order, many addresses repeated.
    QRandomGenerator random(7);
    HostTable table;
    QStringList expected;
    for (int i = 0; i < 40000; ++i) {
        const RandomFields f = randomFields(random);
        table.append(f.address, f.hostName, f.mac);
        expected << composeRow(f.address, f.hostName, f.mac);
    }
    table.sort();
    table.markRepeatedAddresses();
    std::sort(expected.begin(), expected.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseSensitive) < 0;
    });

    QCOMPARE(table.size(), 40000);
    int repeated = 0;
    for (qsizetype i = 0; i < table.size(); ++i) {
        QCOMPARE(table.rowText(i), expected[i]);
        const bool repeats
            = i > 0
              && expected[i].left(AddressFieldWidth) == expected[i - 1].left(AddressFieldWidth);
        QCOMPARE(table.isRepeated(i), repeats);
        repeated += repeats;
    }
    QVERIFY(repeated > 1000);
}

void tst_HostTable::orderIgnoresLocale()
{
    // Ordinal order puts capitals before small letters and "R=" before "dhcp"; a
    // locale-aware order would not.
    HostTable table;
    table.append(u"dhcp", u"x", {});
    table.append(spaces("R=192.168.··1.··9"), u"x", {});
    table.append(spaces("192.168.··1.··5"), u"ab", {});
    table.append(spaces("192.168.··1.··5"), u"Ab", {});
    table.append(spaces("192.168.··1.··5"), u"_b", {});
    table.sort();
    table.markRepeatedAddresses();
    QCOMPARE(listed(table),
             (QStringList{"  " + row("192.168.··1.··5", "Ab"), "* " + row("192.168.··1.··5", "_b"),
                          "* " + row("192.168.··1.··5", "ab"), "  " + row("R=192.168.··1.··9", "x"),
                          "  " + row("dhcp", "x")}));
}

QTEST_APPLESS_MAIN(tst_HostTable)
#include "tst_hosttable.moc"
