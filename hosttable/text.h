#pragma once

#include <QStringView>

#include <algorithm>
#include <span>
#include <string_view>

// The text rules of the configuration file, for lines held in any width of character:
// the scan reads the file's own bytes or its code points, the checks read Qt's text.

namespace kelto {

// ASCII case folding: the server compares its keys that way, and no other character
// lower-cases to a letter of a key.
template <typename Char> constexpr Char foldAscii(Char c)
{
    return c >= Char('A') && c <= Char('Z') ? Char(c + 32) : c;
}

template <typename Char> constexpr bool isAsciiWordCharacter(Char c)
{
    return (c >= Char('a') && c <= Char('z')) || (c >= Char('A') && c <= Char('Z'))
           || (c >= Char('0') && c <= Char('9')) || c == Char('_');
}

// Whether `text` starts with `key`, letter case aside when `foldCase` is set.
template <typename Char>
bool startsWithKey(std::span<const Char> text, std::string_view key, bool foldCase)
{
    if (text.size() < key.size())
        return false;
    for (size_t i = 0; i < key.size(); ++i) {
        const Char c = foldCase ? foldAscii(text[i]) : text[i];
        if (c != Char(uchar(key[i])))
            return false;
    }
    return true;
}

// `text` up to its first ";", which starts a comment in the server's file.
template <typename Char> std::span<const Char> cutAtSemicolon(std::span<const Char> text)
{
    return text.first(size_t(std::find(text.begin(), text.end(), Char(';')) - text.begin()));
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

} // namespace kelto
