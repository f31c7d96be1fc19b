#include "hosttable.h"
#include "reference.h"
#include "scan.h"
#include "testsupport.h"

#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTest>

#include <clocale>

using namespace kelto;
using namespace kelto::test;

namespace {

// Generated configuration files with everything the rows of a table depend on: MAC
// headers and headers that almost are, address values of every shape (aligned or not,
// letters, ";", non-ASCII and characters outside the BMP), host names of any length,
// keys in other places and cases, HTTP settings, and every kind of line end.
class FileGenerator
{
public:
    // `windows1252`: only characters that Windows-1252 has. `scansWhole`: no address value
    // that stops the scan.
    FileGenerator(quint32 seed, bool windows1252, bool scansWhole = false)
        : m_random(seed), m_windows1252(windows1252), m_scansWhole(scansWhole)
    {
    }

    QString file(int clients)
    {
        QString text;
        for (int i = 0; i < clients; ++i) {
            if (chance(6))
                text += pick({"[SETTINGS]", "[HTTP-SETTINGS]", "DEFAULTIPADDR=1.2.3.4", "Port=80",
                              "[00-11-22-33-44]", "  IPADDR=9.9.9.9", "xIPADDR=1.1.1.1"})
                        + lineEnd();
            if (!chance(8))
                text += macHeader() + lineEnd();
            if (!chance(10))
                text += pick({"IPADDR=", "IPADDR=", "IPADDR=", " IPADDR=", "ipaddr="}) + address() + lineEnd();
            if (!chance(8))
                text += pick({"Hostname=", "HOSTNAME=", "hostname=", "AutoHostname="}) + name() + lineEnd();
        }
        return text;
    }

private:
    bool chance(int oneIn) { return m_random.bounded(oneIn) == 0; }
    QString pick(std::initializer_list<const char *> choices)
    {
        return QString::fromUtf8(choices.begin()[m_random.bounded(int(choices.size()))]);
    }
    QString lineEnd() { return pick({"\r\n", "\r\n", "\n", "\r"}); }
    QString character()
    {
        static const QString ascii = QStringLiteral("0123456789abcXYZ-_ ;.");
        static const QString latin = QStringLiteral("\u00e9\u00c9\u20ac\u00ff\u0152");
        if (!chance(6))
            return ascii[m_random.bounded(int(ascii.size()))];
        if (m_windows1252 || chance(2))
            return latin[m_random.bounded(int(latin.size()))];
        return pick({"\U0001F600", "\U00010348", "\uFFFD", "\uE000"});
    }
    QString text(int length)
    {
        QString s;
        for (int i = 0; i < length; ++i)
            s += character();
        return s;
    }
    QString octet() { return QString::number(m_random.bounded(chance(4) ? 1000 : 3)); }
    QString macHeader()
    {
        QString mac = QStringLiteral("00-11-22-33-44-5%1").arg(m_random.bounded(4));
        if (chance(5)) { // any character in place of one: the header still has 19
            const int at = int(m_random.bounded(17));
            mac = mac.left(at) + character() + mac.mid(at + 1);
        }
        return u'[' + mac + u']' + (chance(4) ? text(3) : QString());
    }
    QString address()
    {
        if (chance(40)) { // may hold one or two dots: stops the scan
            QString value = text(m_random.bounded(25));
            return m_scansWhole ? value.replace(u'.', u'_') : value;
        }
        // Few addresses, so that many rows share one and are ordered by the rest.
        QString value = (chance(3) ? octet() + u'.' + octet() : QStringLiteral("10.0")) + u'.'
                        + octet() + u'.' + octet();
        if (chance(4))
            value += pick({";comment", " x", ";", "   "}) + text(3);
        return value;
    }
    QString name()
    {
        return text(chance(4) ? m_random.bounded(75, 100) : m_random.bounded(12));
    }

    QRandomGenerator m_random;
    bool m_windows1252;
    bool m_scansWhole;
};

QByteArray encoded(const QString &text, const QString &encoding)
{
    if (encoding == u"windows-1252") {
        QByteArray bytes;
        for (const QChar c : text) {
            uchar byte = uchar(c.unicode());
            for (int b = 0x80; b < 0xA0; ++b) {
                if (windows1252CodePoint(uchar(b)) == c.unicode())
                    byte = uchar(b);
            }
            bytes += char(byte);
        }
        return bytes;
    }
    const auto which = encoding == u"UTF-16LE"   ? QStringConverter::Utf16LE
                       : encoding == u"UTF-16BE" ? QStringConverter::Utf16BE
                                                 : QStringConverter::Utf8;
    QStringEncoder encoder(which, QStringConverter::Flag::WriteBom);
    return encoder(text);
}

QString fromCodePoints(const std::u32string &text)
{
    return qtString(text);
}

} // namespace

class tst_HostTable : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void scanEqualsReference_data();
    void scanEqualsReference();
    void encodingsGiveTheSameRows();
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

void tst_HostTable::scanEqualsReference_data()
{
    QTest::addColumn<QString>("encoding");
    QTest::newRow("UTF-8") << "UTF-8";
    QTest::newRow("Windows-1252") << "windows-1252";
    QTest::newRow("UTF-16LE") << "UTF-16LE";
    QTest::newRow("UTF-16BE") << "UTF-16BE";
}

void tst_HostTable::scanEqualsReference()
{
    QFETCH(QString, encoding);
    for (quint32 seed = 1; seed <= 300; ++seed) {
        FileGenerator generator(seed, encoding == u"windows-1252");
        const QByteArray bytes = encoded(generator.file(int(seed % 100) + 1), encoding);
        const ReferenceTable expected = referenceScan(bytes);
        const ScanResult scan = scanBytes(bytes);

        QCOMPARE(scan.failure ? scan.failure->lineNumber : -1, expected.malformedLine.value_or(-1));
        QCOMPARE(scan.table.size(), qsizetype(expected.rows.size()));
        QByteArray utf8(HostTable::RowMaxUtf8, Qt::Uninitialized);
        for (qsizetype i = 0; i < scan.table.size(); ++i) {
            const QString row = fromCodePoints(expected.rows[size_t(i)].text);
            QCOMPARE(scan.table.rowText(i), row);
            // The fields are the pieces of the text: address, the name's 84 columns, MAC.
            const HostRow fields = scan.table.row(i);
            QVERIFY(row.startsWith(fields.address()) && row.endsWith(fields.mac()));
            QCOMPARE(QStringView(row).sliced(fields.address().size()).chopped(fields.mac().size()).toUcs4().size(),
                     HostNameFieldWidth);
            QVERIFY(fields.mac().isEmpty() || fields.mac().toUcs4().size() == MacFieldWidth);
            QCOMPARE(scan.table.isRepeated(i), expected.rows[size_t(i)].repeated);
            const char *end = scan.table.appendRowUtf8(i, utf8.data());
            QCOMPARE(QByteArrayView(utf8.constData(), end - utf8.constData()), row.toUtf8());
        }

        // A search keeps some rows of an unsorted scan: each keeps its place and its mark
        // from the whole table.
        const auto chosen = [](QStringView text) { return text.contains(u'a') || text.contains(u'\u00e9'); };
        ScanResult rows = scanBytes(bytes, ScanScope::Rows);
        rows.table.keepOnly([&](const HostRow &row) { return chosen(row.text()); }, rows.isComplete());
        QStringList kept;
        for (const ReferenceRow &r : expected.rows) {
            if (chosen(fromCodePoints(r.text)))
                kept << QLatin1StringView(r.repeated ? "* " : "  ") + fromCodePoints(r.text);
        }
        QCOMPARE(listed(rows.table), kept);
    }
}

void tst_HostTable::encodingsGiveTheSameRows()
{
    // A large file with non-ASCII host names in UTF-8, and its twins in the other
    // encodings: the same rows, byte for byte, and the same marks.
    FileGenerator generator(7, true, true);
    const QString text = generator.file(180000);
    const auto rowsOf = [](const ScanResult &scan) {
        QByteArray rows;
        QByteArray utf8(HostTable::RowMaxUtf8, Qt::Uninitialized);
        for (qsizetype i = 0; i < scan.table.size(); ++i) {
            rows += scan.table.isRepeated(i) ? "* " : "  ";
            rows += QByteArrayView(utf8.constData(), scan.table.appendRowUtf8(i, utf8.data()) - utf8.constData());
            rows += '\n';
        }
        return rows;
    };
    const ScanResult utf8 = scanBytes(encoded(text, "UTF-8"));
    QVERIFY(utf8.isComplete() && utf8.table.size() >= 100000 && !utf8.table.text().isAscii());
    const QByteArray expected = rowsOf(utf8);
    for (const char *encoding : {"windows-1252", "UTF-16LE", "UTF-16BE"}) {
        const ScanResult twin = scanBytes(encoded(text, QString::fromLatin1(encoding)));
        QVERIFY(twin.isComplete());
        QVERIFY2(rowsOf(twin) == expected, encoding);
    }
}

void tst_HostTable::orderIgnoresLocale()
{
    // Code point order puts capitals before small letters, "R=" before "dhcp", and a
    // character outside the BMP after U+FFFD (where UTF-16 order has it before); a
    // locale-aware order would not.
    HostTable table = tableOf({{"dhcp", "x", {}},
                               {spaces("R=192.168.··1.··9"), "x", {}},
                               {spaces("192.168.··1.··5"), "ab", {}},
                               {spaces("192.168.··1.··5"), "Ab", {}},
                               {spaces("192.168.··1.··5"), "_b", {}},
                               {spaces("192.168.··1.··5"), "\U0001F600", {}},
                               {spaces("192.168.··1.··5"), "\uFFFD", {}}});
    table.sort();
    table.markRepeatedAddresses();
    QCOMPARE(listed(table),
             (QStringList{"  " + row("192.168.··1.··5", "Ab"), "* " + row("192.168.··1.··5", "_b"),
                          "* " + row("192.168.··1.··5", "ab"),
                          "* " + row("192.168.··1.··5", "\uFFFD"),
                          "* " + row("192.168.··1.··5", "\U0001F600"),
                          "  " + row("R=192.168.··1.··9", "x"), "  " + row("dhcp", "x")}));
}

QTEST_APPLESS_MAIN(tst_HostTable)
#include "tst_hosttable.moc"
