#include "tables.h"

#include "lookup.h"

namespace kelto {

namespace {

constexpr std::array<QLatin1StringView, 6> ExportColumns
    = {QLatin1StringView("address"), QLatin1StringView("hostname"), QLatin1StringView("mac"),
       QLatin1StringView("duplicate"), QLatin1StringView("leaseEnd"), QLatin1StringView("lease")};

constexpr std::array<QLatin1StringView, 13> ChangeColumns = {
    QLatin1StringView("change"),     QLatin1StringView("line"),        QLatin1StringView("oldLine"),
    QLatin1StringView("mac"),        QLatin1StringView("address"),     QLatin1StringView("hostname"),
    QLatin1StringView("leaseEnd"),   QLatin1StringView("oldAddress"),  QLatin1StringView("oldHostname"),
    QLatin1StringView("oldLeaseEnd"), QLatin1StringView("pool"),       QLatin1StringView("value"),
    QLatin1StringView("oldValue")};

template <size_t N>
void writeHeader(Utf8Output &out, const std::array<QLatin1StringView, N> &columns,
                 char separator, QLatin1StringView lineEnd)
{
    for (size_t i = 0; i < N; ++i) {
        if (i > 0)
            out << separator;
        out << columns[i];
    }
    out << lineEnd;
}

// A CSV field (RFC 4180): quoted when it holds a comma, a quote or a line end, quotes
// doubled. A field that a spreadsheet would run as a formula gets a leading "'".
void writeCsvField(Utf8Output &out, QStringView field)
{
    const bool formula
        = !field.isEmpty()
          && (field[0] == u'=' || field[0] == u'+' || field[0] == u'-' || field[0] == u'@');
    const bool quote = std::any_of(field.begin(), field.end(), [](QChar c) {
        return c == u',' || c == u'"' || c == u'\r' || c == u'\n';
    });
    if (quote)
        out << '"';
    if (formula)
        out << '\'';
    qsizetype plain = 0;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == u'"') {
            out.field(field.sliced(plain, i + 1 - plain)) << '"';
            plain = i + 1;
        }
    }
    out.field(field.sliced(plain));
    if (quote)
        out << '"';
}

} // namespace

void writeTsvField(Utf8Output &out, QStringView field)
{
    qsizetype plain = 0;
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char16_t c = field[i].unicode();
        const char *escaped = c == u'\\'   ? "\\\\"
                              : c == u'\t' ? "\\t"
                              : c == u'\n' ? "\\n"
                              : c == u'\r' ? "\\r"
                                           : nullptr;
        if (!escaped)
            continue;
        out.field(field.sliced(plain, i - plain)) << QLatin1StringView(escaped);
        plain = i + 1;
    }
    out.field(field.sliced(plain));
}

void writeTableField(Utf8Output &out, QStringView field, TableFormat format)
{
    if (format == TableFormat::Csv)
        writeCsvField(out, field);
    else
        writeTsvField(out, field);
}

void writeTable(Utf8Output &out, const HostTable &table, TableFormat format, qint64 now,
                const VendorRegistry *vendors)
{
    const char separator = format == TableFormat::Csv ? ',' : '\t';
    // CSV lines end in CRLF, as its RFC says, on every system.
    const QLatin1StringView lineEnd(format == TableFormat::Csv ? "\r\n" : "\n");
    const auto writeField = format == TableFormat::Csv ? writeCsvField : writeTsvField;
    writeHeader(out, ExportColumns, separator, vendors ? QLatin1StringView() : lineEnd);
    if (vendors)
        out << separator << QLatin1StringView("vendor") << lineEnd;
    table.forEachRow([&](qsizetype i, const HostRow &row, bool repeated) {
        const HostFields fields = fieldsOf(row);
        const RowLease lease = leaseOf(table, i, now);
        writeField(out, fields.address);
        out << separator;
        writeField(out, fields.hostName);
        out << separator;
        writeField(out, fields.mac);
        out << separator << QLatin1StringView(repeated ? "true" : "false") << separator
            << lease.end << separator << lease.state;
        if (vendors) {
            out << separator;
            writeField(out, vendors->vendorOf(fields.mac));
        }
        out << lineEnd;
    });
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

void writeChangesTable(Utf8Output &out, const HostTable &oldTable, const HostTable &newTable,
                       const FileChanges &changes, TableFormat format)
{
    const char separator = format == TableFormat::Csv ? ',' : '\t';
    const QLatin1StringView lineEnd(format == TableFormat::Csv ? "\r\n" : "\n");
    writeHeader(out, ChangeColumns, separator, lineEnd);
    const auto writeNumberField = [&](qsizetype number) {
        if (number > 0)
            writeNumber(out, number);
        out << separator;
    };
    // address, hostname and leaseEnd of a row, or three empty fields.
    const auto writeClient = [&](const HostTable &table, const ClientRow *client) {
        if (!client) {
            out << separator << separator << separator;
            return;
        }
        const HostFields fields = fieldsOf(table.row(client->row));
        writeTableField(out, fields.address, format);
        out << separator;
        writeTableField(out, fields.hostName, format);
        out << separator << leaseOf(table, client->row, 0).end << separator;
    };
    const auto writeClientLine = [&](QLatin1StringView change, const ClientRow *before,
                                     const ClientRow *after) {
        out << change << separator;
        writeNumberField(after ? after->line : 0);
        writeNumberField(before ? before->line : 0);
        writeTableField(out, after ? fieldsOf(newTable.row(after->row)).mac
                                   : fieldsOf(oldTable.row(before->row)).mac,
                        format);
        out << separator;
        writeClient(newTable, after);
        writeClient(oldTable, before);
        out << separator << separator << lineEnd;
    };
    for (const ClientRow &client : changes.removed)
        writeClientLine(QLatin1StringView("removed"), &client, nullptr);
    for (const ClientRow &client : changes.added)
        writeClientLine(QLatin1StringView("added"), nullptr, &client);
    for (const ChangedClient &client : changes.changed)
        writeClientLine(QLatin1StringView("changed"), &client.before, &client.after);
    for (const PoolChange &pool : changes.pools) {
        out << QLatin1StringView(!pool.oldSetting   ? "pool added"
                                 : !pool.newSetting ? "pool removed"
                                                    : "pool changed")
            << separator;
        writeNumberField(pool.newSetting ? pool.newSetting->line : 0);
        writeNumberField(pool.oldSetting ? pool.oldSetting->line : 0);
        for (int column = 3; column < 10; ++column) // mac to oldLeaseEnd
            out << separator;
        writeTableField(out, (pool.newSetting ? pool.newSetting : pool.oldSetting)->name, format);
        out << separator;
        writeTableField(out, pool.newValue, format);
        out << separator;
        writeTableField(out, pool.oldValue, format);
        out << lineEnd;
    }
}

} // namespace kelto
