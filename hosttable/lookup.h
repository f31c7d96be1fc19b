#pragma once

#include "hosttable.h"

#include <QString>

namespace kelto {

// What the three output captions show for a row: the address without its spaces, the
// host name without trailing spaces, and the MAC (see rowformat.h).
struct HostFields
{
    QString address;
    QString hostName;
    QString mac;
};

HostFields fieldsOf(const HostRow &row);

// Right-aligns a typed host number to the three characters of the fourth octet: a text
// of one or two characters gets leading spaces; any other text stays as it is.
// Characters are code points.
QString alignHostNumber(const QString &typed);

struct LookupResult
{
    HostFields shown; // `address` holds the host number itself when no row matched
    qsizetype row = -1; // the first matching row, or -1
};

// Finds the first row whose columns 13-15 equal `hostNumber` exactly, in table order.
LookupResult lookup(const HostTable &table, const QString &hostNumber);

// The lease of a row at the time `now` (seconds since 1970): its end as ISO 8601 in UTC
// (empty when it has none) and "active", "expired" or "none".
struct RowLease
{
    QString end;
    QLatin1StringView state;
};
RowLease leaseOf(const HostTable &table, qsizetype index, qint64 now);

} // namespace kelto
