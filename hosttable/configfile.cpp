#include "configfile.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kelto {

namespace {

ScanFailure notRegular()
{
    return {ScanFailure::Cause::NotRegularFile, QStringLiteral("not a regular file")};
}

} // namespace

#ifdef Q_OS_UNIX

std::optional<ScanFailure> openConfigFile(const QString &path, QFile &file)
{
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty())
        return ScanFailure{ScanFailure::Cause::CannotOpen, QStringLiteral("no file name given")};
    // Non-blocking, or opening a FIFO would wait for a writer; the type is then told
    // from the opened file, so that nothing can swap the path in between.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return ScanFailure{ScanFailure::Cause::CannotOpen, qt_error_string(errno)};
    struct stat status = {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return notRegular();
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return ScanFailure{ScanFailure::Cause::CannotOpen, file.errorString()};
    }
    return std::nullopt;
}

FileStamp stampOf(const QFile &file)
{
    struct stat status = {};
    if (::fstat(file.handle(), &status) != 0)
        return {};
    return {qint64(status.st_size),
            qint64(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec};
}

#else

std::optional<ScanFailure> openConfigFile(const QString &path, QFile &file)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return notRegular();
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return ScanFailure{ScanFailure::Cause::CannotOpen, file.errorString()};
    return std::nullopt;
}

FileStamp stampOf(const QFile &file)
{
    return {file.size(), 0};
}

#endif

} // namespace kelto
