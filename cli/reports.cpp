#include "reports.h"

#include "jsonwriter.h"
#include "lookup.h"


#include <algorithm>
#include <limits>

namespace kelto {

namespace {

constexpr QLatin1StringView
    UnreadAddressKey("not read as an address: write the key as IPADDR= at the start of the line");
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

void writeHostsJson(JsonWriter &json, const HostTable &table, const RowList &rows)
{
    json.key(QLatin1StringView("hosts")).beginArray();
    for (const qsizetype row : rows)
        writeHostJson(json, table.row(row), table.isRepeated(row));
    json.endArray();
}

// The findings about single lines, in file order: bad address values, unread address
// keys, and host names before the address of their section.
template <typename OnProblem, typename OnUnread, typename OnNameBefore>
void forEachLineFinding(const HealthReport &report, OnProblem onProblem, OnUnread onUnread,
                        OnNameBefore onNameBefore)
{
    auto problem = report.addressProblems.begin();
    auto unread = report.unreadAddressKeys.begin();
    auto nameBefore = report.hostNamesBeforeAddress.begin();
    const auto lineOf = [](auto at, auto end) {
        return at == end ? std::numeric_limits<qsizetype>::max() : at->line;
    };
    for (;;) {
        const qsizetype problemLine = lineOf(problem, report.addressProblems.end());
        const qsizetype unreadLine = lineOf(unread, report.unreadAddressKeys.end());
        const qsizetype nameLine = lineOf(nameBefore, report.hostNamesBeforeAddress.end());
        const qsizetype first = std::min({problemLine, unreadLine, nameLine});
        if (first == std::numeric_limits<qsizetype>::max())
            return;
        if (first == problemLine)
            onProblem(*problem++);
        else if (first == unreadLine)
            onUnread(*unread++);
        else
            onNameBefore(*nameBefore++);
    }
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
        });
    if (report.notServerFile)
        out << NotServerFile << '\n';
}

void writeHealthJson(Utf8Output &out, const QString &file, const HealthReport &report)
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
        writeHostsJson(json, table, rows);
        json.endObject();
    }
    for (const SharedMac &mac : report.sharedMacs) {
        finding(QLatin1StringView("shared-mac"));
        json.key(QLatin1StringView("mac")).value(mac.text);
        json.key(QLatin1StringView("lines")).beginArray();
        for (const qsizetype line : mac.headerLines)
            json.value(qint64(line));
        json.endArray();
        writeHostsJson(json, table, mac.rows);
        json.endObject();
    }
    for (const RowList &rows : report.sharedHostNames) {
        finding(QLatin1StringView("shared-hostname"));
        json.key(QLatin1StringView("hostname")).value(fieldsOf(table.row(rows.front())).hostName);
        writeHostsJson(json, table, rows);
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

quint32 PoolReport::freeCount() const
{
    quint32 count = 0;
    for (const AddressRange &range : free)
        count += range.last - range.first + 1;
    return count;
}

void writeFreeText(Utf8Output &out, const std::vector<PoolReport> &pools)
{
    for (const PoolReport &pool : pools) {
        out.field(pool.setting->name) << ' ';
        out.field(pool.setting->value);
        if (pool.value != pool.setting->value)
            out.field(QLatin1StringView(" = ") + pool.value);
        out << QLatin1StringView(": ");
        writeNumber(out, pool.freeCount());
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

void writeFreeJson(Utf8Output &out, const QString &file, const std::vector<PoolReport> &pools)
{
    JsonWriter json(out);
    json.beginObject();
    json.key(QLatin1StringView("file")).value(file);
    json.key(QLatin1StringView("pools")).beginArray();
    for (const PoolReport &pool : pools) {
        json.beginObject();
        json.key(QLatin1StringView("name")).value(pool.setting->name);
        json.key(QLatin1StringView("line")).value(qint64(pool.setting->line));
        json.key(QLatin1StringView("value")).value(pool.setting->value);
        json.key(QLatin1StringView("read")).value(pool.value);
        json.key(QLatin1StringView("free")).value(qint64(pool.freeCount()));
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

} // namespace kelto
