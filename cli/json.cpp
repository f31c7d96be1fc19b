#include "json.h"

#include "ipv4.h"
#include "lookup.h"
#include "terminal.h"

#include <algorithm>
#include <utility>

namespace kelto {

namespace {

// A text, or null for none.
void writeTextOrNull(JsonWriter &json, QLatin1StringView key, const QString *text)
{
    json.key(key);
    if (text)
        json.value(*text);
    else
        json.null();
}

// A lease end as ISO 8601, or null for none.
void writeLeaseEnd(JsonWriter &json, const RowLease &lease)
{
    writeTextOrNull(json, QLatin1StringView("leaseEnd"), lease.end.isEmpty() ? nullptr : &lease.end);
}

void writeHostsJson(JsonWriter &json, const HostTable &table, const RowList &rows, qint64 now)
{
    json.key(QLatin1StringView("hosts")).beginArray();
    for (const qsizetype row : rows)
        writeHostJson(json, table, row, now);
    json.endArray();
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

int JsonWriter::arrayDepth() const
{
    return int(std::count_if(m_levels.begin(), m_levels.end(),
                             [](const Level &level) { return level.isArray; }));
}

void JsonWriter::indent(int depth)
{
    for (int i = 0; i < depth; ++i)
        m_out << QLatin1StringView("  ");
}

void JsonWriter::beforeValue(bool isObject)
{
    if (m_levels.empty() || m_afterKey) {
        m_afterKey = false;
        return;
    }
    Level &level = m_levels.back();
    if (isObject && level.isArray && (level.empty || level.objectsOnLines)) {
        level.objectsOnLines = true;
        m_out << QLatin1StringView(level.empty ? "\n" : ",\n");
        indent(arrayDepth());
    } else if (!level.empty) {
        m_out << QLatin1StringView(", ");
    }
    level.empty = false;
}

void JsonWriter::beginObject()
{
    beforeValue(true);
    m_out << '{';
    m_levels.push_back({false});
}

void JsonWriter::endObject()
{
    m_levels.pop_back();
    m_out << '}';
}

void JsonWriter::beginArray()
{
    beforeValue(false);
    m_out << '[';
    m_levels.push_back({true});
}

void JsonWriter::endArray()
{
    const bool onLines = m_levels.back().objectsOnLines;
    m_levels.pop_back();
    if (onLines) {
        m_out << '\n';
        indent(arrayDepth());
    }
    m_out << ']';
}

JsonWriter &JsonWriter::key(QLatin1StringView name)
{
    Level &level = m_levels.back();
    m_out << QLatin1StringView(level.empty ? "\"" : ", \"") << name << QLatin1StringView("\": ");
    level.empty = false;
    m_afterKey = true;
    return *this;
}

void JsonWriter::value(QStringView text)
{
    beforeValue(false);
    writeJsonString(m_out, text);
}

void JsonWriter::value(QLatin1StringView text)
{
    value(QString(text));
}

void JsonWriter::value(qint64 number)
{
    beforeValue(false);
    m_out << QLatin1StringView(QByteArray::number(number));
}

void JsonWriter::value(bool truth)
{
    beforeValue(false);
    m_out << QLatin1StringView(truth ? "true" : "false");
}

void JsonWriter::null()
{
    beforeValue(false);
    m_out << QLatin1StringView("null");
}

void writeJsonString(Utf8Output &out, QStringView text)
{
    out << '"';
    qsizetype plain = 0; // start of the run of characters that need no escape
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool pairedSurrogate
            = (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
              || (c.isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate());
        const bool escape = c == u'"' || c == u'\\' || isControlCharacter(c.unicode())
                            || (c.isSurrogate() && !pairedSurrogate);
        if (!escape)
            continue;
        out << text.sliced(plain, i - plain);
        plain = i + 1;
        switch (c.unicode()) {
        case u'"':
            out << QLatin1StringView("\\\"");
            break;
        case u'\\':
            out << QLatin1StringView("\\\\");
            break;
        default:
            if (c.isSurrogate()) {
                // A byte of a file name that is not UTF-8: JSON has no lone surrogates
                // (strict parsers refuse them), so it is the replacement character.
                out << QStringView(u"\uFFFD");
            } else {
                ControlEscapeBuffer buffer;
                out << controlEscape(c.unicode(), buffer);
            }
        }
    }
    out << text.sliced(plain) << '"';
}

void writeHostJson(JsonWriter &json, const HostTable &table, qsizetype index, qint64 now,
                   const VendorRegistry *vendors)
{
    const HostRow row = table.row(index);
    const HostFields fields = fieldsOf(row);
    const RowLease lease = leaseOf(table, index, now);
    json.beginObject();
    json.key(QLatin1StringView("row")).value(row.text());
    json.key(QLatin1StringView("address")).value(fields.address);
    json.key(QLatin1StringView("hostname")).value(fields.hostName);
    json.key(QLatin1StringView("mac")).value(fields.mac);
    json.key(QLatin1StringView("duplicate")).value(table.isRepeated(index));
    writeLeaseEnd(json, lease);
    json.key(QLatin1StringView("lease")).value(lease.state);
    if (vendors)
        json.key(QLatin1StringView("vendor")).value(vendors->vendorOf(fields.mac));
    json.endObject();
}

void writeJson(Utf8Output &out, const QString &file, const ScanResult &scan, qint64 now,
               const VendorRegistry *vendors)
{
    JsonWriter json(out);
    json.beginObject();
    json.key(QLatin1StringView("file")).value(file);
    json.key(QLatin1StringView("complete")).value(scan.isComplete());
    json.key(QLatin1StringView("hosts")).beginArray();
    scan.table.forEachIndex(
        [&](qsizetype i, bool) { writeHostJson(json, scan.table, i, now, vendors); });
    json.endArray();
    json.endObject();
    json.finish();
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

namespace {

// A line number, or null for none.
void writeLineJson(JsonWriter &json, QLatin1StringView key, qsizetype line)
{
    json.key(key);
    if (line > 0)
        json.value(qint64(line));
    else
        json.null();
}

// {"line": ..., "address": ..., "hostname": ..., "mac": ..., "leaseEnd": ... or null}
void writeClientJson(JsonWriter &json, const HostTable &table, const ClientRow &client)
{
    const HostFields fields = fieldsOf(table.row(client.row));
    const RowLease lease = leaseOf(table, client.row, 0);
    json.beginObject();
    writeLineJson(json, QLatin1StringView("line"), client.line);
    json.key(QLatin1StringView("address")).value(fields.address);
    json.key(QLatin1StringView("hostname")).value(fields.hostName);
    json.key(QLatin1StringView("mac")).value(fields.mac);
    writeLeaseEnd(json, lease);
    json.endObject();
}

void writePoolChangeJson(JsonWriter &json, const PoolChange &pool)
{
    json.beginObject();
    json.key(QLatin1StringView("change"))
        .value(QLatin1StringView(!pool.oldSetting   ? "added"
                                 : !pool.newSetting ? "removed"
                                                    : "changed"));
    json.key(QLatin1StringView("name"))
        .value((pool.newSetting ? pool.newSetting : pool.oldSetting)->name);
    writeTextOrNull(json, QLatin1StringView("old"), pool.oldSetting ? &pool.oldValue : nullptr);
    writeTextOrNull(json, QLatin1StringView("new"), pool.newSetting ? &pool.newValue : nullptr);
    writeLineJson(json, QLatin1StringView("oldLine"), pool.oldSetting ? pool.oldSetting->line : 0);
    writeLineJson(json, QLatin1StringView("line"), pool.newSetting ? pool.newSetting->line : 0);
    json.endObject();
}

// {"file": ..., "line": ..., "address": ..., "hostname": ..., "mac": ...}
void writeServerRowJson(JsonWriter &json, const QStringList &files,
                        const std::vector<ServerFile> &servers, const ServerRow &row)
{
    const HostFields fields = fieldsOf(servers[row.file].table->row(row.row));
    json.beginObject();
    json.key(QLatin1StringView("file")).value(files[qsizetype(row.file)]);
    writeLineJson(json, QLatin1StringView("line"), row.line);
    json.key(QLatin1StringView("address")).value(fields.address);
    json.key(QLatin1StringView("hostname")).value(fields.hostName);
    json.key(QLatin1StringView("mac")).value(fields.mac);
    json.endObject();
}

// {"file": ..., "line": ..., "name": ..., "value": ...}
void writeServerPoolJson(JsonWriter &json, const QStringList &files, const ServerPool &pool)
{
    json.beginObject();
    json.key(QLatin1StringView("file")).value(files[qsizetype(pool.file)]);
    json.key(QLatin1StringView("line")).value(qint64(pool.setting->line));
    json.key(QLatin1StringView("name")).value(pool.setting->name);
    json.key(QLatin1StringView("value")).value(pool.setting->value);
    json.endObject();
}

} // namespace

void writeChangesJson(Utf8Output &out, const QStringList &files, const HostTable &oldTable,
                      const HostTable &newTable, const FileChanges &changes)
{
    JsonWriter json(out);
    json.beginObject();
    json.key(QLatin1StringView("old")).value(files[0]);
    json.key(QLatin1StringView("new")).value(files[1]);
    json.key(QLatin1StringView("removed")).beginArray();
    for (const ClientRow &client : changes.removed)
        writeClientJson(json, oldTable, client);
    json.endArray();
    json.key(QLatin1StringView("added")).beginArray();
    for (const ClientRow &client : changes.added)
        writeClientJson(json, newTable, client);
    json.endArray();
    json.key(QLatin1StringView("changed")).beginArray();
    for (const ChangedClient &client : changes.changed) {
        json.beginObject();
        json.key(QLatin1StringView("fields")).beginArray();
        for (const auto &[changed, name] : {std::pair(client.address, "address"),
                                            std::pair(client.hostName, "hostname"),
                                            std::pair(client.leaseEnd, "leaseEnd")}) {
            if (changed)
                json.value(QLatin1StringView(name));
        }
        json.endArray();
        json.key(QLatin1StringView("old"));
        writeClientJson(json, oldTable, client.before);
        json.key(QLatin1StringView("new"));
        writeClientJson(json, newTable, client.after);
        json.endObject();
    }
    json.endArray();
    json.key(QLatin1StringView("pools")).beginArray();
    for (const PoolChange &pool : changes.pools)
        writePoolChangeJson(json, pool);
    json.endArray();
    json.endObject();
    json.finish();
}

void writeServersJson(Utf8Output &out, const QStringList &files,
                      const std::vector<ServerFile> &servers, const ServersReport &report)
{
    JsonWriter json(out);
    const auto writeRows = [&](const std::vector<ServerRow> &rows) {
        json.key(QLatin1StringView("rows")).beginArray();
        for (const ServerRow &row : rows)
            writeServerRowJson(json, files, servers, row);
        json.endArray();
    };
    json.beginObject();
    json.key(QLatin1StringView("files")).beginArray();
    for (const QString &file : files)
        json.value(file);
    json.endArray();
    json.key(QLatin1StringView("overlappingPools")).beginArray();
    for (const PoolOverlap &overlap : report.overlappingPools) {
        json.beginObject();
        json.key(QLatin1StringView("addresses")).value(compactRanges(overlap.addresses));
        json.key(QLatin1StringView("pools")).beginArray();
        writeServerPoolJson(json, files, overlap.first);
        writeServerPoolJson(json, files, overlap.second);
        json.endArray();
        json.endObject();
    }
    json.endArray();
    json.key(QLatin1StringView("sharedAddresses")).beginArray();
    for (const AddressAcrossServers &address : report.sharedAddresses) {
        json.beginObject();
        json.key(QLatin1StringView("address")).value(dottedAddress(address.address));
        writeRows(address.rows);
        json.endObject();
    }
    json.endArray();
    json.key(QLatin1StringView("macsWithOtherAddresses")).beginArray();
    for (const MacAcrossServers &mac : report.macsWithOtherAddresses) {
        json.beginObject();
        json.key(QLatin1StringView("mac")).value(mac.mac);
        writeRows(mac.rows);
        json.endObject();
    }
    json.endArray();
    json.key(QLatin1StringView("addressesInOtherPools")).beginArray();
    for (const AddressInOtherPool &found : report.addressesInOtherPools) {
        json.beginObject();
        json.key(QLatin1StringView("address")).value(dottedAddress(found.address));
        json.key(QLatin1StringView("row"));
        writeServerRowJson(json, files, servers, found.row);
        json.key(QLatin1StringView("pool"));
        writeServerPoolJson(json, files, found.pool);
        json.endObject();
    }
    json.endArray();
    json.endObject();
    json.finish();
}

} // namespace kelto
