#pragma once

#include "filefacts.h"
#include "hosttable.h"

#include <QLatin1StringView>

#include <algorithm>
#include <iterator>
#include <limits>
#include <vector>

namespace kelto {

// The reservation health check: what in the file is likely to hand one address to two
// machines, or one machine two identities.

// Rows of the table, in table order.
using RowList = std::vector<qsizetype>;

// One MAC heading more than one client section.
struct SharedMac
{
    quint64 mac = 0; // a key of FileFacts::macKeys
    QString text; // the MAC as the server writes a header, or as compared
    std::vector<qsizetype> headerLines; // ascending
    RowList rows; // the rows that carry the MAC, in any notation
};

struct HealthReport
{
    const HostTable *table = nullptr; // the rows the findings name
    // Each an address held by more than one row: the rows the window selects, with the
    // row before them that first holds the address.
    std::vector<RowList> sharedAddresses;
    std::vector<SharedMac> sharedMacs; // in the order of their first header
    // Each a host name (letter case aside) on rows of more than one MAC: every row of it.
    std::vector<RowList> sharedHostNames; // in the order of their first row
    std::vector<AddressLineProblem> addressProblems; // in file order
    std::vector<KeyLine> unreadAddressKeys; // in file order
    std::vector<HostNameBeforeAddress> hostNamesBeforeAddress; // in file order
    std::vector<KeyLine> badLeaseEnds; // LeaseEnd= that is no number of seconds; file order
    // Neither a [SETTINGS] section nor a client section: likely not the server's file.
    bool notServerFile = false;

    bool isEmpty() const
    {
        return sharedAddresses.empty() && sharedMacs.empty() && sharedHostNames.empty()
               && addressProblems.empty() && unreadAddressKeys.empty()
               && hostNamesBeforeAddress.empty() && badLeaseEnds.empty() && !notServerFile;
    }
};

// Checks a complete scan made with ScanScope::TableAndFacts. Adds the MACs of the rows
// to `facts.macKeys`. The report names rows of `table`, which must outlive it.
HealthReport checkHealth(const HostTable &table, FileFacts &facts);

// The first kind of finding alone, which needs no facts.
std::vector<RowList> sharedAddresses(const HostTable &table);

// The findings of each kind, by the kind's name in the JSON output, every kind listed.
struct FindingCount
{
    QLatin1StringView kind;
    qsizetype count = 0;
};
std::vector<FindingCount> findingCounts(const HealthReport &report);

// Why the findings of three kinds are findings, as every output says it.
inline constexpr QLatin1StringView
    UnreadAddressKey("not read as an address: write the key as IPADDR= at the start of the line");
inline constexpr QLatin1StringView
    BadLeaseEnd("not a lease end: seconds since 1970 (UTC) expected, 0 for none");
inline constexpr QLatin1StringView
    KeyNotAtLineStart("IPADDR= does not start the line, so the value is read from column 8");
inline constexpr QLatin1StringView
    NotServerFile("no server settings and no client sections: is this the server's dhcpsrv.ini?");

// The findings about single lines, in file order: bad address values, unread address
// keys, host names before the address of their section, and bad lease ends.
template <typename OnProblem, typename OnUnread, typename OnNameBefore, typename OnLease>
void forEachLineFinding(const HealthReport &report, OnProblem onProblem, OnUnread onUnread,
                        OnNameBefore onNameBefore, OnLease onLease)
{
    auto problem = report.addressProblems.begin();
    auto unread = report.unreadAddressKeys.begin();
    auto nameBefore = report.hostNamesBeforeAddress.begin();
    auto lease = report.badLeaseEnds.begin();
    const auto lineOf = [](auto at, auto end) {
        return at == end ? std::numeric_limits<qsizetype>::max() : at->line;
    };
    for (;;) {
        const qsizetype lines[] = {lineOf(problem, report.addressProblems.end()),
                                   lineOf(unread, report.unreadAddressKeys.end()),
                                   lineOf(nameBefore, report.hostNamesBeforeAddress.end()),
                                   lineOf(lease, report.badLeaseEnds.end())};
        const auto first = std::min_element(std::begin(lines), std::end(lines));
        if (*first == std::numeric_limits<qsizetype>::max())
            return;
        switch (first - std::begin(lines)) {
        case 0:
            onProblem(*problem++);
            break;
        case 1:
            onUnread(*unread++);
            break;
        case 2:
            onNameBefore(*nameBefore++);
            break;
        default:
            onLease(*lease++);
        }
    }
}

} // namespace kelto
