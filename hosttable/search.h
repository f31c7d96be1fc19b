#pragma once

#include "hostrow.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace kelto {

// The search of `kelto-cli find`: a row matches when its address (as the lookup shows
// it: columns 1-15 without the alignment spaces), its host name (as the lookup shows it:
// columns 17-98) or its MAC contains any of the search texts, letter case aside. A text that reads as a MAC or part of one (see
// macSearchDigits) also matches a MAC written in any other notation.
class HostSearch
{
public:
    explicit HostSearch(const QStringList &texts);

    bool matches(const HostRow &row) const;

private:
    struct Term
    {
        QString text;
        QString foldedAscii; // the text in lower case when it is ASCII, else empty
        std::optional<QString> macDigits;
        bool isFoundIn(QStringView field) const;
    };
    std::vector<Term> m_terms;
    bool m_anyMacTerm = false;
};

} // namespace kelto
