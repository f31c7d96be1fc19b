#include "commands.h"

#include "health.h"
#include "json.h"
#include "rows.h"
#include "tables.h"
#include "terminal.h"
#include "lookup.h"
#include "pools.h"
#include "reports.h"
#include "monitoring.h"
#include "search.h"
#include "servers.h"

#include <QFileInfo>

#include <cstdio>

namespace kelto {

namespace {

const VendorRegistry *vendorsOf(const Options &options)
{
    return options.vendors ? &*options.vendors : nullptr;
}

QString vendorOf(const Options &options, QStringView mac)
{
    return options.vendors ? options.vendors->vendorOf(mac) : QString();
}

int list(const Options &options, ScanResult &result, Utf8Output &out)
{
    switch (options.format) {
    case Format::Json:
        writeJson(out, options.file, result, options.now, vendorsOf(options));
        break;
    case Format::Csv:
    case Format::Tsv:
        writeTable(out, result.table,
                   options.format == Format::Csv ? TableFormat::Csv : TableFormat::Tsv,
                   options.now, vendorsOf(options));
        break;
    default:
        writeRows(out, result.table);
    }
    return Success;
}

int lookUp(const Options &options, ScanResult &result, Utf8Output &out)
{
    int status = Success;
    JsonWriter json(out);
    if (options.format == Format::Json)
        json.beginArray();
    else if (options.format == Format::Tsv)
        out << QLatin1StringView("number\tfound\taddress\thostname\tmac\tvendor\n");
    for (const QString &typed : options.arguments) {
        const LookupResult found = lookup(result.table, alignHostNumber(typed));
        const bool matched = found.row >= 0;
        if (!matched)
            status = NotFound;
        if (options.format == Format::Json) {
            json.beginObject();
            json.key(QLatin1StringView("number")).value(typed);
            json.key(QLatin1StringView("found")).value(matched);
            json.key(QLatin1StringView("address")).value(matched ? found.shown.address : QString());
            json.key(QLatin1StringView("hostname")).value(found.shown.hostName);
            json.key(QLatin1StringView("mac")).value(found.shown.mac);
            json.key(QLatin1StringView("vendor")).value(vendorOf(options, found.shown.mac));
            json.endObject();
        } else if (options.format == Format::Tsv) {
            writeTsvField(out, typed);
            out << QLatin1StringView(matched ? "\ttrue\t" : "\tfalse\t");
            writeTsvField(out, matched ? found.shown.address : QString());
            out << '\t';
            writeTsvField(out, found.shown.hostName);
            out << '\t';
            writeTsvField(out, found.shown.mac);
            out << '\t';
            writeTsvField(out, vendorOf(options, found.shown.mac));
            out << '\n';
        } else {
            out.field(found.shown.address) << '\t';
            out.field(found.shown.hostName) << '\t';
            out.field(found.shown.mac) << '\n';
        }
    }
    if (options.format == Format::Json) {
        json.endArray();
        json.finish();
    }
    return status;
}

int find(const Options &options, ScanResult &result, Utf8Output &out)
{
    const HostSearch search(options.arguments);
    const VendorRegistry *vendors = options.searchVendors ? vendorsOf(options) : nullptr;
    result.table.keepOnly(
        [&search, vendors](const HostRow &row) {
            return search.matches(row) || (vendors && search.isFoundIn(vendors->vendorOf(row.shownMac())));
        },
        result.isComplete());
    list(options, result, out);
    return result.table.isEmpty() ? NotFound : Success;
}

// A monitoring plugin's line for a file that could not be read to its end.
void writeNagiosScanFailure(Utf8Output &out, QLatin1StringView service, QLatin1StringView state,
                            const Options &options, const ScanResult &result)
{
    writeNagiosProblem(out, service, state,
                       QStringLiteral("%1: %2").arg(options.file, result.failure->description()));
}

// A scan that did not complete leaves out rows, so findings and free addresses would be
// wrong: check and free report only the failure.
int check(const Options &options, ScanResult &result, Utf8Output &out)
{
    if (!result.isComplete()) {
        if (options.format == Format::Nagios)
            writeNagiosScanFailure(out, QLatin1StringView("CHECK"), QLatin1StringView("CRITICAL"),
                                   options, result);
        return ScanFailed;
    }
    const HealthReport report = checkHealth(result.table, result.facts);
    if (options.format == Format::Json)
        writeHealthJson(out, options.file, report, options.now);
    else if (options.format == Format::Nagios)
        writeHealthNagios(out, report);
    else
        writeHealthText(out, report);
    return report.isEmpty() ? Success : NotFound;
}

// The pools of the file, each that cannot be read named on standard error.
PoolsReport poolsOf(const Options &options, const ScanResult &result)
{
    PoolsReport report = reportPools(result.facts, result.table, options.now);
    for (const PoolReading &reading : report.skipped)
        printError(QStringLiteral("%1: line %2: %3: %4, skipped")
                       .arg(options.file)
                       .arg(reading.setting->line)
                       .arg(reading.setting->name, reading.problem));
    if (report.pools.empty() && report.skipped.empty())
        printError(QStringLiteral("%1: no address pool (IPPOOL_n= in [SETTINGS]) to read")
                       .arg(options.file));
    return report;
}

int listFree(const Options &options, ScanResult &result, Utf8Output &out)
{
    if (!result.isComplete())
        return ScanFailed;
    const PoolsReport report = poolsOf(options, result);
    if (options.format == Format::Json)
        writeFreeJson(out, options.file, report);
    else
        writeFreeText(out, report);
    const bool exhausted = std::any_of(report.pools.begin(), report.pools.end(),
                                       [](const PoolStatus &pool) { return pool.free.empty(); });
    return report.pools.empty() || exhausted || !report.skipped.empty() ? NotFound : Success;
}

// What Prometheus is told of the file besides the pools.
ScanMetrics metricsOf(const Options &options, ScanResult &result)
{
    ScanMetrics metrics;
    metrics.complete = result.isComplete();
    metrics.clients = result.table.size();
    metrics.leases = result.facts.heldAddresses;
    metrics.now = options.now;
    if (const QFileInfo file(options.file); options.file != QLatin1StringView("-") && file.exists())
        metrics.modified = file.lastModified();
    if (metrics.complete) {
        result.table.sort();
        result.table.markRepeatedAddresses();
        metrics.health = checkHealth(result.table, result.facts);
    }
    return metrics;
}

int pools(const Options &options, ScanResult &result, Utf8Output &out)
{
    if (!result.isComplete()) {
        if (options.format == Format::Nagios)
            writeNagiosScanFailure(out, QLatin1StringView("POOLS"), QLatin1StringView("UNKNOWN"),
                                   options, result);
        if (options.format == Format::Prometheus)
            writePrometheus(out, nullptr, metricsOf(options, result));
        return Unknown;
    }
    const PoolsReport report = poolsOf(options, result);
    const std::vector<PoolState> states = judgePools(report, options.thresholds);
    const bool known = !report.pools.empty() && report.skipped.empty();
    switch (options.format) {
    case Format::Json:
        writePoolsJson(out, options.file, report, states);
        break;
    case Format::Csv:
    case Format::Tsv:
        writePoolsTable(out, report, options.format == Format::Csv ? TableFormat::Csv : TableFormat::Tsv);
        break;
    case Format::Nagios:
        if (known)
            writePoolsNagios(out, report, options.thresholds, states);
        else
            writeNagiosProblem(out, QLatin1StringView("POOLS"), QLatin1StringView("UNKNOWN"),
                               report.pools.empty() && report.skipped.empty()
                                   ? QStringLiteral("%1: no address pool").arg(options.file)
                                   : QStringLiteral("%1: %2 cannot be read")
                                         .arg(options.file, report.skipped.front().setting->name));
        break;
    case Format::Prometheus: {
        writePrometheus(out, &report, metricsOf(options, result));
        break;
    }
    default:
        writePoolsText(out, report);
    }
    if (!known)
        return Unknown;
    return int(*std::max_element(states.begin(), states.end()));
}

// Whether every file was read to its end: diff and compare tell nothing of files read in
// part, which would show clients as removed and findings that are not.
bool allComplete(const std::vector<ScanResult> &results)
{
    return std::all_of(results.begin(), results.end(),
                       [](const ScanResult &result) { return result.isComplete(); });
}

int diff(const Options &options, std::vector<ScanResult> &results, Utf8Output &out)
{
    if (!allComplete(results))
        return ScanFailed;
    const HostTable &oldTable = results[0].table;
    const HostTable &newTable = results[1].table;
    const FileChanges changes = diffFiles(oldTable, results[0].facts, newTable, results[1].facts);
    switch (options.format) {
    case Format::Json:
        writeChangesJson(out, options.arguments, oldTable, newTable, changes);
        break;
    case Format::Csv:
    case Format::Tsv:
        writeChangesTable(out, oldTable, newTable, changes,
                          options.format == Format::Csv ? TableFormat::Csv : TableFormat::Tsv);
        break;
    default:
        writeChangesText(out, oldTable, newTable, changes);
    }
    return changes.isEmpty() ? Success : NotFound;
}

int compare(const Options &options, std::vector<ScanResult> &results, Utf8Output &out)
{
    if (!allComplete(results))
        return ScanFailed;
    std::vector<ServerFile> servers;
    for (ScanResult &result : results) {
        result.table.sort();
        servers.push_back({&result.table, &result.facts});
    }
    const ServersReport report = compareServers(servers);
    for (const ServerPool &pool : report.skippedPools)
        printError(QStringLiteral("%1: line %2: %3 cannot be read, skipped")
                       .arg(options.arguments[qsizetype(pool.file)])
                       .arg(pool.setting->line)
                       .arg(pool.setting->name));
    if (options.format == Format::Json)
        writeServersJson(out, options.arguments, servers, report);
    else
        writeServersText(out, options.arguments, servers, report);
    return report.isEmpty() ? Success : NotFound;
}

} // namespace

QLatin1StringView formatName(Format format)
{
    switch (format) {
    case Format::Rows:
        return QLatin1StringView("rows");
    case Format::Text:
        return QLatin1StringView("text");
    case Format::Json:
        return QLatin1StringView("json");
    case Format::Csv:
        return QLatin1StringView("csv");
    case Format::Tsv:
        return QLatin1StringView("tsv");
    case Format::Nagios:
        return QLatin1StringView("nagios");
    case Format::Prometheus:
        return QLatin1StringView("prometheus");
    }
    return {};
}

bool usesVendors(const Options &options)
{
    const QLatin1StringView name = options.command->name;
    const Format format = options.format;
    const bool table = format == Format::Json || format == Format::Csv || format == Format::Tsv;
    return ((name == QLatin1StringView("list") || name == QLatin1StringView("find")) && table)
           || (name == QLatin1StringView("lookup") && format != Format::Text) || options.searchVendors;
}

ScanScope scopeOf(const Options &options)
{
    // The Prometheus output tells the health findings too, which need every fact.
    if (options.format == Format::Prometheus)
        return ScanScope::RowsAndFacts;
    return options.command->scope;
}

const std::vector<Command> &commands()
{
    using F = Format;
    static const std::vector<Command> all = {
        {QLatin1StringView("list"),
         {},
         QLatin1StringView("every row; \"* \" marks a row that repeats the address above it"),
         {F::Rows, F::Json, F::Csv, F::Tsv},
         ScanScope::Table,
         list},
        {QLatin1StringView("lookup"),
         QLatin1StringView("number"),
         QLatin1StringView("address, host name and MAC of the first row for each host\n"
                           "number (the last octet), separated by tabs"),
         {F::Text, F::Json, F::Tsv},
         ScanScope::Table,
         lookUp},
        {QLatin1StringView("find"),
         QLatin1StringView("text"),
         QLatin1StringView("the rows, as list shows them, whose address, host name or MAC\n"
                           "contains any TEXT, letter case aside; a TEXT of four or more hex\n"
                           "digits written as (part of) a MAC matches it in any notation\n"
                           "(find 1a:2b finds 00-1A-2B-33-44-55)"),
         {F::Rows, F::Json, F::Csv, F::Tsv},
         ScanScope::Rows,
         find},
        {QLatin1StringView("check"),
         {},
         QLatin1StringView("reservation health, one line per finding: an address held by\n"
                           "more than one client, a MAC heading more than one section, a host\n"
                           "name on more than one MAC, an address value that is not a dotted\n"
                           "IPv4 address, an address key the server reads but the table does\n"
                           "not (IpAddr=, IPADDR = ), a host name line before the address of\n"
                           "its section, a file with no [SETTINGS] and no client section;\n"
                           "prints nothing when all is well"),
         {F::Text, F::Json, F::Nagios},
         ScanScope::TableAndFacts,
         check},
        {QLatin1StringView("free"),
         {},
         QLatin1StringView("for each pool IPPOOL_n= of [SETTINGS] ($(Section\\Key) references\n"
                           "replaced), the addresses no client holds (192.168.10.24-30,\n"
                           "192.168.10.32), and the template sections that may assign them"),
         {F::Text, F::Json},
         ScanScope::RowsAndPoolFacts,
         listFree},
        {QLatin1StringView("pools"),
         {},
         QLatin1StringView("for each pool, and for all as one when they are one big pool\n"
                           "(AssociateBindsToPools=0): its size (less the server's own\n"
                           "IPBIND_n addresses), the addresses held (by lease: active,\n"
                           "expired, none), free, and the use; with --warning, --critical,\n"
                           "--warn-count and --crit-count a monitoring plugin: exit 0 OK,\n"
                           "1 WARNING, 2 CRITICAL, 3 UNKNOWN"),
         {F::Text, F::Json, F::Csv, F::Tsv, F::Nagios, F::Prometheus},
         ScanScope::RowsAndPoolFacts,
         pools,
         true},
        {QLatin1StringView("diff"),
         QLatin1StringView("file"),
         QLatin1StringView("the clients removed, added and changed (address, host name,\n"
                           "lease end) from the file OLD to NEW, and the pools; a client is\n"
                           "known by the MAC of its section, letter case aside; exit 0\n"
                           "nothing changed, 1 changes, 2 a file unreadable"),
         {F::Text, F::Json, F::Csv, F::Tsv},
         ScanScope::TableAndSettings,
         nullptr,
         false,
         diff,
         2},
        {QLatin1StringView("compare"),
         QLatin1StringView("file"),
         QLatin1StringView("where the files of two or more servers disagree: pools that\n"
                           "overlap, an address held for different MACs, a MAC holding\n"
                           "different addresses, an address of another server's pool that it\n"
                           "may offer; exit 0 none, 1 findings, 2 a file unreadable"),
         {F::Text, F::Json},
         ScanScope::RowsAndPoolFacts,
         nullptr,
         false,
         compare},
    };
    return all;
}

} // namespace kelto
