#pragma once

#include "filefacts.h"
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
    static ScanFailure outOfMemory();
};

// The most a scan reads: far above any server's file, and room for ten million clients.
inline constexpr qint64 DefaultSizeLimit = qint64(4) << 30;

// The result of a scan: the rows read, sorted, and the rows that repeat an address,
// which are marked only when the scan completed. A failed scan keeps the rows read
// before the failure.
struct ScanResult
{
    HostTable table;
    std::optional<ScanFailure> failure;
    FileFacts facts; // empty unless asked for with ScanScope::TableAndFacts

    bool isComplete() const { return !failure.has_value(); }
};

// What a scan reads: the host table alone, or also the facts that the health check and
// the free addresses need (which costs a little more memory and time).
enum class ScanScope { Table, TableAndFacts };

// Builds the host table from the configuration file at `path`. Anything that is not a
// regular file fails at once, without being read, and so does a file larger than
// `sizeLimit` bytes.
ScanResult scanFile(const QString &path, ScanScope scope = ScanScope::Table,
                    qint64 sizeLimit = DefaultSizeLimit);

// Builds the host table from a device opened for reading, from where it stands. The
// whole file is read as UTF-16 when it starts with a UTF-16 byte order mark, as UTF-8
// when it is valid UTF-8, otherwise as Windows-1252. Reading stops with a failure after
// `sizeLimit` bytes; the rows read up to there stay.
ScanResult scanDevice(QIODevice &device, ScanScope scope = ScanScope::Table,
                      qint64 sizeLimit = DefaultSizeLimit);

// Builds the host table from standard input, like scanDevice().
ScanResult scanStandardInput(ScanScope scope = ScanScope::Table,
                             qint64 sizeLimit = DefaultSizeLimit);

// The lines that make the host table: MAC headers, address lines, host name lines, and
// the line containing "[HTTP" after which the HTTP settings are passed over up to the
// next section. One object reads one file.
class ConfigScan
{
public:
    enum class Step { Continue, Failed };

    // `facts`, when given, receives what the file says besides the table.
    explicit ConfigScan(FileFacts *facts = nullptr);

    // Takes the next line of the file.
    Step take(QStringView line);
    // Ends a scan that read to the end of the file.
    void finish();
    // Ends a scan that failed (or could not read on): the rows read so far stay.
    void abandon();

    HostTable &table() { return m_table; }
    const std::optional<ScanFailure> &failure() const { return m_failure; }

private:
    void takeAddressLine(qsizetype keyPosition);
    void takeHostNameLine(QStringView line);
    void addPendingRow();

    HostTable m_table;
    std::optional<ScanFailure> m_failure;
    std::optional<FactsReader> m_facts;
    qsizetype m_lineNumber = 0;
    QString m_currentMac;
    QString m_pendingAddress;
    QString m_pendingMac; // the current MAC when the pending address was read
    bool m_macHeaderSincePending = false;
    bool m_inHttpSettings = false; // after a line containing "[HTTP", up to the next section
    QString m_currentLine; // an address line, which MyIPAddr may lengthen
    QString m_address; // scratch for the address field of each address line
};

} // namespace kelto
