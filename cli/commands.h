#pragma once

#include "utf8output.h"
#include "pools.h"
#include "scan.h"
#include "vendors.h"

#include <QLatin1StringView>
#include <QStringList>

#include <optional>
#include <vector>

namespace kelto {

// Exit statuses. check follows the monitoring-plugin convention: 0 nothing to report,
// 1 findings, 2 the file could not be read.
inline constexpr int Success = 0;
// lookup, find; findings for check and compare; changes for diff; a pool without free address
inline constexpr int NotFound = 1;
inline constexpr int ScanFailed = 2;
inline constexpr int Unknown = 3; // pools, as a monitoring plugin: the state cannot be told
inline constexpr int UsageError = 64; // as sysexits.h
inline constexpr int OutputError = 74;

enum class Format { Rows, Text, Json, Csv, Tsv, Nagios, Prometheus };
QLatin1StringView formatName(Format format);

struct Command;

// What a command is asked to do.
struct Options
{
    const Command *command = nullptr;
    QStringList arguments;
    QString file;
    Format format = Format::Rows;
    qint64 sizeLimit = DefaultSizeLimit;
    qint64 now = 0; // seconds since 1970: what leases are judged against
    PoolThresholds thresholds;
    bool searchVendors = false; // find --vendor: the texts are looked for in vendor names too
    // The IEEE registry's lists, read only for the outputs that show vendors.
    std::optional<VendorRegistry> vendors;
};

// Whether the command, in the format asked for, shows or searches vendors.
bool usesVendors(const Options &options);

// One command of kelto-cli: the table drives parsing, the help and the dispatch.
struct Command
{
    QLatin1StringView name;
    QLatin1StringView argument; // "number", "text", "file", or empty: the command takes none
    QLatin1StringView help; // its lines in the help, after the name
    std::vector<Format> formats; // the first is the default
    ScanScope scope = ScanScope::Table;
    int (*run)(const Options &options, ScanResult &result, Utf8Output &out) = nullptr;
    // A monitoring plugin: every failure (a file that cannot be read, an output that
    // cannot be written) is the state UNKNOWN, 3; and the thresholds are its options.
    bool monitoringPlugin = false;
    // A command whose arguments are files, each scanned, instead of -f: its run. It is
    // given them all, in order, each read to its end or not.
    int (*runFiles)(const Options &options, std::vector<ScanResult> &results, Utf8Output &out) = nullptr;
    // Of such a command: the most files it takes (the least is two); 0 for any number.
    qsizetype mostFiles = 0;
};

const std::vector<Command> &commands();

// What the scan reads for a command in the format asked for.
ScanScope scopeOf(const Options &options);

} // namespace kelto
