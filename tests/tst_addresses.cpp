// Dotted addresses, MACs in any notation, pool values and free ranges.

#include "ipv4.h"
#include "mac.h"
#include "pools.h"

#include <QTest>

using namespace kelto;

Q_DECLARE_METATYPE(kelto::AddressProblem)

class tst_Addresses : public QObject
{
    Q_OBJECT

private slots:
    void dottedAddress_data();
    void dottedAddress();
    void sameMac_data();
    void sameMac();
    void macSearch_data();
    void macSearch();
    void pool_data();
    void pool();
    void compact_data();
    void compact();
    void references_data();
    void references();
    void templateInPool_data();
    void templateInPool();
};

void tst_Addresses::dottedAddress_data()
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

void tst_Addresses::dottedAddress()
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

void tst_Addresses::sameMac_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("same");

    // clang-format off
    QTest::newRow("case") << "00-1A-2B-33-44-55" << "00-1a-2b-33-44-55" << true;
    QTest::newRow("colons") << "00-1A-2B-33-44-55" << "00:1a:2b:33:44:55" << true;
    QTest::newRow("no separator") << "00-1A-2B-33-44-55" << "001a2b334455" << true;
    QTest::newRow("dotted fours") << "001a.2b33.4455" << "00-1a-2b-33-44-55" << true;
    QTest::newRow("last digit differs") << "00-1a-2b-33-44-55" << "00-1a-2b-33-44-56" << false;
    QTest::newRow("not hex, same letters") << "xx-yy-zz-11-22-33" << "XX-YY-ZZ-11-22-33" << true;
    QTest::newRow("not hex, different") << "xx-yy-zz-11-22-33" << "xx-yy-zz-11-22-34" << false;
    QTest::newRow("not hex against hex") << "0g-1a-2b-33-44-55" << "00-1a-2b-33-44-55" << false;
    // A text that is not twelve hex digits must never take the number of one that is.
    QTest::newRow("thirteen digits") << "00-1a-2b-33-44-55-6" << "01a2b3344556" << false;
    QTest::newRow("header form, one colon") << "00-1a-2b:33-44-55" << "00-1a-2b-33-44-55" << true;
    QTest::newRow("header form, digit beyond ASCII")
        << QStringView(u"00-1a-2b-33-44-5\u0665").toString() << "00-1a-2b-33-44-55" << false;
    QTest::newRow("header form, ASCII digit plus 0x80")
        << QStringView(u"00-1a-2b-33-44-5\u00b5").toString() << "00-1a-2b-33-44-55" << false;
    QTest::newRow("non-ASCII letters fold")
        << QString::fromUtf8("ÄÖ-11-22-33-44-55") << QString::fromUtf8("äö-11-22-33-44-55") << true;
    // clang-format on
}

void tst_Addresses::sameMac()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, same);

    MacKeys keys;
    const quint64 keyA = keys.keyOf(a);
    QCOMPARE(keys.keyOf(b) == keyA, same);
    QCOMPARE(keys.keyOf(a), keyA); // a MAC seen again keeps its number
}

void tst_Addresses::macSearch_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("mac"); // a MAC field
    QTest::addColumn<bool>("found");

    const QString m = QStringLiteral("00-1a-2b-3c-4d-5e");
    // clang-format off
    QTest::newRow("whole MAC, other case") << "00-1A-2B-3C-4D-5E" << m << true;
    QTest::newRow("colons on octets") << "1a:2b" << m << true;
    QTest::newRow("colons off octets") << "a2:b3" << m << false;
    QTest::newRow("one-digit ends: low, then high digit") << "a:2b:3" << m << true;
    QTest::newRow("one-digit last group, whole octet") << "1a:2b:c" << "00-1a-2b-0c-4d-5e" << true;
    QTest::newRow("one-digit inner group") << "1a:b:3c" << "00-1a-0b-3c-4d-5e" << true;
    QTest::newRow("six one-digit groups") << "a:b:c:d:e:f" << "0a-0b-0c-0d-0e-0f" << true;
    QTest::newRow("seven groups") << "c-61-76-1b-28-d5-3" << "c6-17-61-b2-8d-53" << false;
    QTest::newRow("bare, even offset") << "001a2b" << m << true;
    QTest::newRow("bare, odd offset") << "a2b3c4" << m << false;
    QTest::newRow("dotted on fours") << "2b3c.4d5e" << m << true;
    QTest::newRow("dotted off fours") << "1a2b.3c4d" << m << false;
    QTest::newRow("dotted, partial first group") << "a.2b3c" << m << true;
    QTest::newRow("in a dotted MAC") << "1a:2b:3c" << "001a.2b3c.4d5e" << true;
    QTest::newRow("field holding no MAC") << "1a:2b" << "11-22-33-44-55" << false;
    QTest::newRow("three digits: no MAC") << "a:2b" << m << false;
    QTest::newRow("address part") << "10.5" << "00-00-00-00-10-05" << false;
    QTest::newRow("address pairs") << "10.20" << "00-00-00-00-10-20" << false;
    QTest::newRow("group of three") << "1a:2b3:44" << m << false;
    QTest::newRow("mixed separators") << "1a:2b-3c" << m << false;
    QTest::newRow("empty group") << "1a::2b" << m << false;
    QTest::newRow("thirteen digits") << "001a2b3c4d5e6" << m << false;
    // clang-format on
}

void tst_Addresses::macSearch()
{
    QFETCH(QString, text);
    QFETCH(QString, mac);
    QFETCH(bool, found);

    const std::optional<MacSearch> search = MacSearch::of(text);
    QCOMPARE(search && search->isFoundIn(mac), found);
}

void tst_Addresses::pool_data()
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

void tst_Addresses::pool()
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

void tst_Addresses::compact_data()
{
    QTest::addColumn<QList<quint32>>("bounds"); // first, last, first, last...
    QTest::addColumn<QString>("text");

    const quint32 a = 0xc0a80a00;
    QTest::newRow("none") << QList<quint32>{} << "";
    QTest::newRow("single") << QList<quint32>{a + 32, a + 32} << "192.168.10.32";
    QTest::newRow("range and single")
        << QList<quint32>{a + 24, a + 30, a + 32, a + 32} << "192.168.10.24-30, 192.168.10.32";
}

void tst_Addresses::compact()
{
    QFETCH(QList<quint32>, bounds);
    QFETCH(QString, text);

    std::vector<AddressRange> ranges;
    for (qsizetype i = 0; i < bounds.size(); i += 2)
        ranges.push_back({bounds[i], bounds[i + 1]});
    QCOMPARE(compactRanges(ranges), text);
}

void tst_Addresses::references_data()
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

void tst_Addresses::references()
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

void tst_Addresses::templateInPool_data()
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

void tst_Addresses::templateInPool()
{
    QFETCH(QString, value);
    QFETCH(bool, mayAssign);
    QCOMPARE(mayAssignInto(value, readPool(u"192.168.17.10-20").value()), mayAssign);
}

QTEST_APPLESS_MAIN(tst_Addresses)
#include "tst_addresses.moc"
