#pragma once

#include <QHash>
#include <QString>
#include <QStringView>
#include <QVarLengthArray>

#include <optional>

namespace kelto {

// MAC addresses compared without regard to letter case or notation: 00-1A-2B-33-44-55,
// 00:1a:2b:33:44:55, 001a.2b33.4455 and 001a2b334455 are one MAC.

// A MAC with its separators (":", "-", ".") dropped and its letters case-folded; the
// text that MACs are compared by.
using FoldedMac = QVarLengthArray<char16_t, 24>;
FoldedMac foldMac(QStringView mac);

// Gives every MAC a number, the same for the same MAC in any letter case and notation,
// so that millions of them are grouped by sorting numbers. Twelve hexadecimal digits
// are their own number; any other text (a header may hold any characters between its
// dashes) gets a number of its own above those.
class MacKeys
{
public:
    quint64 keyOf(QStringView mac);
    // The MAC of a key, written as the server writes a MAC header (00-1a-2b-33-44-55)
    // when it is twelve hexadecimal digits, else as compared.
    QString textOf(quint64 key) const;

private:
    QHash<QString, quint64> m_others;
    QList<QString> m_otherTexts;
};

// The hexadecimal digits, in lower case, of a search text that reads as a MAC or part of
// one: at least four hexadecimal digits, either without separators or grouped as a MAC is
// written (pairs between ":" or "-", fours between "."; the groups at the ends may be
// partial). "1A:2B", "001a2b" and "1a2b.3c" qualify; "10.5", "36" and "192.168" do not.
std::optional<QString> macSearchDigits(QStringView text);

} // namespace kelto
