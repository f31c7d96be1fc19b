#pragma once

#include "scan.h"

#include <QFile>

#include <optional>

namespace kelto {

// Opens the configuration file at `path` for reading only, shared with the server that
// writes it: nothing is created, locked, renamed or written. Anything that is not a
// regular file (a directory, a FIFO, a device) fails at once, without being read and
// without waiting for a writer.
std::optional<ScanFailure> openConfigFile(const QString &path, QFile &file);

// What writing a file changes: its size and its modification time, taken from the open
// file itself, not from its path, which may by then name another file.
struct FileStamp
{
    qint64 size = -1;
    qint64 modifiedNs = 0;
    friend bool operator==(const FileStamp &, const FileStamp &) = default;
};

FileStamp stampOf(const QFile &file);

} // namespace kelto
