#pragma once

#include "hosttable.h"

#include <QString>

#include <array>

namespace kelto {

// What the three output captions show for a row: the address without its spaces, the
// host name without trailing spaces, and the MAC.
struct HostFields
{
    QString address;
    QString hostName;
    QString mac;
};

HostFields fieldsOf(const HostRow &row);

// The address as the lookup shows it: columns 1-15 of the row without their spaces
// (which take in the start of the host name when the address field is short). Written
// into `buffer`, so that millions of rows are read without allocating.
using ShownAddressBuffer = std::array<char16_t, AddressFieldWidth>;
QStringView shownAddress(const HostRow &row, ShownAddressBuffer &buffer);

// Right-aligns a typed host number to the three characters of the fourth octet: a text
// of one or two characters gets leading spaces; any other text stays as it is.
QString alignHostNumber(const QString &typed);

struct LookupResult
{
    HostFields shown; // `address` holds the host number itself when no row matched
    qsizetype row = -1; // the first matching row, or -1
};

// Finds the first row whose columns 13-15 equal `hostNumber` exactly, in table order.
LookupResult lookup(const HostTable &table, const QString &hostNumber);

} // namespace kelto
