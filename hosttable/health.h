#pragma once

#include "filefacts.h"
#include "hosttable.h"

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

} // namespace kelto
