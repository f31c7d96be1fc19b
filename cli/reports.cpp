#include "reports.h"

#include "json.h"
#include "ipv4.h"
#include "lookup.h"
#include "terminal.h"

#include <QStringList>

#include <algorithm>
#include <utility>

namespace kelto {

namespace {

// A field as it stands, or quoted and escaped when it holds a space, a quote or a
// control character: the fields are the file's text, which may hold anything, and a
// line of the report must neither split nor drive the terminal it is read on.
void writeField(Utf8Output &out, QStringView text)
{
    const bool plain = std::none_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() <= u' ' || c == u'"' || isControlCharacter(c.unicode());
    });
    if (plain)
        out << text;
    else
        writeJsonString(out, text);
}

// A row in a finding: its address, its host name in quotes and its MAC, if any.
void writeRowSummary(Utf8Output &out, const HostRow &row)
{
    const HostFields fields = fieldsOf(row);
    writeField(out, fields.address);
    out << ' ';
    writeJsonString(out, fields.hostName);
    if (!fields.mac.isEmpty()) {
        out << ' ';
        writeField(out, fields.mac);
    }
}

// "12, 40, 61"
template <typename T, typename WriteOne>
void writeList(Utf8Output &out, const std::vector<T> &items, WriteOne writeOne)
{
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            out << QLatin1StringView(", ");
        writeOne(items[i]);
    }
}

void writeRowSummaries(Utf8Output &out, const HostTable &table, const RowList &rows)
{
    writeList(out, rows, [&](qsizetype row) { writeRowSummary(out, table.row(row)); });
}

void writeAddressProblem(Utf8Output &out, const AddressLineProblem &problem)
{
    out << QLatin1StringView("line ");
    writeNumber(out, problem.line);
    out << QLatin1StringView(": address ");
    writeJsonString(out, problem.value);
    out << QLatin1StringView(" is not a dotted IPv4 address: ")
        << (problem.keyStartsLine
                ? describe(problem.problem)
                : QString(KeyNotAtLineStart))
        << '\n';
}

// "size 50, held 46 (active 30, expired 6, no lease end 10), free 4, use 92%"
void writeCounts(Utf8Output &out, const PoolCounts &counts)
{
    out << QLatin1StringView("size ");
    writeNumber(out, counts.size);
    out << QLatin1StringView(", held ");
    writeNumber(out, counts.held);
    out << QLatin1StringView(" (active ");
    writeNumber(out, counts.active);
    out << QLatin1StringView(", expired ");
    writeNumber(out, counts.expired);
    out << QLatin1StringView(", no lease end ");
    writeNumber(out, counts.noLeaseEnd);
    out << QLatin1StringView("), free ");
    writeNumber(out, counts.free());
    out << QLatin1StringView(", use ");
    writeNumber(out, counts.usePercent());
    out << QLatin1StringView("%\n");
}

} // namespace

void writeHealthText(Utf8Output &out, const HealthReport &report)
{
    const HostTable &table = *report.table;
    for (const RowList &rows : report.sharedAddresses) {
        out << QLatin1StringView("address ");
        writeField(out, fieldsOf(table.row(rows.front())).address);
        out << QLatin1StringView(" is held by ");
        writeNumber(out, qint64(rows.size()));
        out << QLatin1StringView(" clients: ");
        writeRowSummaries(out, table, rows);
        out << '\n';
    }
    for (const SharedMac &mac : report.sharedMacs) {
        out << QLatin1StringView("MAC ");
        writeField(out, mac.text);
        out << QLatin1StringView(" heads ");
        writeNumber(out, qint64(mac.headerLines.size()));
        out << QLatin1StringView(" client sections (lines ");
        writeList(out, mac.headerLines, [&](qsizetype line) { writeNumber(out, line); });
        out << QLatin1StringView(mac.rows.empty() ? ")" : "): ");
        writeRowSummaries(out, table, mac.rows);
        out << '\n';
    }
    for (const RowList &rows : report.sharedHostNames) {
        out << QLatin1StringView("host name ");
        writeJsonString(out, fieldsOf(table.row(rows.front())).hostName);
        out << QLatin1StringView(" is on more than one MAC: ");
        writeRowSummaries(out, table, rows);
        out << '\n';
    }
    forEachLineFinding(
        report, [&out](const AddressLineProblem &problem) { writeAddressProblem(out, problem); },
        [&out](const KeyLine &key) {
            out << QLatin1StringView("line ");
            writeNumber(out, key.line);
            out << QLatin1StringView(": ");
            writeJsonString(out, key.text);
            out << QLatin1StringView(" is ") << UnreadAddressKey << '\n';
        },
        [&out](const HostNameBeforeAddress &name) {
            out << QLatin1StringView("line ");
            writeNumber(out, name.line);
            out << QLatin1StringView(": host name ");
            writeJsonString(out, name.hostName);
            out << QLatin1StringView(" stands before the address of its section: the table shows ");
            if (name.shownHostName.isEmpty()) {
                out << QLatin1StringView("no host name");
            } else {
                writeJsonString(out, name.shownHostName);
            }
            out << QLatin1StringView(" for ");
            writeField(out, name.address);
            out << '\n';
        },
        [&out](const KeyLine &lease) {
            out << QLatin1StringView("line ");
            writeNumber(out, lease.line);
            out << QLatin1StringView(": LeaseEnd ");
            writeJsonString(out, lease.text);
            out << QLatin1StringView(" is ") << BadLeaseEnd << '\n';
        });
    if (report.notServerFile)
        out << NotServerFile << '\n';
}

void writeFreeText(Utf8Output &out, const PoolsReport &report)
{
    for (const PoolStatus &pool : report.pools) {
        out.field(pool.setting->name) << ' ';
        out.field(pool.setting->value);
        if (pool.value != pool.setting->value)
            out.field(QLatin1StringView(" = ") + pool.value);
        out << QLatin1StringView(": ");
        writeNumber(out, pool.counts.free());
        out << QLatin1StringView(" free");
        if (!pool.free.empty())
            out << QLatin1StringView(": ") << compactRanges(pool.free);
        out << '\n';
        for (const KeyLine &address : pool.templates) {
            out << QLatin1StringView("  a template section may assign addresses here: line ");
            writeNumber(out, address.line);
            out << QLatin1StringView(", ");
            writeField(out, address.text);
            out << '\n';
        }
    }
}

void writePoolsText(Utf8Output &out, const PoolsReport &report)
{
    for (const PoolStatus &pool : report.pools) {
        out.field(pool.setting->name) << ' ';
        out.field(pool.value) << QLatin1StringView(": ");
        writeCounts(out, pool.counts);
    }
    if (report.oneBigPool && !report.pools.empty()) {
        out << QLatin1StringView("all pools, as one: ");
        writeCounts(out, report.total);
    }
}

namespace {

// ", line 12" or ", old line 12": where a client of the diff stands; nothing when its row
// has neither MAC nor host name.
void writeLine(Utf8Output &out, QLatin1StringView which, qsizetype line)
{
    if (line <= 0)
        return;
    out << QLatin1StringView(", ") << which << QLatin1StringView("line ");
    writeNumber(out, line);
}

QString leaseEndText(const HostTable &table, qsizetype row)
{
    const QString end = leaseOf(table, row, 0).end;
    return end.isEmpty() ? QStringLiteral("none") : end;
}

// " address 192.168.1.5 -> 192.168.1.9"
void writeFieldChange(Utf8Output &out, bool &first, QLatin1StringView name, QStringView before,
                      QStringView after, bool quoted)
{
    out << QLatin1StringView(std::exchange(first, false) ? ": " : ", ") << name << ' ';
    const auto write = [&](QStringView text) {
        if (quoted)
            writeJsonString(out, text);
        else
            writeField(out, text);
    };
    write(before);
    out << QLatin1StringView(" -> ");
    write(after);
}

void writeClientChange(Utf8Output &out, const HostTable &oldTable, const HostTable &newTable,
                       const ChangedClient &client)
{
    const HostFields before = fieldsOf(oldTable.row(client.before.row));
    const HostFields after = fieldsOf(newTable.row(client.after.row));
    out << QLatin1StringView("changed ");
    writeField(out, after.mac);
    writeLine(out, {}, client.after.line);
    writeLine(out, QLatin1StringView("old "), client.before.line);
    bool first = true;
    if (client.address)
        writeFieldChange(out, first, QLatin1StringView("address"), before.address, after.address, false);
    if (client.hostName)
        writeFieldChange(out, first, QLatin1StringView("host name"), before.hostName,
                         after.hostName, true);
    if (client.leaseEnd)
        writeFieldChange(out, first, QLatin1StringView("lease end"),
                         leaseEndText(oldTable, client.before.row),
                         leaseEndText(newTable, client.after.row), false);
    out << '\n';
}

void writePoolChange(Utf8Output &out, const PoolChange &pool)
{
    const PoolSetting &setting = pool.newSetting ? *pool.newSetting : *pool.oldSetting;
    out << QLatin1StringView(!pool.oldSetting   ? "pool added "
                             : !pool.newSetting ? "pool removed "
                                                : "pool changed ");
    writeField(out, setting.name);
    out << ' ';
    if (pool.oldSetting && pool.newSetting) {
        writeJsonString(out, pool.oldValue);
        out << QLatin1StringView(" -> ");
    }
    writeJsonString(out, pool.newSetting ? pool.newValue : pool.oldValue);
    if (pool.newSetting)
        writeLine(out, {}, pool.newSetting->line);
    if (pool.oldSetting)
        writeLine(out, QLatin1StringView("old "), pool.oldSetting->line);
    out << '\n';
}

// "a.ini line 12 192.168.1.20 "printer" 00-1a-2b-33-44-55"
void writeServerRow(Utf8Output &out, const QStringList &files,
                    const std::vector<ServerFile> &servers, const ServerRow &row)
{
    writeField(out, files[qsizetype(row.file)]);
    if (row.line > 0) {
        out << QLatin1StringView(" line ");
        writeNumber(out, row.line);
    }
    out << ' ';
    writeRowSummary(out, servers[row.file].table->row(row.row));
}

// "IPPOOL_1 of b.ini (line 5)"
void writeServerPool(Utf8Output &out, const QStringList &files, const ServerPool &pool)
{
    writeField(out, pool.setting->name);
    out << ' ';
    writeJsonString(out, pool.setting->value);
    out << QLatin1StringView(" of ");
    writeField(out, files[qsizetype(pool.file)]);
    out << QLatin1StringView(" (line ");
    writeNumber(out, pool.setting->line);
    out << ')';
}

} // namespace

void writeChangesText(Utf8Output &out, const HostTable &oldTable, const HostTable &newTable,
                      const FileChanges &changes)
{
    const auto writeClient = [&](QLatin1StringView change, const HostTable &table,
                                 const ClientRow &client, QLatin1StringView which) {
        out << change;
        writeRowSummary(out, table.row(client.row));
        writeLine(out, which, client.line);
        out << '\n';
    };
    for (const ClientRow &client : changes.removed)
        writeClient(QLatin1StringView("removed "), oldTable, client, QLatin1StringView("old "));
    for (const ClientRow &client : changes.added)
        writeClient(QLatin1StringView("added "), newTable, client, {});
    for (const ChangedClient &client : changes.changed)
        writeClientChange(out, oldTable, newTable, client);
    for (const PoolChange &pool : changes.pools)
        writePoolChange(out, pool);
}

void writeServersText(Utf8Output &out, const QStringList &files,
                      const std::vector<ServerFile> &servers, const ServersReport &report)
{
    const auto writeRows = [&](const std::vector<ServerRow> &rows) {
        writeList(out, rows, [&](const ServerRow &row) { writeServerRow(out, files, servers, row); });
    };
    for (const PoolOverlap &overlap : report.overlappingPools) {
        out << QLatin1StringView("pools overlap: ");
        writeServerPool(out, files, overlap.first);
        out << QLatin1StringView(" and ");
        writeServerPool(out, files, overlap.second);
        out << QLatin1StringView(" may both offer ") << compactRanges(overlap.addresses) << '\n';
    }
    for (const AddressAcrossServers &address : report.sharedAddresses) {
        out << QLatin1StringView("address ") << dottedAddress(address.address)
            << QLatin1StringView(" is held for different MACs on different servers: ");
        writeRows(address.rows);
        out << '\n';
    }
    for (const MacAcrossServers &mac : report.macsWithOtherAddresses) {
        out << QLatin1StringView("MAC ");
        writeField(out, mac.mac);
        out << QLatin1StringView(" holds different addresses on different servers: ");
        writeRows(mac.rows);
        out << '\n';
    }
    for (const AddressInOtherPool &found : report.addressesInOtherPools) {
        out << QLatin1StringView("address ") << dottedAddress(found.address)
            << QLatin1StringView(" lies in the pool ");
        writeServerPool(out, files, found.pool);
        out << QLatin1StringView(", which holds it for no client and may offer it: ");
        writeServerRow(out, files, servers, found.row);
        out << '\n';
    }
}

} // namespace kelto
