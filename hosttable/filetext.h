#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <span>
#include <vector>

namespace kelto {

// The most text a scan holds: rows find their fields in it by 32-bit positions.
inline constexpr qint64 MostTextBytes = qint64(4) << 30;

// The characters of a configuration file, held once in memory as UTF-8, whatever the
// file's encoding: UTF-8 byte order is code point order, so rows sort and compare on
// these bytes, and a column is counted by the bytes that start a character.
class FileText
{
public:
    FileText() = default;

    // Decides the encoding of `bytes` and converts them to UTF-8 in their own memory:
    // UTF-16 when they start with its byte order mark (either order), UTF-8 when they are
    // valid UTF-8 (a byte order mark dropped), otherwise Windows-1252. When the UTF-8
    // would pass `mostBytes`, the text is cut to the whole lines within it and
    // `tooLarge` is set. `cutShort` bytes are the start of a longer input: the encoding is
    // decided without the part of a line at their end. `mostBytes` is the most the UTF-8
    // may take.
    static FileText decode(QByteArray bytes, bool &tooLarge, bool cutShort = false,
                           qint64 mostBytes = MostTextBytes);

    // Text that did not come from a file, for tests.
    static FileText fromString(QStringView text);

    // Drops what follows the last line end: the part of a line that a read cut short.
    void cutAfterLastLineEnd();

    // Whether every character is ASCII: a column is then a byte.
    bool isAscii() const { return m_ascii; }
    std::span<const uchar> bytes() const
    {
        return {reinterpret_cast<const uchar *>(m_bytes.constData()), size_t(m_bytes.size())};
    }
    qsizetype size() const { return m_bytes.size(); }
    // The 1-based number of the line that each byte position stands on, as the scan
    // counts lines ("\n", "\r\n" or a lone "\r" ends one); 0 for a position below 0.
    std::vector<qsizetype> lineNumbers(const std::vector<qsizetype> &positions) const;

private:
    QByteArray m_bytes;
    bool m_ascii = true;
};

// The code point of a Windows-1252 byte. The five bytes that code page leaves undefined
// keep their Latin-1 code points, as Windows itself decodes them, so nothing read is
// lost. Windows-1252 differs from Latin-1 only at 0x80-0x9F.
constexpr char32_t windows1252CodePoint(uchar byte)
{
    constexpr std::array<char16_t, 32> High = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
    };
    return byte >= 0x80 && byte < 0xA0 ? High[byte - 0x80] : byte;
}

// The number of UTF-8 bytes of a code point.
constexpr qsizetype utf8Length(char32_t c)
{
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

// The UTF-8 of a code point; returns the end.
constexpr char *appendUtf8(char *out, char32_t c)
{
    if (c < 0x80) {
        *out++ = char(c);
    } else if (c < 0x800) {
        *out++ = char(0xC0 | (c >> 6));
        *out++ = char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = char(0xE0 | (c >> 12));
        *out++ = char(0x80 | ((c >> 6) & 0x3F));
        *out++ = char(0x80 | (c & 0x3F));
    } else {
        *out++ = char(0xF0 | (c >> 18));
        *out++ = char(0x80 | ((c >> 12) & 0x3F));
        *out++ = char(0x80 | ((c >> 6) & 0x3F));
        *out++ = char(0x80 | (c & 0x3F));
    }
    return out;
}

} // namespace kelto
