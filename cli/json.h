#pragma once

#include "changes.h"
#include "health.h"
#include "pools.h"
#include "scan.h"
#include "servers.h"
#include "vendors.h"
#include "utf8output.h"

#include <QLatin1StringView>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace kelto {

// JSON written as it is made, for outputs too large to build first (a million hosts,
// tens of thousands of findings). Objects are written on one line; the objects of an
// array each start a line of their own, indented by two spaces per array around them.
class JsonWriter
{
public:
    explicit JsonWriter(Utf8Output &out) : m_out(out) { }

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    // The name of the next member of the current object.
    JsonWriter &key(QLatin1StringView name);

    void value(QStringView text);
    void value(const QString &text) { value(QStringView(text)); }
    void value(QLatin1StringView text);
    void value(qint64 number);
    void value(bool truth);
    void null();

    // Ends the document with a line end.
    void finish() { m_out << '\n'; }

private:
    void beforeValue(bool isObject);
    int arrayDepth() const;
    void indent(int depth);

    struct Level
    {
        bool isArray;
        bool empty = true;
        bool objectsOnLines = false;
    };
    Utf8Output &m_out;
    std::vector<Level> m_levels;
    bool m_afterKey = false;
};

// A JSON string literal: quotes, escapes for control characters, the quote and the
// backslash; a lone surrogate (a byte of a file name that is not UTF-8) becomes U+FFFD,
// since valid JSON text holds none.
void writeJsonString(Utf8Output &out, QStringView text);

// The table as one JSON object: the file, whether the scan completed, and every host
// with its row, the fields a lookup of it shows and its lease at `now`.
// With `vendors`, each host also carries the "vendor" of its MAC.
void writeJson(Utf8Output &out, const QString &file, const ScanResult &scan, qint64 now,
               const VendorRegistry *vendors = nullptr);

// One host of the JSON output: {"row": ..., "address": ..., "hostname": ..., "mac": ...,
// "duplicate": ..., "leaseEnd": ... or null, "lease": ...}.
void writeHostJson(JsonWriter &json, const HostTable &table, qsizetype index, qint64 now,
                   const VendorRegistry *vendors = nullptr);

// The output of `check`, one JSON object streamed as it is written (a large file can
// have tens of thousands of findings).
void writeHealthJson(Utf8Output &out, const QString &file, const HealthReport &report,
                     qint64 now);

// The output of `free`, one JSON object.
void writeFreeJson(Utf8Output &out, const QString &file, const PoolsReport &report);

// The output of `pools`: each pool with its counts and state, and the total when the
// pools are one big pool.
void writePoolsJson(Utf8Output &out, const QString &file, const PoolsReport &report,
                    const std::vector<PoolState> &states);

// The output of `diff`: the two files, the clients removed, added and changed, each
// with the line of its client in its file, and the pools.
void writeChangesJson(Utf8Output &out, const QStringList &files, const HostTable &oldTable,
                      const HostTable &newTable, const FileChanges &changes);

// The output of `compare`: the files, and the findings of each kind.
void writeServersJson(Utf8Output &out, const QStringList &files,
                      const std::vector<ServerFile> &servers, const ServersReport &report);

} // namespace kelto
