#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <span>
#include <vector>

namespace kelto {

// The characters of a configuration file, held once in memory, one unit per character
// (code point), so that a column is an index: the file's own bytes when each byte is a
// character (ASCII, or Windows-1252, the server's ANSI code page), and code points
// (UTF-32) for UTF-8 with other characters than ASCII and for UTF-16.
class FileText
{
public:
    FileText() = default;

    // Decides the encoding of `bytes`: UTF-16 when they start with its byte order mark
    // (either order), UTF-8 when they are valid UTF-8 (a byte order mark dropped),
    // otherwise Windows-1252. Text that would take more than `sizeLimit` bytes of memory
    // once decoded is cut to the whole lines within the limit, and `tooLarge` is set.
    // `cutShort` bytes are the start of a longer input: the encoding is decided without
    // the part of a line at their end.
    static FileText decode(QByteArray bytes, qint64 sizeLimit, bool &tooLarge,
                           bool cutShort = false);

    // Drops what follows the last line end: the part of a line that a read cut short.
    void cutAfterLastLineEnd();

    // Text held as code points, for tests and for text that did not come from a file.
    static FileText fromString(QStringView text);

    bool isBytes() const { return m_codePoints.empty(); }
    // Bytes that are all ASCII, which UTF-8 writes as they are.
    bool isAscii() const { return m_ascii; }
    std::span<const uchar> bytes() const
    {
        return {reinterpret_cast<const uchar *>(m_bytes.constData()), size_t(m_bytes.size())};
    }
    std::span<const char32_t> codePoints() const { return m_codePoints; }
    qsizetype size() const
    {
        return isBytes() ? m_bytes.size() : qsizetype(m_codePoints.size());
    }

    // Calls f with the characters as a span of uchar or of char32_t.
    template <typename F> decltype(auto) visit(F &&f) const
    {
        return isBytes() ? f(bytes()) : f(codePoints());
    }

private:
    QByteArray m_bytes; // ASCII or Windows-1252
    std::vector<char32_t> m_codePoints;
    bool m_ascii = true;
};

// The code point of a character of the text: a byte is a Windows-1252 character (the
// five bytes that code page leaves undefined keep their Latin-1 code points, as Windows
// itself decodes them, so nothing read is lost). Windows-1252 differs from Latin-1 only
// at 0x80-0x9F.
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
inline char32_t codePointOf(uchar c)
{
    return c < 0x80 ? c : windows1252CodePoint(c);
}
inline char32_t codePointOf(char32_t c)
{
    return c;
}

// Appends the UTF-16 of a code point; returns the end.
constexpr char16_t *appendUtf16(char16_t *out, char32_t c)
{
    if (c < 0x10000) {
        *out++ = char16_t(c);
    } else {
        *out++ = QChar::highSurrogate(c);
        *out++ = QChar::lowSurrogate(c);
    }
    return out;
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

// Characters of the text as a QString, for the parts of Kelto that work in Qt's text.
// `text` becomes the characters; a buffer given line after line keeps its memory.
template <typename Char> void assignQString(std::span<const Char> chars, QString &text)
{
    text.resize(qsizetype(chars.size()) * 2);
    auto *out = reinterpret_cast<char16_t *>(text.data());
    for (const Char c : chars)
        out = appendUtf16(out, codePointOf(c));
    text.truncate(out - reinterpret_cast<const char16_t *>(text.constData()));
}

template <typename Char> QString toQString(std::span<const Char> chars)
{
    QString text;
    assignQString(chars, text);
    return text;
}

} // namespace kelto
