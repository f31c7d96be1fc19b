#pragma once

#include <QHash>
#include <QString>
#include <QStringView>
#include <QVarLengthArray>

#include <optional>
#include <string_view>

namespace kelto {

// MAC addresses compared without regard to letter case or notation: 00-1A-2B-33-44-55,
// 00:1a:2b:33:44:55, 001a.2b33.4455 and 001a2b334455 are one MAC.

// A MAC with its separators (":", "-", ".") dropped and its letters case-folded; the
// text that MACs are compared by.
using FoldedMac = QVarLengthArray<char16_t, 24>;
FoldedMac foldMac(QStringView mac);

// The twelve hexadecimal digits of a MAC in any notation as a 48-bit number; nothing for
// any other text.
std::optional<quint64> macValue(QStringView mac);

// Gives every MAC a number, the same for the same MAC in any letter case and notation,
// so that millions of them are grouped by hashing numbers. Twelve hexadecimal digits
// are their own number; any other text (a header may hold any characters between its
// dashes) gets a number of its own above those.
class MacKeys
{
public:
    quint64 keyOf(QStringView mac);
    // The same for a MAC in UTF-8, such as a row's MAC in the file's text.
    quint64 keyOf(std::string_view utf8);
    // The MAC of a key, written as the server writes a MAC header (00-1a-2b-33-44-55)
    // when it is twelve hexadecimal digits, else as compared.
    QString textOf(quint64 key) const;

private:
    QHash<QString, quint64> m_others;
    QList<QString> m_otherTexts;
};

// A search text read as a MAC or part of one, and where it stands in a MAC: at least
// four hexadecimal digits, either bare or grouped as a MAC is written (pairs between ":"
// or "-", fours between "."). "1A:2B", "001a2b" and "1a2b.3c" qualify; "10.5", "36" and
// "192.168" do not. It matches a MAC only where its groups fall on the MAC's own groups:
// - bare digits start at an octet (an even digit);
// - ":" and "-" fall between octets. An inner group of one digit is a whole octet
//   written without its leading zero (1a:b:3c is 1a:0b:3c, as some tools write MACs);
//   the first group of one digit is the low digit of an octet, the last the high digit
//   or a whole octet (the text may end inside an octet); more than six groups match none;
// - "." falls between groups of four digits counted from the MAC's start; the groups
//   at the ends may be partial, inner ones are whole; more than three groups match none.
class MacSearch
{
public:
    static std::optional<MacSearch> of(QStringView text);

    // Whether `mac`, a MAC field, holds a MAC (its first twelve hexadecimal digits, in
    // any notation) that this text stands in.
    bool isFoundIn(QStringView mac) const;
    // Whether `mac` holds a MAC at all.
    static bool holdsMac(QStringView mac);

private:
    struct Reading
    {
        QString digits; // in lower case
        int phase = 0; // the digit offsets where it may start, modulo the alignment
    };
    QVarLengthArray<Reading, 2> m_readings;
    int m_alignment = 2; // digits per group of the notation
};

} // namespace kelto
