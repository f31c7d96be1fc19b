#include "scan.h"

#include "configfile.h"
#include "fields.h"
#include "linereader.h"
#include "text.h"

#include <QBuffer>
#include <QStringDecoder>

namespace kelto {

namespace {

constexpr QLatin1StringView AddressKey("IPADDR=");
constexpr QLatin1StringView HostNameKey("hostname="); // any letter case
constexpr QLatin1StringView HttpSettings("[HTTP");
constexpr qsizetype IgnoredKeyPosition = 1; // column 2: behind a comment character
constexpr qsizetype HostNameValuePosition = 9; // column 10: just after "hostname="

bool equalsKey(QStringView text, QLatin1StringView key, Qt::CaseSensitivity cs)
{
    for (qsizetype i = 0; i < key.size(); ++i) {
        const char16_t c = text[i].unicode();
        const char16_t k = char16_t(key[i].unicode());
        // Only ASCII letters fold: no other character lower-cases to a letter of a key.
        if (c != k && !(cs == Qt::CaseInsensitive && k >= u'a' && k <= u'z' && c == k - 32))
            return false;
    }
    return true;
}

// What a line holds for the scan: where the keys of an address line and of a host
// name line stand (-1: the line is none), and whether it contains "[HTTP".
struct LineKeys
{
    qsizetype address = -1;
    qsizetype hostName = -1;
    bool httpSettings = false; // the line contains "[HTTP"
};

// A key directly after a letter, a digit or "_" is the end of a longer key, such as
// DEFAULTIPADDR= in the DNS settings, and not the key itself.
bool endsLongerKey(QStringView line, qsizetype keyPosition)
{
    if (keyPosition <= 0)
        return false;
    const char16_t c = line[keyPosition - 1].unicode();
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')
           || c == u'_';
}

// Where a key of a line counts: its first occurrence, unless that stands at column 2
// (behind a comment character) or ends a longer key.
qsizetype countedKey(QStringView line, qsizetype keyPosition)
{
    return keyPosition == IgnoredKeyPosition || endsLongerKey(line, keyPosition) ? -1 : keyPosition;
}

// One pass finds all three: both keys end in "=" and "[HTTP" starts with "[",
// characters that are rare in a line.
LineKeys findKeys(QStringView line)
{
    LineKeys keys;
    const qsizetype addressOffset = AddressKey.size() - 1;
    const qsizetype hostNameOffset = HostNameKey.size() - 1;
    for (qsizetype at = indexOfEither(line, u'=', u'['); at >= 0;
         at = indexOfEither(line, u'=', u'[', at + 1)) {
        if (line[at] == u'[') {
            keys.httpSettings = keys.httpSettings
                                || (line.size() - at >= HttpSettings.size()
                                    && equalsKey(line.sliced(at), HttpSettings, Qt::CaseSensitive));
            continue;
        }
        if (keys.address < 0 && at >= addressOffset
            && equalsKey(line.sliced(at - addressOffset), AddressKey, Qt::CaseSensitive))
            keys.address = at - addressOffset;
        if (keys.hostName < 0 && at >= hostNameOffset
            && equalsKey(line.sliced(at - hostNameOffset), HostNameKey, Qt::CaseInsensitive))
            keys.hostName = at - hostNameOffset;
    }
    keys.address = countedKey(line, keys.address);
    keys.hostName = countedKey(line, keys.hostName);
    return keys;
}

// Copies without sharing, so that the buffers of the scan are reused line after line.
void copyInto(QString &target, QStringView source)
{
    target.truncate(0);
    target.append(source);
}

// The encoding that a UTF-16 byte order mark at the start of a file names, in either
// byte order; nothing for any other start.
std::optional<QStringConverter::Encoding> utf16Encoding(QByteArrayView start)
{
    if (start.startsWith("\xFF\xFE"))
        return QStringConverter::Utf16LE;
    if (start.startsWith("\xFE\xFF"))
        return QStringConverter::Utf16BE;
    return std::nullopt;
}

struct Pass
{
    ScanResult result;
    bool invalidUtf8 = false;
};

// One reading of the device from where it stands, in one encoding. `endedBy` is how the
// input ended when it could not be read to its end: the rows before it stay.
Pass scanAs(QIODevice &device, TextEncoding encoding, ScanScope scope, qint64 sizeLimit,
            const std::optional<ScanFailure> &endedBy)
{
    LineReader reader(device, encoding, sizeLimit);
    Pass pass;
    ConfigScan scan(scope == ScanScope::TableAndFacts ? &pass.result.facts : nullptr);
    QStringView line;
    ConfigScan::Step step = ConfigScan::Step::Continue;
    try {
        while (step == ConfigScan::Step::Continue && reader.readLine(line))
            step = scan.take(line);
    } catch (const std::bad_alloc &) {
        scan.abandon();
        pass.result.failure = ScanFailure::outOfMemory();
        pass.result.table = std::move(scan.table());
        return pass;
    }

    if (reader.hasReadError()) {
        scan.abandon();
        pass.result.failure = ScanFailure{ScanFailure::Cause::ReadError, reader.errorString()};
    } else if (reader.isTooLarge()) {
        scan.abandon();
        pass.result.failure = ScanFailure::tooLarge(sizeLimit);
    } else {
        if (step == ConfigScan::Step::Failed || endedBy)
            scan.abandon();
        else
            scan.finish();
        pass.result.failure = step == ConfigScan::Step::Failed ? scan.failure() : endedBy;
        if (encoding == TextEncoding::Utf8 && !reader.sawInvalidUtf8())
            reader.skipRest(); // the lines not needed still decide the encoding
    }
    pass.result.table = std::move(scan.table());
    pass.invalidUtf8 = reader.sawInvalidUtf8();
    return pass;
}

// A device from where it stands to its end, waiting for data that has not come yet. Up
// to one byte more than `sizeLimit`.
InputBytes readUpTo(QIODevice &device, qint64 sizeLimit)
{
    constexpr qsizetype Block = qsizetype(1) << 16;
    InputBytes input;
    QByteArray &bytes = input.bytes;
    for (;;) {
        const qsizetype kept = bytes.size();
        const qint64 wanted = std::min<qint64>(std::max(kept, Block), sizeLimit + 1 - kept);
        if (wanted <= 0)
            return input;
        bytes.resize(kept + qsizetype(wanted));
        const qint64 got = device.read(bytes.data() + kept, wanted);
        bytes.resize(kept + qsizetype(std::max<qint64>(got, 0)));
        if (got < 0)
            input.failure = ScanFailure{ScanFailure::Cause::ReadError, device.errorString()};
        if (got < 0 || (got == 0 && !device.waitForReadyRead(-1)))
            return input;
    }
}

ScanResult scanBytes(const QByteArray &bytes, ScanScope scope, qint64 sizeLimit,
                     const std::optional<ScanFailure> &endedBy);

// A seekable device from where it stands: UTF-16 when it starts with a byte order mark,
// else UTF-8, read again as Windows-1252 when it turns out not to be UTF-8.
ScanResult scanSeekable(QIODevice &device, ScanScope scope, qint64 sizeLimit,
                        const std::optional<ScanFailure> &endedBy)
{
    if (const auto utf16 = utf16Encoding(device.peek(2))) {
        // What Windows editors call "Unicode": decoded whole, then read as UTF-8. An odd
        // byte at the end becomes a replacement character.
        const QByteArray bytes = readUpTo(device, sizeLimit).bytes;
        QStringDecoder decoder(*utf16, QStringConverter::Flag::Stateless);
        return scanBytes(QString(decoder(bytes)).toUtf8(), scope, sizeLimit,
                         bytes.size() > sizeLimit ? ScanFailure::tooLarge(sizeLimit) : endedBy);
    }
    const qint64 start = device.pos();
    Pass pass = scanAs(device, TextEncoding::Utf8, scope, sizeLimit, endedBy);
    if (pass.invalidUtf8 && device.seek(start))
        pass = scanAs(device, TextEncoding::Windows1252, scope, sizeLimit, endedBy);
    return std::move(pass.result);
}

ScanResult scanBytes(const QByteArray &bytes, ScanScope scope, qint64 sizeLimit,
                     const std::optional<ScanFailure> &endedBy)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return scanSeekable(buffer, scope, sizeLimit, endedBy);
}

} // namespace

QString ScanFailure::description() const
{
    switch (cause) {
    case Cause::MalformedAddress:
        return QStringLiteral("line %1: malformed address \"%2\"").arg(lineNumber).arg(detail);
    case Cause::ReadError:
        return QStringLiteral("read error: %1").arg(detail);
    case Cause::CannotOpen:
    case Cause::NotRegularFile:
    case Cause::FileChanged:
    case Cause::TooLarge:
    case Cause::OutOfMemory:
        break;
    }
    return detail;
}

ConfigScan::ConfigScan(FileFacts *facts)
{
    if (facts)
        m_facts.emplace(*facts);
}

ConfigScan::Step ConfigScan::take(QStringView line)
{
    ++m_lineNumber;
    // The HTTP settings are passed over up to the next section, where reading goes on:
    // client sections may follow them.
    if (m_inHttpSettings && !line.startsWith(u'[')) {
        if (m_facts)
            m_facts->takeLine(m_lineNumber, line, false);
        return Step::Continue;
    }
    m_inHttpSettings = false;

    const bool macHeader = MyMacAddr(line, m_currentMac);
    if (macHeader)
        m_macHeaderSincePending = true;
    // The address normalisation may lengthen the line, but only by spaces, which move
    // no key and add no "[HTTP".
    const LineKeys keys = findKeys(line);
    if (m_facts && macHeader)
        m_facts->takeMacHeader(m_lineNumber, m_currentMac);
    else if (m_facts)
        m_facts->takeLine(m_lineNumber, line, keys.address >= 0);

    if (keys.address >= 0) {
        if (m_facts)
            m_facts->takeAddressLine(m_lineNumber, keys.address, line);
        copyInto(m_currentLine, line);
        takeAddressLine(keys.address);
        if (m_failure)
            return Step::Failed;
        line = m_currentLine;
    }
    if (keys.hostName >= 0)
        takeHostNameLine(line);

    m_inHttpSettings = keys.httpSettings;
    return Step::Continue;
}

void ConfigScan::takeAddressLine(qsizetype keyPosition)
{
    if (!m_pendingAddress.isEmpty())
        addPendingRow();

    if (!MyIPAddr(m_currentLine, m_address)) {
        // The padding MyIPAddr may have added is trailing space, which trimming drops.
        const QStringView value
            = QStringView(m_currentLine).sliced(keyPosition + AddressKey.size());
        m_failure = ScanFailure{ScanFailure::Cause::MalformedAddress,
                                cutAtSemicolon(value).trimmed().toString(), m_lineNumber};
        return;
    }
    if (m_address.isEmpty())
        return;
    std::swap(m_pendingAddress, m_address); // the old buffer is reused for the next line
    copyInto(m_pendingMac, m_currentMac);
    m_macHeaderSincePending = false;
}

void ConfigScan::takeHostNameLine(QStringView line)
{
    if (m_pendingAddress.isEmpty())
        return;
    m_table.append(m_pendingAddress, cutAtSemicolon(line.sliced(HostNameValuePosition)),
                   m_currentMac);
    m_pendingAddress.truncate(0);
    m_currentMac.truncate(0);
}

// A client without a host name line still gets its row: no host name, and the MAC that
// stood above its address. The current MAC is emptied only when it is still that one,
// so the next client keeps its own.
void ConfigScan::addPendingRow()
{
    m_table.append(m_pendingAddress, {}, m_pendingMac);
    m_pendingAddress.truncate(0);
    if (!m_macHeaderSincePending)
        m_currentMac.truncate(0);
}

void ConfigScan::finish()
{
    if (!m_pendingAddress.isEmpty())
        addPendingRow();
    m_table.sort();
    m_table.markRepeatedAddresses();
}

void ConfigScan::abandon()
{
    m_pendingAddress.truncate(0);
    m_table.sort();
}

ScanFailure ScanFailure::tooLarge(qint64 sizeLimit)
{
    const QString size
        = sizeLimit % (qint64(1) << 30) == 0   ? QStringLiteral("%1 GiB").arg(sizeLimit >> 30)
          : sizeLimit % (qint64(1) << 20) == 0 ? QStringLiteral("%1 MiB").arg(sizeLimit >> 20)
                                               : QStringLiteral("%1 bytes").arg(sizeLimit);
    return {Cause::TooLarge, QStringLiteral("larger than %1, the most that is read").arg(size)};
}

ScanFailure ScanFailure::outOfMemory()
{
    return {Cause::OutOfMemory, QStringLiteral("not enough memory to read the file")};
}

ScanResult scanDevice(QIODevice &device, ScanScope scope, qint64 sizeLimit)
{
    try {
        if (!device.isSequential())
            return scanSeekable(device, scope, sizeLimit, std::nullopt);
        // Reading twice needs a device that can go back to where it started.
        InputBytes input = readUpTo(device, sizeLimit);
        return scanBytes(input.bytes, scope, sizeLimit, input.failure);
    } catch (const std::bad_alloc &) {
        return {{}, ScanFailure::outOfMemory(), {}};
    }
}

ScanResult scanStandardInput(ScanScope scope, qint64 sizeLimit)
{
    try {
        const InputBytes input = readStandardInput(sizeLimit);
        if (input.failure && input.failure->cause == ScanFailure::Cause::TooLarge
            && input.bytes.isEmpty())
            return {{}, input.failure, {}};
        return scanBytes(input.bytes, scope, sizeLimit, input.failure);
    } catch (const std::bad_alloc &) {
        return {{}, ScanFailure::outOfMemory(), {}};
    }
}

ScanResult scanFile(const QString &path, ScanScope scope, qint64 sizeLimit)
{
    QFile file;
    if (std::optional<ScanFailure> failure = openConfigFile(path, file))
        return {{}, std::move(failure), {}};

    // The server may write the file while it is read. A scan during which the file
    // changed (its size or modification time, or where its end was found) is made
    // again, so that the rows always come from one version of it.
    constexpr int Attempts = 3;
    for (int attempt = 1; attempt <= Attempts && file.seek(0); ++attempt) {
        const FileStamp before = stampOf(file);
        if (before.size > sizeLimit)
            return {{}, ScanFailure::tooLarge(sizeLimit), {}};
        ScanResult result = scanDevice(file, scope, sizeLimit);
        const FileStamp after = stampOf(file);
        // A scan that failed on a line of its own stopped reading before the end.
        if (after == before && (!result.isComplete() || file.pos() == after.size))
            return result;
    }
    return {{},
            ScanFailure{ScanFailure::Cause::FileChanged,
                        QStringLiteral("the file kept changing while it was read")},
            {}};
}

} // namespace kelto
