#pragma once

#include <QStringView>

#include <algorithm>
#include <span>
#include <string_view>

// The text rules of the configuration file, the one home of each: the scan reads lines as
// the UTF-8 of the file's text, the checks read Qt's text.

namespace kelto {

// ASCII case folding: the server compares its keys that way, and no other character
// lower-cases to a letter of a key. For a character of any width: a byte, a UTF-16 unit
// or a code point.
template <typename Char> constexpr Char foldAscii(Char c)
{
    return c >= Char('A') && c <= Char('Z') ? Char(c + 32) : c;
}

template <typename Char> constexpr bool isAsciiWordCharacter(Char c)
{
    return (c >= Char('a') && c <= Char('z')) || (c >= Char('A') && c <= Char('Z'))
           || (c >= Char('0') && c <= Char('9')) || c == Char('_');
}

// A blank of the file: a space or a tab, which may stand around keys and "=".
template <typename Char> constexpr bool isBlank(Char c)
{
    return c == Char(' ') || c == Char('\t');
}
inline bool isBlank(QChar c)
{
    return isBlank(c.unicode());
}

// Whether `text` starts with `key`, letter case aside when `foldCase` is set.
inline bool startsWithKey(std::span<const uchar> text, std::string_view key, bool foldCase)
{
    if (text.size() < key.size())
        return false;
    for (size_t i = 0; i < key.size(); ++i) {
        const uchar c = foldCase ? foldAscii(text[i]) : text[i];
        if (c != uchar(key[i]))
            return false;
    }
    return true;
}

// `text` up to its first ";", which starts a comment in the server's file.
inline std::span<const uchar> cutAtSemicolon(std::span<const uchar> text)
{
    return text.first(size_t(std::find(text.begin(), text.end(), uchar(';')) - text.begin()));
}

inline QStringView cutAtSemicolon(QStringView text)
{
    const qsizetype semicolon = text.indexOf(u';');
    return semicolon < 0 ? text : text.first(semicolon);
}

// `text` without the spaces at its end (other white space stays).
inline QStringView withoutTrailingSpaces(QStringView text)
{
    while (!text.isEmpty() && text.back() == u' ')
        text.chop(1);
    return text;
}

// Columns of UTF-8 text count code points: the bytes that are no continuation byte.
constexpr bool isContinuationByte(uchar byte)
{
    return (byte & 0xC0) == 0x80;
}

// Where the character at 0-based column `column` of a UTF-8 line starts; the line's size
// when it is shorter.
inline qsizetype columnOffset(std::span<const uchar> line, qsizetype column)
{
    qsizetype at = 0;
    const auto size = qsizetype(line.size());
    for (; at < size && column > 0; --column) {
        ++at;
        while (at < size && isContinuationByte(line[size_t(at)]))
            ++at;
    }
    return at;
}

// The number of characters of a UTF-8 text.
inline qsizetype columnCount(std::span<const uchar> text)
{
    return qsizetype(std::count_if(text.begin(), text.end(), [](uchar b) { return !isContinuationByte(b); }));
}

// The code point that starts at `p` in valid UTF-8, `p` moved past it.
inline char32_t nextCodePoint(const uchar *&p)
{
    const uchar lead = *p++;
    if (lead < 0x80)
        return lead;
    const int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
    char32_t c = lead & (0x3F >> more);
    for (int i = 0; i < more; ++i)
        c = c << 6 | (*p++ & 0x3F);
    return c;
}

// Appends the UTF-16 of valid UTF-8 at `out`, for Qt's text; returns the end. Adds the
// number of characters to `characters`.
inline char16_t *appendUtf16(std::span<const uchar> utf8, char16_t *out, qsizetype &characters)
{
    for (const uchar *p = utf8.data(), *end = p + utf8.size(); p != end; ++characters) {
        if (*p < 0x80) { // nearly every character of a file
            *out++ = *p++;
            continue;
        }
        const char32_t c = nextCodePoint(p);
        if (c < 0x10000) {
            *out++ = char16_t(c);
        } else {
            *out++ = QChar::highSurrogate(c);
            *out++ = QChar::lowSurrogate(c);
        }
    }
    return out;
}

} // namespace kelto
