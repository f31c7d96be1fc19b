// The file's text as UTF-8, whatever its encoding: converted in its own memory, and a text
// too large once converted cut at a line end. (How the scan reads each encoding, malformed
// UTF-16 and byte order marks included, is tested with the scan.)

#include "filetext.h"

#include <QTest>

#include <algorithm>

using namespace kelto;

Q_DECLARE_METATYPE(std::vector<qsizetype>)

class tst_FileText : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void lineNumbers_data();
    void lineNumbers();
};

void tst_FileText::decode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("utf8");
    QTest::addColumn<qint64>("mostBytes");
    QTest::addColumn<bool>("tooLarge");

    const qint64 all = MostTextBytes;
    // A run of ASCII long enough for the conversion's 16-byte blocks on either side.
    const QByteArray ascii = "IPADDR=10.1.2.3\r\nHostname=abcdefghijklmnop\r\n";
    QByteArray utf16le("\xFF\xFE");
    for (const char c : ascii)
        utf16le += QByteArray(1, c) + '\0';

    // clang-format off
    QTest::newRow("ASCII as it is") << ascii << ascii << all << false;
    QTest::newRow("Windows-1252") << ascii + "caf\xE9 \x80 \x81" << ascii + "caf\xC3\xA9 \xE2\x82\xAC \xC2\x81" << all << false;
    QTest::newRow("Windows-1252, every byte grows") << QByteArray(40, '\xE9') << QByteArray("\xC3\xA9").repeated(40) << all << false;
    QTest::newRow("UTF-16BE, BMP and beyond") << QByteArray("\xFE\xFF\x00" "a\x00\xE9\x4E\x2D\xD8\x3D\xDE\x00", 12)
                                              << QByteArray("a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80") << all << false;
    // Three bytes of UTF-8 for two of UTF-16: the UTF-8 runs ahead of the input.
    QTest::newRow("UTF-16LE, UTF-8 longer than the input") << "\xFF\xFE" + QByteArray("\x2D\x4E").repeated(40) + utf16le.mid(2)
                                                           << QByteArray("\xE4\xB8\xAD").repeated(40) + ascii << all << false;
    QTest::newRow("UTF-16 lone surrogates") << QByteArray("\xFF\xFE\x00\xDC" "a\x00\x00\xD8", 8)
                                            << QByteArray("\xEF\xBF\xBD" "a\xEF\xBF\xBD") << all << false;
    QTest::newRow("cut at the last line end within the limit") << QByteArray("ab\n\xE9\xE9\n") << QByteArray("ab\n") << qint64(6) << true;
    QTest::newRow("UTF-16 cut so") << QByteArray("\xFF\xFE" "a\x00\n\x00\xE9\x00\n\x00", 10) << QByteArray("a\n") << qint64(3) << true;
    QTest::newRow("UTF-8 cut so") << QByteArray("a\n\xC3\xA9\n") << QByteArray("a\n") << qint64(4) << true;
    QTest::newRow("just within the limit") << QByteArray("a\n\xE9\n") << QByteArray("a\n\xC3\xA9\n") << qint64(5) << false;
    // clang-format on
}

void tst_FileText::decode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, utf8);
    QFETCH(qint64, mostBytes);
    QFETCH(bool, tooLarge);

    bool cut = false;
    const FileText text = FileText::decode(bytes, cut, false, mostBytes);
    QCOMPARE(QByteArrayView(reinterpret_cast<const char *>(text.bytes().data()), text.size()), utf8);
    QCOMPARE(cut, tooLarge);
    // Columns are bytes only where the text is ASCII.
    if (text.isAscii())
        QVERIFY(std::all_of(utf8.begin(), utf8.end(), [](char c) { return uchar(c) < 0x80; }));
}

void tst_FileText::lineNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::vector<qsizetype>>("positions"); // in any order
    QTest::addColumn<std::vector<qsizetype>>("lines");

    QTest::newRow("line feeds") << "a\nb\n\nc" << std::vector<qsizetype>{5, 0, 2, 4, -1}
                                << std::vector<qsizetype>{4, 1, 2, 3, 0};
    QTest::newRow("CRLF and lone CR") << "a\r\nb\rc\r\n" << std::vector<qsizetype>{1, 2, 3, 5, 8}
                                      << std::vector<qsizetype>{1, 1, 2, 3, 4};
    // Positions far apart in a text long enough to be counted many bytes at a time,
    // against a count line by line.
    const QString text = QString("x\r\ny\rz\n\n\r\r\n").repeated(8);
    std::vector<qsizetype> positions;
    std::vector<qsizetype> lines;
    qsizetype line = 1;
    for (qsizetype p = 0; p <= text.size(); ++p) {
        if (p % 19 == 0 || p == text.size()) {
            positions.push_back(p);
            lines.push_back(line);
        }
        if (p < text.size() && (text[p] == '\n' || (text[p] == '\r' && text.mid(p + 1, 1) != "\n")))
            ++line;
    }
    QTest::newRow("a long text") << text << positions << lines;
}

void tst_FileText::lineNumbers()
{
    QFETCH(QString, text);
    QFETCH(std::vector<qsizetype>, positions);
    QFETCH(std::vector<qsizetype>, lines);
    QCOMPARE(FileText::fromString(text).lineNumbers(positions), lines);
}

QTEST_APPLESS_MAIN(tst_FileText)
#include "tst_filetext.moc"
