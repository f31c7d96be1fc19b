#pragma once

#include "health.h"
#include "output.h"
#include "pools.h"

#include <vector>

namespace kelto {

// The output of `check`: one line per finding (nothing when all is well, so that cron
// mails only when there is something to say), or one JSON object streamed as it is
// written (a large file can have tens of thousands of findings).
void writeHealthText(Utf8Output &out, const HealthReport &report);
void writeHealthJson(Utf8Output &out, const QString &file, const HealthReport &report,
                     qint64 now);

// The findings of each kind, by the kind's name in the JSON output, every kind listed.
struct FindingCount
{
    QLatin1StringView kind;
    qsizetype count = 0;
};
std::vector<FindingCount> findingCounts(const HealthReport &report);

// The output of `free`: one line per pool, or one JSON object.
void writeFreeText(Utf8Output &out, const PoolsReport &report);
void writeFreeJson(Utf8Output &out, const QString &file, const PoolsReport &report);

// The output of `pools`: each pool with its counts, and the total when the pools are
// one big pool, in text (one line each), JSON, CSV or TSV (a line each, the total named
// "total").
void writePoolsText(Utf8Output &out, const PoolsReport &report);
void writePoolsJson(Utf8Output &out, const QString &file, const PoolsReport &report,
                    const std::vector<PoolState> &states);
void writePoolsTable(Utf8Output &out, const PoolsReport &report, TableFormat format);

} // namespace kelto
