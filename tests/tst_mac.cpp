// MACs in any notation: which are the same, and what a typed part of one matches.

#include "mac.h"

#include <QTest>

using namespace kelto;

class tst_Mac : public QObject
{
    Q_OBJECT

private slots:
    void sameMac_data();
    void sameMac();
    void macSearch_data();
    void macSearch();
};

void tst_Mac::sameMac_data()
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

void tst_Mac::sameMac()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, same);

    MacKeys keys;
    const quint64 keyA = keys.keyOf(a);
    QCOMPARE(keys.keyOf(b) == keyA, same);
    QCOMPARE(keys.keyOf(a), keyA); // a MAC seen again keeps its number
}

void tst_Mac::macSearch_data()
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

void tst_Mac::macSearch()
{
    QFETCH(QString, text);
    QFETCH(QString, mac);
    QFETCH(bool, found);

    const std::optional<MacSearch> search = MacSearch::of(text);
    QCOMPARE(search && search->isFoundIn(mac), found);
}

QTEST_APPLESS_MAIN(tst_Mac)
#include "tst_mac.moc"
