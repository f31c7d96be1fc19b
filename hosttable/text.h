#pragma once

#include <QStringView>

// Character searches for the scan, which runs them on every one of millions of short
// lines: a plain loop, eight characters at a time where SSE2 is there (every x86-64).

namespace kelto {

// The position of the first `a` or `b` in `text` from `from` on, or -1.
qsizetype indexOfEither(QStringView text, char16_t a, char16_t b, qsizetype from = 0);

// The position of the first `c` in `text` from `from` on, or -1.
inline qsizetype indexOfChar(QStringView text, char16_t c, qsizetype from = 0)
{
    return indexOfEither(text, c, c, from);
}

// `text` without the spaces at its end (other white space stays).
inline QStringView withoutTrailingSpaces(QStringView text)
{
    while (!text.isEmpty() && text.back() == u' ')
        text.chop(1);
    return text;
}

// `text` up to its first ";", which starts a comment in the server's file.
inline QStringView cutAtSemicolon(QStringView text)
{
    const qsizetype semicolon = indexOfChar(text, u';');
    return semicolon < 0 ? text : text.first(semicolon);
}

} // namespace kelto
