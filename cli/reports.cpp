#include "reports.h"

#include "json.h"
#include "lookup.h"
#include "terminal.h"

#include <algorithm>

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
                : QStringLiteral("IPADDR= does not start the line, so the value is read "
                                 "from column 8"))
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

} // namespace kelto
