#pragma once

#include "scan.h"

#include <QByteArray>
#include <QIODevice>
#include <QStringEncoder>

#include <cstdio>

namespace kelto {

// UTF-8 text to a C stream, through one buffer of our own: rows are appended piece by
// piece and written in large blocks, never a flush per row.
class Utf8Output
{
public:
    explicit Utf8Output(std::FILE *stream);
    // To a device, such as the file that --output replaces once all is written.
    explicit Utf8Output(QIODevice *device);
    ~Utf8Output();
    Utf8Output(const Utf8Output &) = delete;
    Utf8Output &operator=(const Utf8Output &) = delete;

    Utf8Output &operator<<(QStringView text);
    Utf8Output &operator<<(QLatin1StringView text);
    Utf8Output &operator<<(char c);
    // A field of the file's text: as it is, or with control characters escaped as
    // escapeForTerminal() writes them when the stream is a terminal, so that nothing read
    // from a file drives the terminal; a pipe or a file gets the exact characters.
    Utf8Output &field(QStringView text);
    bool isTerminal() const { return m_terminal; }

    // A JSON string literal: quotes, escapes for control characters, the quote and the
    // backslash; a lone surrogate (a byte of a file name that is not UTF-8) becomes
    // U+FFFD, since valid JSON text holds none.
    void appendJsonString(QStringView text);

    // Room for `bytes` bytes written directly, up to the end given to commit().
    char *reserve(qsizetype bytes)
    {
        makeRoom(bytes);
        return m_buffer.data() + m_used;
    }
    void commit(const char *end) { m_used = end - m_buffer.constData(); }

    // Writes out what is buffered; false when the stream reported an error, whose reason
    // errorString() then gives.
    bool flush();
    QString errorString() const;

private:
    void makeRoom(qsizetype bytes);

    std::FILE *m_stream = nullptr;
    QIODevice *m_device = nullptr;
    QStringEncoder m_encoder;
    QByteArray m_buffer;
    qsizetype m_used = 0;
    int m_error = 0; // errno of the first failed write; 0 while none failed
    bool m_terminal = false;
};

// Replaces the file at `path` with `bytes` as a whole: they are written to a temporary
// file beside it, which is then renamed over it, so that a reader sees the old file or
// the new one, never a part. On Windows a reader that holds the file open (a textfile
// collector) makes the rename fail for a moment: it is tried again for a second.
// `problem` says why when it fails; the old file then stays as it was.
bool replaceFile(const QString &path, const QByteArray &bytes, QString &problem);
// Whether a file could be written at `path` so (its folder exists and takes files).
bool canReplaceFile(const QString &path, QString &problem);

// C0 and C1 control characters and DEL.
bool isControlCharacter(char16_t c);

// A message for a terminal: control characters written as check writes them in its
// text (\n, \t, \u001b), and the bytes of a file name that are not UTF-8 as \xe9, so
// that nothing read from a file or a path can drive the terminal.
QString escapeForTerminal(QStringView text);

// "kelto-cli: " and the message, escaped for the terminal, on standard error. Messages
// name paths and quote the file's text.
void printError(const QString &message);

class JsonWriter;

// Every row in table order, each on its own line, after "* " when
// it repeats the address of the row before it and two spaces otherwise.
void writeRows(Utf8Output &out, const HostTable &table);

// The lease of a row at the time `now` (seconds since 1970): its end as ISO 8601 in UTC
// (empty when it has none) and "active", "expired" or "none".
struct RowLease
{
    QString end;
    QLatin1StringView state;
};
RowLease leaseOf(const HostTable &table, qsizetype index, qint64 now);

// The table as one JSON object: the file, whether the scan completed, and every host
// with its row, the fields a lookup of it shows and its lease at `now`.
void writeJson(Utf8Output &out, const QString &file, const ScanResult &scan, qint64 now);

// One host of the JSON output: {"row": ..., "address": ..., "hostname": ..., "mac": ...,
// "duplicate": ..., "leaseEnd": ... or null, "lease": ...}.
void writeHostJson(JsonWriter &json, const HostTable &table, qsizetype index, qint64 now);

// For spreadsheets: a header line address, hostname, mac, duplicate, leaseEnd, lease,
// then one line per host with the fields a lookup shows. CSV as RFC 4180 has it,
// TSV with tab, backslash and line ends escaped.
enum class TableFormat { Csv, Tsv };
// A TSV field: backslash, tab and line ends written as \\, \t, \n and \r.
void writeTsvField(Utf8Output &out, QStringView field);
// A field of a CSV or TSV table.
void writeTableField(Utf8Output &out, QStringView field, TableFormat format);
void writeTable(Utf8Output &out, const HostTable &table, TableFormat format, qint64 now);

} // namespace kelto
