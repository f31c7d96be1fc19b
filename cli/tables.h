#pragma once

#include "changes.h"
#include "hosttable.h"
#include "pools.h"
#include "vendors.h"
#include "utf8output.h"

namespace kelto {

// For spreadsheets: a header line address, hostname, mac, duplicate, leaseEnd, lease,
// then one line per host with the fields a lookup shows. CSV as RFC 4180 has it,
// TSV with tab, backslash and line ends escaped.
enum class TableFormat { Csv, Tsv };
// A TSV field: backslash, tab and line ends written as \\, \t, \n and \r.
void writeTsvField(Utf8Output &out, QStringView field);
// A field of a CSV or TSV table.
void writeTableField(Utf8Output &out, QStringView field, TableFormat format);
// With `vendors`, a last column "vendor" holds the vendor of each host's MAC.
void writeTable(Utf8Output &out, const HostTable &table, TableFormat format, qint64 now,
                const VendorRegistry *vendors = nullptr);

// The output of `pools` as CSV or TSV: a line per pool, and the total named "total" when
// the pools are one big pool.
void writePoolsTable(Utf8Output &out, const PoolsReport &report, TableFormat format);

// The output of `diff` as CSV or TSV: a line per client removed, added or changed (its
// fields in the new file, then in the old), then a line per pool.
void writeChangesTable(Utf8Output &out, const HostTable &oldTable, const HostTable &newTable,
                       const FileChanges &changes, TableFormat format);

} // namespace kelto
