// The vector code gives what a plain loop gives, with what it looks for at every offset
// of its 16-byte blocks and the input ending at every offset too.

#include "vectorscan.h"

#include <QTest>

#include <algorithm>
#include <array>
#include <vector>

using namespace kelto;

class tst_VectorScan : public QObject
{
    Q_OBJECT

private slots:
    void findAnyOf();
    void asciiRuns();
};

void tst_VectorScan::findAnyOf()
{
    constexpr size_t Size = 64;
    for (const char wanted : {'\n', '\r', '=', '['}) {
        for (size_t at = 0; at <= Size; ++at) {
            std::array<uchar, Size> bytes;
            bytes.fill('a');
            bytes[Size / 2 + 1] = 0x8A; // "\n" | 0x80: a byte that only a sloppy compare takes
            if (at < Size)
                bytes[at] = uchar(wanted);
            for (size_t start = 0; start < 17; ++start) {
                for (size_t end = start; end <= Size; end += 7) {
                    const uchar *found = vectorscan::findAnyOf(bytes.data() + start, bytes.data() + end,
                                                               '\n', '\r', '=', '[');
                    const size_t expected = at >= start && at < end ? at : end;
                    QCOMPARE(size_t(found - bytes.data()), expected);
                }
            }
        }
    }
}

void tst_VectorScan::asciiRuns()
{
    constexpr size_t Size = 64;
    for (const bool littleEndian : {true, false}) {
        for (size_t at = 0; at <= Size; ++at) {
            // Bytes: ASCII up to `at`. Units: ASCII up to the unit at `at`, which is not,
            // by its low or its high byte in turn.
            std::vector<uchar> bytes(Size, 'a');
            std::vector<uchar> units;
            for (size_t i = 0; i < Size; ++i) {
                const char16_t unit = i == at ? (at % 2 ? u'\u00E9' : u'\u0161') : u'a';
                units.push_back(uchar(littleEndian ? unit & 0xFF : unit >> 8));
                units.push_back(uchar(littleEndian ? unit >> 8 : unit & 0xFF));
            }
            if (at < Size)
                bytes[at] = 0xE9;
            for (size_t start = 0; start < 17; ++start) {
                const size_t end = Size - start % 5;
                const uchar *byteEnd = vectorscan::asciiEnd(bytes.data() + start, bytes.data() + end);
                QCOMPARE(size_t(byteEnd - bytes.data()), at >= start && at < end ? at : end);

                const uchar *unitsBegin = units.data() + 2 * start;
                const uchar *unitEnd = vectorscan::asciiUnitsEnd(unitsBegin, units.data() + 2 * end, littleEndian);
                QCOMPARE(size_t(unitEnd - units.data()) / 2, at >= start && at < end ? at : end);
                std::vector<char> narrow(Size, '\0');
                const char *narrowEnd = vectorscan::narrowAsciiUnits(unitsBegin, unitEnd, narrow.data(), littleEndian);
                QCOMPARE(size_t(narrowEnd - narrow.data()), size_t(unitEnd - unitsBegin) / 2);
                QVERIFY(std::all_of(narrow.cbegin(), narrow.cbegin() + (narrowEnd - narrow.data()), [](char c) { return c == 'a'; }));
            }
        }
    }
    // The odd byte at the end is no unit.
    const std::array<uchar, 3> odd = {'a', 0, 'b'};
    QCOMPARE(vectorscan::asciiUnitsEnd(odd.data(), odd.data() + 3, true), odd.data() + 2);
}

QTEST_APPLESS_MAIN(tst_VectorScan)
#include "tst_vectorscan.moc"
