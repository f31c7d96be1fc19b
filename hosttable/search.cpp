#include "search.h"

#include "mac.h"
#include "text.h"

#include <QVarLengthArray>

namespace kelto {

HostSearch::HostSearch(const QStringList &texts)
{
    for (const QString &text : texts) {
        Term term{text, macSearchDigits(text)};
        m_anyMacTerm = m_anyMacTerm || term.macDigits.has_value();
        m_terms.push_back(std::move(term));
    }
}

bool HostSearch::matches(const HostRow &row) const
{
    QVarLengthArray<char16_t, 32> address;
    for (const QChar c : row.address()) {
        if (c != u' ')
            address.append(c.unicode());
    }
    const QStringView shownAddress(address.constData(), address.size());
    const QStringView hostName = withoutTrailingSpaces(row.hostName());
    const FoldedMac mac = m_anyMacTerm ? foldMac(row.mac()) : FoldedMac();
    const QStringView foldedMac(mac.constData(), mac.size());

    for (const Term &term : m_terms) {
        if (shownAddress.contains(term.text, Qt::CaseInsensitive)
            || hostName.contains(term.text, Qt::CaseInsensitive)
            || row.mac().contains(term.text, Qt::CaseInsensitive)
            || (term.macDigits && foldedMac.contains(*term.macDigits)))
            return true;
    }
    return false;
}

} // namespace kelto
