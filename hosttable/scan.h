#pragma once

#include "filefacts.h"
#include "filetext.h"
#include "hosttable.h"

#include <QString>

#include <optional>

class QIODevice;

namespace kelto {

// Why a scan of the configuration file ended early.
struct ScanFailure
{
    enum class Cause {
        CannotOpen, // the file or standard input: the system's reason is in `detail`
        NotRegularFile, // a directory, a FIFO, a device: never read
        ReadError, // the system's reason is in `detail`
        MalformedAddress, // an address value with one or two dots, in `detail`
        FileChanged, // written to each time it was read
        TooLarge, // larger than the limit of the scan
        OutOfMemory,
    };

    Cause cause = Cause::CannotOpen;
    QString detail;
    qsizetype lineNumber = 0; // 1-based, for a malformed address

    // One line for an administrator, e.g. `line 12: malformed address "192.168.1"`.
    QString description() const;

    static ScanFailure tooLarge(qint64 sizeLimit);
    // A file within the limit whose text takes more than MostTextBytes as UTF-8.
    static ScanFailure tooLargeOnceConverted();
    static ScanFailure outOfMemory();
};

// The most a scan reads, in bytes of the input: far above any server's file, and room for
// ten million clients. It is also the most a scan can read: a row finds its fields in the
// text by 32-bit positions, so a larger limit counts as this one.
inline constexpr qint64 DefaultSizeLimit = MostTextBytes;

// The result of a scan: the rows read, sorted unless the scope says otherwise, and the
// rows that repeat an address, which are marked only when the scan completed and sorted.
// A failed scan keeps the rows read before the failure.
struct ScanResult
{
    HostTable table;
    std::optional<ScanFailure> failure;
    FileFacts facts; // empty unless the scope asks for facts

    bool isComplete() const { return !failure.has_value(); }
};

// What a scan reads, and how much it puts in order.
enum class ScanScope {
    Table, // the host table, sorted, its repeated rows marked
    TableAndFacts, // and the facts that the health check needs (a little more time)
    Rows, // the rows as read, unsorted: a search sorts only the rows it keeps
    RowsAndFacts, // the rows as read and the facts
    RowsAndPoolFacts, // the rows as read and the facts that the pools need: no MAC headers
    // The host table, sorted and marked, and the facts of the sections that are no client
    // sections: their settings and the pools, what a diff needs.
    TableAndSettings,
};

// Builds the host table from the configuration file at `path`. Anything that is not a
// regular file fails at once, without being read, and so does a file larger than
// `sizeLimit` bytes.
ScanResult scanFile(const QString &path, ScanScope scope = ScanScope::Table,
                    qint64 sizeLimit = DefaultSizeLimit);

// Builds the host table from a device opened for reading, from where it stands. The
// whole file is read as UTF-16 when it starts with a UTF-16 byte order mark, as UTF-8
// when it is valid UTF-8, otherwise as Windows-1252. Reading stops with a failure once
// more than `sizeLimit` bytes come; the rows of the lines read up to there stay.
ScanResult scanDevice(QIODevice &device, ScanScope scope = ScanScope::Table,
                      qint64 sizeLimit = DefaultSizeLimit);

// Builds the host table from standard input, like scanDevice().
ScanResult scanStandardInput(ScanScope scope = ScanScope::Table,
                             qint64 sizeLimit = DefaultSizeLimit);

// Builds the host table from the bytes of a whole file.
ScanResult scanBytes(QByteArray bytes, ScanScope scope = ScanScope::Table,
                     qint64 sizeLimit = DefaultSizeLimit);

} // namespace kelto
