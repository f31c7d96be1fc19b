#pragma once

#include <QByteArray>
#include <QString>

namespace kelto {

// Replaces the file at `path` with `bytes` as a whole: they are written to a temporary
// file beside it, which is then renamed over it, so that a reader sees the old file or
// the new one, never a part. On Windows a reader that holds the file open (a textfile
// collector) makes the rename fail for a moment: it is tried again for a second.
// `problem` says why when it fails; the old file then stays as it was.
bool replaceFile(const QString &path, const QByteArray &bytes, QString &problem);
// Whether a file could be written at `path` so (its folder exists and takes files).
bool canReplaceFile(const QString &path, QString &problem);

} // namespace kelto
