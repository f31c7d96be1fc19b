#pragma once

#include "hostrow.h"
#include "hosttable.h"
#include "mac.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace kelto {

// The search of `kelto-cli find`: a row matches when any of the search texts is found,
// letter case aside, in its fields as a lookup shows them: the address (columns 1-15
// without the alignment spaces), the host name (columns 17-98) or the MAC (from column
// 100). A text that reads as a MAC or part of one (see MacSearch) is found in a MAC
// written in any notation, where its groups fall on the MAC's own; in a MAC field that
// holds no MAC, it is looked for as written.
class HostSearch
{
public:
    explicit HostSearch(const QStringList &texts);

    bool matches(const HostRow &row) const;
    // Whether any search text stands in `text`, letter case aside, as written.
    bool isFoundIn(QStringView text) const;

private:
    struct Term
    {
        QString text;
        QString foldedAscii; // the text in lower case when it is ASCII, else empty
        std::optional<MacSearch> mac;
        bool isFoundIn(QStringView field) const;
    };
    std::vector<Term> m_terms;
    bool m_anyMacTerm = false;
};

// Where the window's find goes next: the first row after `from` (before it when
// `backwards`) that `search` matches, going on from the other end of the table past the
// last (first) row; `from` itself comes last. From -1, forwards starts at the first row
// and backwards at the last. Nothing when no row matches.
struct NextMatch
{
    qsizetype row = -1;
    bool wrapped = false; // passed the end (or the start) of the table to get there
};
std::optional<NextMatch> nextMatch(const HostTable &table, const HostSearch &search,
                                   qsizetype from, bool backwards);

} // namespace kelto
