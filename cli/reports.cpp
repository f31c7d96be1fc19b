#include "reports.h"

#include "jsonwriter.h"
#include "lookup.h"


#include <algorithm>
#include <iterator>
#include <limits>

namespace kelto {

namespace {

constexpr QLatin1StringView
    UnreadAddressKey("not read as an address: write the key as IPADDR= at the start of the line");
constexpr QLatin1StringView
    BadLeaseEnd("not a lease end: seconds since 1970 (UTC) expected, 0 for none");
constexpr QLatin1StringView
    NotServerFile("no server settings and no client sections: is this the server's dhcpsrv.ini?");

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
        out.appendJsonString(text);
}

void writeNumber(Utf8Output &out, qint64 number)
{
    out << QLatin1StringView(QByteArray::number(number));
}

// A row in a finding: its address, its host name in quotes and its MAC, if any.
void writeRowSummary(Utf8Output &out, const HostRow &row)
{
    const HostFields fields = fieldsOf(row);
    writeField(out, fields.address);
    out << ' ';
    out.appendJsonString(fields.hostName);
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
    out.appendJsonString(problem.value);
    out << QLatin1StringView(" is not a dotted IPv4 address: ")
        << (problem.keyStartsLine
                ? describe(problem.problem)
                : QStringLiteral("IPADDR= does not start the line, so the value is read "
                                 "from column 8"))
        << '\n';
}

void writeHostsJson(JsonWriter &json, const HostTable &table, const RowList &rows, qint64 now)
{
    json.key(QLatin1StringView("hosts")).beginArray();
    for (const qsizetype row : rows)
        writeHostJson(json, table, row, now);
    json.endArray();
}

// The findings about single lines, in file order: bad address values, unread address
// keys, host names before the address of their section, and bad lease ends.
template <typename OnProblem, typename OnUnread, typename OnNameBefore, typename OnLease>
void forEachLineFinding(const HealthReport &report, OnProblem onProblem, OnUnread onUnread,
                        OnNameBefore onNameBefore, OnLease onLease)
{
    auto problem = report.addressProblems.begin();
    auto unread = report.unreadAddressKeys.begin();
    auto nameBefore = report.hostNamesBeforeAddress.begin();
    auto lease = report.badLeaseEnds.begin();
    const auto lineOf = [](auto at, auto end) {
        return at == end ? std::numeric_limits<qsizetype>::max() : at->line;
    };
    for (;;) {
        const qsizetype lines[] = {lineOf(problem, report.addressProblems.end()),
                                   lineOf(unread, report.unreadAddressKeys.end()),
                                   lineOf(nameBefore, report.hostNamesBeforeAddress.end()),
                                   lineOf(lease, report.badLeaseEnds.end())};
        const auto first = std::min_element(std::begin(lines), std::end(lines));
        if (*first == std::numeric_limits<qsizetype>::max())
            return;
        switch (first - std::begin(lines)) {
        case 0:
            onProblem(*problem++);
            break;
        case 1:
            onUnread(*unread++);
            break;
        case 2:
            onNameBefore(*nameBefore++);
            break;
        default:
            onLease(*lease++);
        }
    }
}

} // namespace

std::vector<FindingCount> findingCounts(const HealthReport &report)
{
    return {{QLatin1StringView("shared-address"), qsizetype(report.sharedAddresses.size())},
            {QLatin1StringView("shared-mac"), qsizetype(report.sharedMacs.size())},
            {QLatin1StringView("shared-hostname"), qsizetype(report.sharedHostNames.size())},
            {QLatin1StringView("bad-address"), qsizetype(report.addressProblems.size())},
            {QLatin1StringView("unread-address-key"), qsizetype(report.unreadAddressKeys.size())},
            {QLatin1StringView("host-name-before-address"),
             qsizetype(report.hostNamesBeforeAddress.size())},
            {QLatin1StringView("bad-lease-end"), qsizetype(report.badLeaseEnds.size())},
            {QLatin1StringView("not-server-file"), report.notServerFile ? 1 : 0}};
}

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
        out.appendJsonString(fieldsOf(table.row(rows.front())).hostName);
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
            out.appendJsonString(key.text);
            out << QLatin1StringView(" is ") << UnreadAddressKey << '\n';
        },
        [&out](const HostNameBeforeAddress &name) {
            out << QLatin1StringView("line ");
            writeNumber(out, name.line);
            out << QLatin1StringView(": host name ");
            out.appendJsonString(name.hostName);
            out << QLatin1StringView(" stands before the address of its section: the table shows ");
            if (name.shownHostName.isEmpty()) {
                out << QLatin1StringView("no host name");
            } else {
                out.appendJsonString(name.shownHostName);
            }
            out << QLatin1StringView(" for ");
            writeField(out, name.address);
            out << '\n';
        },
        [&out](const KeyLine &lease) {
            out << QLatin1StringView("line ");
            writeNumber(out, lease.line);
            out << QLatin1StringView(": LeaseEnd ");
            out.appendJsonString(lease.text);
            out << QLatin1StringView(" is ") << BadLeaseEnd << '\n';
        });
    if (report.notServerFile)
        out << NotServerFile << '\n';
}

void writeHealthJson(Utf8Output &out, const QString &file, const HealthReport &report,
                     qint64 now)
{
    const HostTable &table = *report.table;
    JsonWriter json(out);
    json.beginObject();
    json.key(QLatin1StringView("file")).value(file);
    json.key(QLatin1StringView("findings")).beginArray();
    const auto finding = [&json](QLatin1StringView kind) {
        json.beginObject();
        json.key(QLatin1StringView("kind")).value(kind);
    };
    for (const RowList &rows : report.sharedAddresses) {
        finding(QLatin1StringView("shared-address"));
        json.key(QLatin1StringView("address")).value(fieldsOf(table.row(rows.front())).address);
        writeHostsJson(json, table, rows, now);
        json.endObject();
    }
    for (const SharedMac &mac : report.sharedMacs) {
        finding(QLatin1StringView("shared-mac"));
        json.key(QLatin1StringView("mac")).value(mac.text);
        json.key(QLatin1StringView("lines")).beginArray();
        for (const qsizetype line : mac.headerLines)
            json.value(qint64(line));
        json.endArray();
        writeHostsJson(json, table, mac.rows, now);
        json.endObject();
    }
    for (const RowList &rows : report.sharedHostNames) {
        finding(QLatin1StringView("shared-hostname"));
        json.key(QLatin1StringView("hostname")).value(fieldsOf(table.row(rows.front())).hostName);
        writeHostsJson(json, table, rows, now);
        json.endObject();
    }
    forEachLineFinding(
        report,
        [&](const AddressLineProblem &problem) {
            finding(QLatin1StringView("bad-address"));
            json.key(QLatin1StringView("line")).value(qint64(problem.line));
            json.key(QLatin1StringView("value")).value(problem.value);
            json.key(QLatin1StringView("keyStartsLine")).value(problem.keyStartsLine);
            json.key(QLatin1StringView("reason")).value(describe(problem.problem));
            json.endObject();
        },
        [&](const KeyLine &key) {
            finding(QLatin1StringView("unread-address-key"));
            json.key(QLatin1StringView("line")).value(qint64(key.line));
            json.key(QLatin1StringView("text")).value(key.text);
            json.key(QLatin1StringView("reason")).value(UnreadAddressKey);
            json.endObject();
        },
        [&](const HostNameBeforeAddress &name) {
            finding(QLatin1StringView("host-name-before-address"));
            json.key(QLatin1StringView("line")).value(qint64(name.line));
            json.key(QLatin1StringView("hostname")).value(name.hostName);
            json.key(QLatin1StringView("address")).value(name.address);
            json.key(QLatin1StringView("shownHostname")).value(name.shownHostName);
            json.endObject();
        },
        [&](const KeyLine &lease) {
            finding(QLatin1StringView("bad-lease-end"));
            json.key(QLatin1StringView("line")).value(qint64(lease.line));
            json.key(QLatin1StringView("value")).value(lease.text);
            json.key(QLatin1StringView("reason")).value(BadLeaseEnd);
            json.endObject();
        });
    if (report.notServerFile) {
        finding(QLatin1StringView("not-server-file"));
        json.key(QLatin1StringView("reason")).value(NotServerFile);
        json.endObject();
    }
    json.endArray();
    json.endObject();
    json.finish();
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

void writeFreeJson(Utf8Output &out, const QString &file, const PoolsReport &report)
{
    JsonWriter json(out);
    json.beginObject();
    json.key(QLatin1StringView("file")).value(file);
    json.key(QLatin1StringView("pools")).beginArray();
    for (const PoolStatus &pool : report.pools) {
        json.beginObject();
        json.key(QLatin1StringView("name")).value(pool.setting->name);
        json.key(QLatin1StringView("line")).value(qint64(pool.setting->line));
        json.key(QLatin1StringView("value")).value(pool.setting->value);
        json.key(QLatin1StringView("read")).value(pool.value);
        json.key(QLatin1StringView("free")).value(qint64(pool.counts.free()));
        json.key(QLatin1StringView("ranges")).beginArray();
        for (const AddressRange &range : pool.free) {
            json.beginObject();
            json.key(QLatin1StringView("first")).value(dottedAddress(range.first));
            json.key(QLatin1StringView("last")).value(dottedAddress(range.last));
            json.endObject();
        }
        json.endArray();
        json.key(QLatin1StringView("templates")).beginArray();
        for (const KeyLine &address : pool.templates) {
            json.beginObject();
            json.key(QLatin1StringView("line")).value(qint64(address.line));
            json.key(QLatin1StringView("value")).value(address.text);
            json.endObject();
        }
        json.endArray();
        json.endObject();
    }
    json.endArray();
    json.endObject();
    json.finish();
}

namespace {

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

void writeCountsJson(JsonWriter &json, const PoolCounts &counts)
{
    json.key(QLatin1StringView("size")).value(qint64(counts.size));
    json.key(QLatin1StringView("held")).value(qint64(counts.held));
    json.key(QLatin1StringView("active")).value(qint64(counts.active));
    json.key(QLatin1StringView("expired")).value(qint64(counts.expired));
    json.key(QLatin1StringView("noLeaseEnd")).value(qint64(counts.noLeaseEnd));
    json.key(QLatin1StringView("free")).value(qint64(counts.free()));
    json.key(QLatin1StringView("usePercent")).value(qint64(counts.usePercent()));
}

} // namespace

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

void writePoolsJson(Utf8Output &out, const QString &file, const PoolsReport &report,
                    const std::vector<PoolState> &states)
{
    JsonWriter json(out);
    json.beginObject();
    json.key(QLatin1StringView("file")).value(file);
    json.key(QLatin1StringView("oneBigPool")).value(report.oneBigPool);
    json.key(QLatin1StringView("pools")).beginArray();
    for (size_t i = 0; i < report.pools.size(); ++i) {
        const PoolStatus &pool = report.pools[i];
        json.beginObject();
        json.key(QLatin1StringView("name")).value(pool.setting->name);
        json.key(QLatin1StringView("line")).value(qint64(pool.setting->line));
        json.key(QLatin1StringView("value")).value(pool.setting->value);
        json.key(QLatin1StringView("read")).value(pool.value);
        writeCountsJson(json, pool.counts);
        if (!report.oneBigPool)
            json.key(QLatin1StringView("state")).value(stateName(states[i]));
        json.endObject();
    }
    json.endArray();
    if (report.oneBigPool) {
        json.key(QLatin1StringView("total")).beginObject();
        writeCountsJson(json, report.total);
        json.key(QLatin1StringView("state")).value(stateName(states.back()));
        json.endObject();
    }
    json.endObject();
    json.finish();
}

void writePoolsTable(Utf8Output &out, const PoolsReport &report, TableFormat format)
{
    const char separator = format == TableFormat::Csv ? ',' : '\t';
    const QLatin1StringView lineEnd(format == TableFormat::Csv ? "\r\n" : "\n");
    const auto writeLine = [&](QStringView name, QStringView value, const PoolCounts &c) {
        writeTableField(out, name, format);
        out << separator;
        writeTableField(out, value, format);
        for (const quint32 n : {c.size, c.held, c.active, c.expired, c.noLeaseEnd, c.free(),
                                quint32(c.usePercent())}) {
            out << separator;
            writeNumber(out, n);
        }
        out << lineEnd;
    };
    out << QLatin1StringView(format == TableFormat::Csv
                                 ? "pool,value,size,held,active,expired,noLeaseEnd,free,usePercent"
                                 : "pool\tvalue\tsize\theld\tactive\texpired\tnoLeaseEnd\tfree\tusePercent")
        << lineEnd;
    for (const PoolStatus &pool : report.pools)
        writeLine(pool.setting->name, pool.value, pool.counts);
    if (report.oneBigPool && !report.pools.empty())
        writeLine(u"total", QStringView(), report.total);
}

} // namespace kelto
