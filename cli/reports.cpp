#include "reports.h"

#include "lookup.h"

#include <algorithm>

namespace kelto {

namespace {

constexpr QLatin1StringView
    UnreadAddressKey("not read as an address: write the key as IPADDR= at the start of the line");
constexpr QLatin1StringView
    NotServerFile("no server settings and no client sections: is this the server's dhcpsrv.ini?");

// A field as it stands, or quoted and escaped when it holds a space or a control
// character: the fields are the file's text, which may hold anything, and a line of
// the report must neither split nor drive the terminal it is read on.
void writeField(Utf8Output &out, QStringView text)
{
    const bool plain = std::none_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() <= u' ' || c.unicode() == 0x7f || c == u'"';
    });
    if (plain)
        out << text;
    else
        out.appendJsonString(text);
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

void writeRowSummaries(Utf8Output &out, const HostTable &table, const RowList &rows)
{
    for (size_t i = 0; i < rows.size(); ++i) {
        out << QLatin1StringView(i == 0 ? "" : ", ");
        writeRowSummary(out, table.row(rows[i]));
    }
}

void writeNumber(Utf8Output &out, qint64 number)
{
    out << QLatin1StringView(QByteArray::number(number));
}

// 12, 40, 61
void writeNumbers(Utf8Output &out, const std::vector<qsizetype> &numbers)
{
    for (size_t i = 0; i < numbers.size(); ++i) {
        out << QLatin1StringView(i == 0 ? "" : ", ");
        writeNumber(out, numbers[i]);
    }
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

void writeHostsJson(Utf8Output &out, const HostTable &table, const RowList &rows)
{
    out << QLatin1StringView(", \"hosts\": [");
    for (size_t i = 0; i < rows.size(); ++i) {
        out << QLatin1StringView(i == 0 ? "\n    " : ",\n    ");
        writeHostJson(out, table.row(rows[i]), table.isRepeated(rows[i]));
    }
    out << QLatin1StringView("]}");
}

// The findings about single lines, bad address values and unread address keys, in
// file order.
template <typename OnProblem, typename OnUnread>
void forEachLineFinding(const HealthReport &report, OnProblem onProblem, OnUnread onUnread)
{
    auto problem = report.addressProblems.begin();
    auto unread = report.unreadAddressKeys.begin();
    while (problem != report.addressProblems.end() || unread != report.unreadAddressKeys.end()) {
        if (unread == report.unreadAddressKeys.end()
            || (problem != report.addressProblems.end() && problem->line < unread->line))
            onProblem(*problem++);
        else
            onUnread(*unread++);
    }
}

// Writes the separator before the next finding of a JSON array.
class JsonList
{
public:
    explicit JsonList(Utf8Output &out) : m_out(out) { }
    void next() { m_out << QLatin1StringView(std::exchange(m_first, false) ? "\n  " : ",\n  "); }
    void end() { m_out << QLatin1StringView(m_first ? "]}\n" : "\n]}\n"); }

private:
    Utf8Output &m_out;
    bool m_first = true;
};

} // namespace

void writeHealthText(Utf8Output &out, const HostTable &table, const MacKeys &macKeys,
                     const HealthReport &report)
{
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
        writeField(out, macKeys.textOf(mac.mac));
        out << QLatin1StringView(" heads ");
        writeNumber(out, qint64(mac.headerLines.size()));
        out << QLatin1StringView(" client sections (lines ");
        writeNumbers(out, mac.headerLines);
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
        });
    if (report.notServerFile)
        out << NotServerFile << '\n';
}

void writeHealthJson(Utf8Output &out, const QString &file, const HostTable &table,
                     const MacKeys &macKeys, const HealthReport &report)
{
    out << QLatin1StringView("{\"file\": ");
    out.appendJsonString(file);
    out << QLatin1StringView(", \"findings\": [");
    JsonList findings(out);
    // A finding about rows that share one field: its kind and the field, then the rows.
    const auto writeSharedField
        = [&](QLatin1StringView head, const QString &value, const RowList &rows) {
              findings.next();
              out << head;
              out.appendJsonString(value);
              writeHostsJson(out, table, rows);
          };
    for (const RowList &rows : report.sharedAddresses) {
        writeSharedField(QLatin1StringView("{\"kind\": \"shared-address\", \"address\": "),
                         fieldsOf(table.row(rows.front())).address, rows);
    }
    for (const SharedMac &mac : report.sharedMacs) {
        findings.next();
        out << QLatin1StringView("{\"kind\": \"shared-mac\", \"mac\": ");
        out.appendJsonString(macKeys.textOf(mac.mac));
        out << QLatin1StringView(", \"lines\": [");
        writeNumbers(out, mac.headerLines);
        out << ']';
        writeHostsJson(out, table, mac.rows);
    }
    for (const RowList &rows : report.sharedHostNames) {
        writeSharedField(QLatin1StringView("{\"kind\": \"shared-hostname\", \"hostname\": "),
                         fieldsOf(table.row(rows.front())).hostName, rows);
    }
    forEachLineFinding(
        report,
        [&](const AddressLineProblem &problem) {
            findings.next();
            out << QLatin1StringView("{\"kind\": \"bad-address\", \"line\": ");
            writeNumber(out, problem.line);
            out << QLatin1StringView(", \"value\": ");
            out.appendJsonString(problem.value);
            out << QLatin1StringView(", \"keyStartsLine\": ")
                << QLatin1StringView(problem.keyStartsLine ? "true" : "false")
                << QLatin1StringView(", \"reason\": ");
            out.appendJsonString(describe(problem.problem));
            out << '}';
        },
        [&](const KeyLine &key) {
            findings.next();
            out << QLatin1StringView("{\"kind\": \"unread-address-key\", \"line\": ");
            writeNumber(out, key.line);
            out << QLatin1StringView(", \"text\": ");
            out.appendJsonString(key.text);
            out << QLatin1StringView(", \"reason\": \"") << UnreadAddressKey
                << QLatin1StringView("\"}");
        });
    if (report.notServerFile) {
        findings.next();
        out << QLatin1StringView("{\"kind\": \"not-server-file\", \"reason\": \"") << NotServerFile
            << QLatin1StringView("\"}");
    }
    findings.end();
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
        out << pool.setting->name << ' ' << pool.setting->value;
        if (pool.value != pool.setting->value)
            out << QLatin1StringView(" = ") << pool.value;
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
    out << QLatin1StringView("{\"file\": ");
    out.appendJsonString(file);
    out << QLatin1StringView(", \"pools\": [");
    JsonList list(out);
    for (const PoolReport &pool : pools) {
        list.next();
        out << QLatin1StringView("{\"name\": ");
        out.appendJsonString(pool.setting->name);
        out << QLatin1StringView(", \"line\": ");
        writeNumber(out, pool.setting->line);
        out << QLatin1StringView(", \"value\": ");
        out.appendJsonString(pool.setting->value);
        out << QLatin1StringView(", \"read\": ");
        out.appendJsonString(pool.value);
        out << QLatin1StringView(", \"free\": ");
        writeNumber(out, pool.freeCount());
        out << QLatin1StringView(", \"ranges\": [");
        for (size_t i = 0; i < pool.free.size(); ++i) {
            out << QLatin1StringView(i == 0 ? "{\"first\": \"" : ", {\"first\": \"")
                << dottedAddress(pool.free[i].first) << QLatin1StringView("\", \"last\": \"")
                << dottedAddress(pool.free[i].last) << QLatin1StringView("\"}");
        }
        out << QLatin1StringView("], \"templates\": [");
        for (size_t i = 0; i < pool.templates.size(); ++i) {
            out << QLatin1StringView(i == 0 ? "{\"line\": " : ", {\"line\": ");
            writeNumber(out, pool.templates[i].line);
            out << QLatin1StringView(", \"value\": ");
            out.appendJsonString(pool.templates[i].text);
            out << '}';
        }
        out << QLatin1StringView("]}");
    }
    list.end();
}

} // namespace kelto
