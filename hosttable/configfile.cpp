#include "configfile.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <QDir>

#include <cerrno>
#include <chrono>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace kelto {

namespace {

ScanFailure notRegular()
{
    return {ScanFailure::Cause::NotRegularFile, QStringLiteral("not a regular file")};
}

constexpr char16_t EscapedByte = 0xDC00; // + the byte, for bytes 0x80-0xFF

// Bytes are read in blocks of this size, the first ones small, so that a small input
// costs little.
constexpr qsizetype ReadBlock = qsizetype(1) << 16;

ScanFailure standardInputFailure(int error)
{
    return {ScanFailure::Cause::CannotOpen,
            QStringLiteral("cannot read standard input: %1").arg(qt_error_string(error))};
}

// Standard input to its end, or to one byte past the limit, through `read`, which reads
// like read(2): the bytes it read, 0 at the end, -1 with errno set.
template <typename Read> InputBytes readToEnd(qint64 sizeLimit, Read read)
{
    InputBytes input;
    for (;;) {
        const qsizetype kept = input.bytes.size();
        const qsizetype wanted = qsizetype(std::min<qint64>(
            {std::max(kept, ReadBlock), sizeLimit + 1 - kept, qint64(1) << 30}));
        input.bytes.resize(kept + wanted);
        const qint64 got = read(input.bytes.data() + kept, wanted);
        input.bytes.resize(kept + qsizetype(std::max<qint64>(got, 0)));
        if (got < 0) {
            input.failure = standardInputFailure(errno);
            return input;
        }
        if (input.bytes.size() > sizeLimit) {
            input.bytes.truncate(qsizetype(sizeLimit));
            input.failure = ScanFailure::tooLarge(sizeLimit);
            return input;
        }
        if (got == 0)
            return input;
    }
}

} // namespace

#ifdef Q_OS_UNIX

namespace {

int standardInputError = 0; // errno of standard input at start; 0 when it was open
int standardOutputError = 0; // of standard output

} // namespace

std::optional<ScanFailure> openConfigFile(const QString &path, QFile &file)
{
    const QByteArray name = encodeFileName(path);
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
    const auto ns = [](const timespec &t) { return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec; };
    return {qint64(status.st_size), ns(status.st_mtim), ns(status.st_ctim),
            quint64(status.st_dev), quint64(status.st_ino)};
}

QString decodeFileName(QByteArrayView name)
{
    QString text;
    text.reserve(name.size());
    for (qsizetype i = 0; i < name.size();) {
        const auto lead = uchar(name[i]);
        // The length of the sequence a lead byte starts, and the least code point it may
        // hold (anything less is an overlong form).
        const int length = lead < 0x80                   ? 1
                           : lead >= 0xC2 && lead < 0xE0 ? 2
                           : lead >= 0xE0 && lead < 0xF0 ? 3
                           : lead >= 0xF0 && lead < 0xF5 ? 4
                                                         : 0;
        char32_t code = length == 1   ? lead
                        : length == 2 ? lead & 0x1F
                        : length == 3 ? lead & 0x0F
                                      : lead & 0x07;
        bool valid = length > 0 && i + length <= name.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto next = uchar(name[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = code << 6 | (next & 0x3F);
        }
        constexpr char32_t Least[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && code >= Least[length] && code <= 0x10FFFF
                && !(code >= 0xD800 && code <= 0xDFFF);
        if (valid) {
            // Not QString::fromUcs4(), which takes a leading U+FEFF for a byte order mark.
            text += QChar::fromUcs4(code);
            i += length;
        } else {
            text += QChar(char16_t(EscapedByte + lead));
            ++i;
        }
    }
    return text;
}

QByteArray encodeFileName(const QString &name)
{
    QByteArray bytes;
    QStringEncoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    qsizetype plain = 0;
    for (qsizetype i = 0; i <= name.size(); ++i) {
        const bool escaped = i < name.size() && name[i].unicode() >= EscapedByte + 0x80
                             && name[i].unicode() <= EscapedByte + 0xFF
                             && !(i > 0 && name[i - 1].isHighSurrogate());
        if (i < name.size() && !escaped)
            continue;
        bytes += QByteArray(utf8(QStringView(name).sliced(plain, i - plain)));
        if (escaped)
            bytes += char(name[i].unicode() - EscapedByte);
        plain = i + 1;
    }
    return bytes;
}

void prepareStandardStreams()
{
    // In order, since open() takes the lowest free descriptor.
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        if (fd == STDIN_FILENO)
            standardInputError = EBADF;
        else if (fd == STDOUT_FILENO)
            standardOutputError = EBADF;
        const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened > fd)
            ::close(opened);
    }
}

bool standardOutputWasClosed()
{
    return standardOutputError != 0;
}

bool isTerminal(std::FILE *stream)
{
    return ::isatty(::fileno(stream)) == 1;
}

InputBytes readStandardInput(qint64 sizeLimit)
{
    if (standardInputError != 0)
        return {{}, standardInputFailure(standardInputError)};
    struct stat status = {};
    if (::fstat(STDIN_FILENO, &status) != 0)
        return {{}, standardInputFailure(errno)};
    if (S_ISREG(status.st_mode)) {
        const off_t position = ::lseek(STDIN_FILENO, 0, SEEK_CUR);
        if (position >= 0 && status.st_size - position > sizeLimit)
            return {{}, ScanFailure::tooLarge(sizeLimit)};
    }
    return readToEnd(sizeLimit, [](char *data, qsizetype size) -> qint64 {
        for (;;) {
            const ssize_t got = ::read(STDIN_FILENO, data, size_t(size));
            if (got >= 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK))
                return got;
            // A non-blocking descriptor with nothing to read yet: wait for the writer.
            pollfd wait = {STDIN_FILENO, POLLIN, 0};
            if (errno != EINTR)
                ::poll(&wait, 1, -1);
        }
    });
}

#elif defined(Q_OS_WIN)

namespace {

int standardInputError = 0;

ScanFailure systemFailure(DWORD error)
{
    return {ScanFailure::Cause::CannotOpen, qt_error_string(int(error))};
}

} // namespace

std::optional<ScanFailure> openConfigFile(const QString &path, QFile &file)
{
    if (path.isEmpty())
        return ScanFailure{ScanFailure::Cause::CannotOpen, QStringLiteral("no file name given")};
    // Shared for reading, writing and deleting, so that the server can always write,
    // rename or replace its file while Kelto reads it. Backup semantics open a folder
    // too, so that it is told apart below instead of failing as "access denied".
    const HANDLE handle = ::CreateFileW(
        reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()), GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return systemFailure(::GetLastError());
    BY_HANDLE_FILE_INFORMATION information = {};
    if (::GetFileType(handle) != FILE_TYPE_DISK
        || !::GetFileInformationByHandle(handle, &information)
        || (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::CloseHandle(handle);
        return notRegular();
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(handle);
        return ScanFailure{ScanFailure::Cause::CannotOpen, qt_error_string(errno)};
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::_close(fd);
        return ScanFailure{ScanFailure::Cause::CannotOpen, file.errorString()};
    }
    return std::nullopt;
}

FileStamp stampOf(const QFile &file)
{
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()));
    BY_HANDLE_FILE_INFORMATION information = {};
    FILE_BASIC_INFO times = {};
    if (!::GetFileInformationByHandle(handle, &information)
        || !::GetFileInformationByHandleEx(handle, FileBasicInfo, &times, sizeof times))
        return {};
    const auto join = [](DWORD high, DWORD low) { return quint64(high) << 32 | quint64(low); };
    // File times count 100 ns from 1601.
    constexpr qint64 From1601To1970 = 116'444'736'000'000'000;
    const auto ns = [](LARGE_INTEGER t) { return (t.QuadPart - From1601To1970) * 100; };
    return {qint64(join(information.nFileSizeHigh, information.nFileSizeLow)),
            ns(times.LastWriteTime), ns(times.ChangeTime),
            quint64(information.dwVolumeSerialNumber),
            join(information.nFileIndexHigh, information.nFileIndexLow)};
}

QString decodeFileName(QByteArrayView name)
{
    return QString::fromLocal8Bit(name);
}

QByteArray encodeFileName(const QString &name)
{
    return name.toLocal8Bit();
}

void prepareStandardStreams()
{
    // Binary, so that a Ctrl-Z byte is a byte like any other and not the end of the
    // input, and so that the output has the same bytes on every system.
    if (::_setmode(_fileno(stdin), _O_BINARY) == -1)
        standardInputError = EBADF;
    ::_setmode(_fileno(stdout), _O_BINARY);
    ::_setmode(_fileno(stderr), _O_BINARY);
}

bool standardOutputWasClosed()
{
    return false;
}

bool isTerminal(std::FILE *stream)
{
    return ::_isatty(::_fileno(stream)) != 0;
}

InputBytes readStandardInput(qint64 sizeLimit)
{
    if (standardInputError != 0)
        return {{}, standardInputFailure(standardInputError)};
    return readToEnd(sizeLimit, [](char *data, qsizetype size) -> qint64 {
        return ::_read(0, data, unsigned(size));
    });
}

#endif

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void adviseHugePages(void *data, qsizetype bytes)
{
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    // Only the whole huge pages inside the block can be backed by them.
    constexpr quintptr HugePage = quintptr(2) << 20;
    auto *const first = static_cast<char *>(data);
    const auto skip = quintptr(-quintptr(first)) & (HugePage - 1); // to the next boundary
    const auto length = (quintptr(bytes) > skip ? quintptr(bytes) - skip : 0) & ~(HugePage - 1);
    if (length > 0)
        madvise(first + skip, length, MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(bytes);
#endif
}

} // namespace kelto
