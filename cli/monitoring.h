#pragma once

#include "health.h"
#include "utf8output.h"
#include "pools.h"

#include <QDateTime>

#include <optional>
#include <vector>

namespace kelto {

// The outputs that monitoring systems read: the status line of a monitoring plugin
// (Nagios, Icinga), "SERVICE STATE - text | perfdata", and the text exposition format of
// Prometheus, for the textfile collectors of node_exporter and windows_exporter.

// "POOLS WARNING - IPPOOL_1 92% used, 4 free of 50 | 'IPPOOL_1'=46;40;45;0;50 ..."
void writePoolsNagios(Utf8Output &out, const PoolsReport &report,
                      const PoolThresholds &thresholds, const std::vector<PoolState> &states);
// "CHECK WARNING - 3 findings: 2 shared-address, 1 bad-address | 'shared-address'=2;;;0 ..."
void writeHealthNagios(Utf8Output &out, const HealthReport &report);
// "POOLS UNKNOWN - dhcpsrv.ini: No such file or directory"
void writeNagiosProblem(Utf8Output &out, QLatin1StringView service, QLatin1StringView state,
                        const QString &message);

// What the Prometheus output tells besides the pools.
struct ScanMetrics
{
    bool complete = false;
    qsizetype clients = 0; // rows of the table
    std::vector<HeldAddress> leases; // the address keys of client sections
    qint64 now = 0;
    std::optional<HealthReport> health; // when the scan completed
    std::optional<QDateTime> modified; // the file's modification time, where it has one
};
void writePrometheus(Utf8Output &out, const PoolsReport *pools, const ScanMetrics &scan);

} // namespace kelto
