#pragma once

#include "scan.h"

#include <QByteArray>
#include <QFile>

#include <cstdio>
#include <optional>
#include <vector>

namespace kelto {

// Opens the configuration file at `path` for reading only, shared with the server that
// writes it: nothing is created, locked, renamed or written. Anything that is not a
// regular file (a directory, a FIFO, a device) fails at once, without being read and
// without waiting for a writer.
std::optional<ScanFailure> openConfigFile(const QString &path, QFile &file);

// What writing a file changes, taken from the open file itself, not from its path, which
// may by then name another file: its size, its modification time and the time of its
// last change of any kind (both in nanoseconds since 1970), and which file it is.
struct FileStamp
{
    qint64 size = -1;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    quint64 device = 0;
    quint64 identity = 0;
    friend bool operator==(const FileStamp &, const FileStamp &) = default;
};

FileStamp stampOf(const QFile &file);

// The system's clock, in nanoseconds since 1970, as file times count.
qint64 nowNs();

// File names are bytes on POSIX systems, and not every name is valid UTF-8. A name is
// held as text with each byte that is not part of valid UTF-8 kept as a lone surrogate
// U+DC80-U+DCFF, so that encoding the text gives back exactly the bytes it came from.
// On Windows names are UTF-16 text already, and these convert as Qt does.
QString decodeFileName(QByteArrayView name);
QByteArray encodeFileName(const QString &name);

// To be called first thing in main(), before anything opens a descriptor. When the
// process was started with standard input, output or error closed, the next descriptor
// opened would take its place (a configuration file on standard output, or the X
// server's connection on standard error, where the first warning would be written into
// it): each closed one is taken by the null device instead. Reading standard input and
// writing standard output then still fail, as they would have. On Windows, standard
// input and output are switched to binary, so that a Ctrl-Z byte does not end the input
// and the output has the same bytes as on any other system.
void prepareStandardStreams();

// Whether a stream is a terminal (a console on Windows), which escape sequences in the
// text written to it would drive.
bool isTerminal(std::FILE *stream);

// Whether standard output was closed when the process started: what is written to it is
// lost, and an output that is lost is an error.
bool standardOutputWasClosed();

// Standard input from where it stands to its end: a pipe whose writer pauses is waited
// for, never taken to have ended. `failure` is set when it cannot be read, or is larger
// than `sizeLimit` bytes, in which case `bytes` holds the first `sizeLimit` of them.
struct InputBytes
{
    QByteArray bytes;
    std::optional<ScanFailure> failure;
};
InputBytes readStandardInput(qint64 sizeLimit);

// Memory for a large file's text and rows. Where the system offers it, a block that has
// not been touched yet is asked to be backed by huge pages: a million-client file then
// costs sixty page faults instead of thirty thousand, and reading its rows in address
// order misses the page tables far less often. Nothing changes but the speed.
void adviseHugePages(void *data, qsizetype bytes);

template <typename T> void reserveWithHugePages(std::vector<T> &v, size_t capacity)
{
    if (capacity <= v.capacity())
        return;
    std::vector<T> grown;
    grown.reserve(capacity);
    adviseHugePages(grown.data(), qsizetype(capacity) * qsizetype(sizeof(T)));
    grown.insert(grown.end(), std::make_move_iterator(v.begin()), std::make_move_iterator(v.end()));
    v.swap(grown);
}

} // namespace kelto
