#include "search.h"

#include "lookup.h"
#include "mac.h"
#include "text.h"

#include <algorithm>

namespace kelto {

namespace {

// Simple case folding of one UTF-16 code unit; ASCII, nearly every character of a
// table, without a table lookup.
char16_t foldUnit(char16_t c)
{
    if (c < 0x80)
        return foldAscii(c);
    return char16_t(QChar::toCaseFolded(char32_t(c)));
}

// Whether `field` contains `needle` (ASCII in lower case), letter case aside. Folding
// unit by unit is exact here: no character outside the Basic Multilingual Plane folds to
// ASCII.
bool containsAscii(QStringView field, QStringView needle)
{
    const qsizetype last = field.size() - needle.size();
    for (qsizetype at = 0; at <= last; ++at) {
        qsizetype i = 0;
        while (i < needle.size() && foldUnit(field[at + i].unicode()) == needle[i].unicode())
            ++i;
        if (i == needle.size())
            return true;
    }
    return false;
}

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

} // namespace

bool HostSearch::Term::isFoundIn(QStringView field) const
{
    if (!foldedAscii.isEmpty())
        return containsAscii(field, foldedAscii);
    return field.contains(text, Qt::CaseInsensitive);
}

HostSearch::HostSearch(const QStringList &texts)
{
    for (const QString &text : texts) {
        m_terms.push_back({text, isAscii(text) ? text.toLower() : QString(), MacSearch::of(text)});
        m_anyMacTerm = m_anyMacTerm || m_terms.back().mac;
    }
}

bool HostSearch::matches(const HostRow &row) const
{
    HostRow::ShownAddressBuffer buffer;
    const QStringView address = row.shownAddress(buffer);
    const QStringView hostName = row.shownHostName();
    const QStringView mac = row.shownMac();
    const bool holdsMac = m_anyMacTerm && MacSearch::holdsMac(mac);
    for (const Term &term : m_terms) {
        if (term.isFoundIn(address) || term.isFoundIn(hostName)
            || (term.mac && holdsMac ? term.mac->isFoundIn(mac) : term.isFoundIn(mac)))
            return true;
    }
    return false;
}

bool HostSearch::isFoundIn(QStringView text) const
{
    return std::any_of(m_terms.begin(), m_terms.end(), [text](const Term &term) { return term.isFoundIn(text); });
}

std::optional<NextMatch> nextMatch(const HostTable &table, const HostSearch &search,
                                   qsizetype from, bool backwards)
{
    const qsizetype size = table.size();
    if (size == 0)
        return std::nullopt;
    if (from < 0 || from >= size)
        from = backwards ? size : -1;
    const qsizetype step = backwards ? -1 : 1;
    for (qsizetype taken = 1; taken <= size; ++taken) {
        const qsizetype unwrapped = from + step * taken;
        const qsizetype row = (unwrapped + size) % size;
        if (search.matches(table.row(row)))
            return NextMatch{row, row != unwrapped};
    }
    return std::nullopt;
}

} // namespace kelto
