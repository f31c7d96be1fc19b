#include "scan.h"

#include "configfile.h"
#include "fields.h"
#include "lookup.h"
#include "filetext.h"
#include "text.h"
#include "vectorscan.h"

#include <QFile>

#include <chrono>
#include <span>
#include <thread>

namespace kelto {

namespace {

constexpr std::string_view AddressKey = "IPADDR=";
constexpr std::string_view HostNameKey = "hostname="; // any letter case
constexpr std::string_view HttpSettings = "[HTTP";
constexpr qsizetype HostNameValuePosition = 9; // column 10: just after "hostname="

// What a line holds for the scan: where the keys of an address line and of a host
// name line stand (-1: the line is none), and whether it contains "[HTTP".
struct LineKeys
{
    qsizetype address = -1;
    qsizetype hostName = -1;
    bool httpSettings = false;
};

// Where a key of a line counts: its first occurrence, unless that stands at column 2
// (behind a comment character) or right after a letter, a digit or "_", where it ends
// a longer key such as DEFAULTIPADDR= of the DNS settings.
qsizetype countedKey(std::span<const uchar> line, qsizetype at)
{
    if (at > 0 && (columnOffset(line, 1) == at || isAsciiWordCharacter(line[size_t(at - 1)])))
        return -1;
    return at;
}

// Takes a character of a line that may end a key: "=" ends both keys, and "[" starts
// "[HTTP". `at` is its position in the line; only a key's first occurrence counts.
void noteKeyEnd(std::span<const uchar> line, qsizetype at, LineKeys &keys)
{
    constexpr auto AddressKeyEnd = qsizetype(AddressKey.size() - 1);
    constexpr auto HostNameKeyEnd = qsizetype(HostNameKey.size() - 1);
    if (line[size_t(at)] == '[') {
        keys.httpSettings = keys.httpSettings || startsWithKey(line.subspan(size_t(at)), HttpSettings, false);
        return;
    }
    if (keys.address < 0 && at >= AddressKeyEnd
        && startsWithKey(line.subspan(size_t(at - AddressKeyEnd)), AddressKey, false))
        keys.address = at - AddressKeyEnd;
    if (keys.hostName < 0 && at >= HostNameKeyEnd
        && startsWithKey(line.subspan(size_t(at - HostNameKeyEnd)), HostNameKey, true))
        keys.hostName = at - HostNameKeyEnd;
}

// Whether a line holds the key LeaseEnd= (any letter case, blanks before it and around
// "="), as the facts read it; only the lines that start so are converted to be read.
bool isLeaseEndLine(std::span<const uchar> line)
{
    constexpr std::string_view Key = "leaseend";
    auto c = std::find_if_not(line.begin(), line.end(), isBlank<uchar>);
    for (const char k : Key) {
        if (c == line.end() || foldAscii(*c) != uchar(k))
            return false;
        ++c;
    }
    c = std::find_if_not(c, line.end(), isBlank<uchar>);
    return c != line.end() && *c == '=';
}

// A line for Qt's text: `text` becomes its characters, in the memory it holds already.
void assignUtf8(std::span<const uchar> utf8, QString &text)
{
    text.resize(qsizetype(utf8.size()));
    auto *units = reinterpret_cast<char16_t *>(text.data());
    qsizetype characters = 0;
    text.truncate(appendUtf16(utf8, units, characters) - units);
}

QString toQString(std::span<const uchar> utf8)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(utf8.data()), qsizetype(utf8.size()));
}

// Reads the lines of the file's text into the host table, and the facts when asked for.
// A line ends at CRLF, LF or a lone CR; a last line without a terminator counts too.
// Every other character, NUL included, is part of its line.
class LineScan
{
public:
    LineScan(const FileText &text, HostTable &table, FileFacts *facts, FactsReader::Reading reading)
        : m_text(text.bytes()), m_ascii(text.isAscii()), m_table(table)
    {
        if (facts)
            m_facts.emplace(*facts, reading);
    }

    // Reads every line; stops at the first that the scan cannot read. One pass over a
    // line finds its end and the characters that keys end in, which are rare.
    std::optional<ScanFailure> run()
    {
        const uchar *begin = m_text.data();
        const uchar *end = begin + m_text.size();
        for (const uchar *p = begin; p != end;) {
            LineKeys keys;
            const uchar *lineEnd = p;
            for (;;) {
                lineEnd = vectorscan::findAnyOf(lineEnd, end, '\n', '\r', '=', '[');
                if (lineEnd == end || *lineEnd == '\n' || *lineEnd == '\r')
                    break;
                noteKeyEnd(std::span<const uchar>(p, end), lineEnd - p, keys);
                ++lineEnd;
            }
            if (!take(p - begin, lineEnd - p, keys))
                return m_failure;
            p = lineEnd;
            if (p != end)
                p += *p == '\r' && p + 1 != end && p[1] == '\n' ? 2 : 1;
        }
        return std::nullopt;
    }

    // Ends the scan: a client still pending gets its row when the whole file was read;
    // when the scan failed or could not read on, the rows read so far stay, unmarked.
    void finish(bool complete, bool sorted)
    {
        if (m_pendingAddress && complete)
            addPendingRow();
        if (sorted)
            m_table.sort();
        if (sorted && complete)
            m_table.markRepeatedAddresses();
    }

private:
    bool take(qsizetype start, qsizetype length, LineKeys keys)
    {
        const std::span<const uchar> line = m_text.subspan(size_t(start), size_t(length));
        ++m_lineNumber;
        // The HTTP settings are passed over up to the next section, where reading goes
        // on: client sections may follow them.
        if (m_inHttpSettings && (line.empty() || line[0] != '[')) {
            if (m_facts && m_facts->needsLine(line))
                m_facts->takeLine(m_lineNumber, qtText(line), false);
            return true;
        }
        m_inHttpSettings = false;

        const bool macHeader = MyMacAddr(line);
        if (macHeader) {
            m_currentMac = start + 1;
            m_macHeaderSincePending = true;
        }
        if (!line.empty() && line[0] == '[')
            startSection(macHeader);
        else if (m_inClientSection && isLeaseEndLine(line))
            takeLeaseEndLine(start);
        keys.address = keys.address < 0 ? -1 : countedKey(line, keys.address);
        keys.hostName = keys.hostName < 0 ? -1 : countedKey(line, keys.hostName);
        if (m_facts && macHeader)
            m_facts->takeMacHeader(m_lineNumber, m_facts->readsClientSections()
                                                     ? qtText(line.subspan(1, size_t(offsetOf(line.subspan(1), MacFieldWidth))))
                                                     : QStringView());
        else if (m_facts && m_facts->needsLine(line))
            m_facts->takeLine(m_lineNumber, qtText(line), keys.address >= 0);

        if (keys.address >= 0 && !takeAddressLine(line, keys.address))
            return false;
        if (keys.hostName >= 0)
            takeHostNameLine(start, line);
        m_inHttpSettings = keys.httpSettings;
        return true;
    }

    bool takeAddressLine(std::span<const uchar> line, qsizetype keyPosition)
    {
        if (m_pendingAddress)
            addPendingRow();
        if (m_facts && m_facts->readsClientSections()) {
            const auto value = line.subspan(size_t(offsetOf(line, AddressValuePosition)));
            m_facts->takeAddressLine(m_lineNumber, keyPosition,
                                     withoutTrailingSpaces(qtText(cutAtSemicolon(value))));
        }
        if (!MyIPAddr(line, m_address)) {
            const auto value = line.subspan(size_t(keyPosition) + AddressKey.size());
            m_failure = ScanFailure{ScanFailure::Cause::MalformedAddress,
                                    toQString(cutAtSemicolon(value)).trimmed(), m_lineNumber};
            return false;
        }
        m_sectionHasAddress = true;
        if (m_address.size == 0)
            return true;
        m_pendingNameBeforeAddress = std::exchange(m_nameBeforeAddress, std::nullopt);
        m_pendingLeaseLine = m_sectionLeaseLine;
        m_pendingSection = m_section;
        m_pendingAddress = true;
        m_pendingMac = m_currentMac;
        m_macHeaderSincePending = false;
        return true;
    }

    void takeHostNameLine(qsizetype start, std::span<const uchar> line)
    {
        // The value is read from column 10 whatever column the key stands at.
        const qsizetype nameStart = offsetOf(line, HostNameValuePosition);
        const auto value = cutAtSemicolon(line.subspan(size_t(nameStart)));
        if (m_facts && m_facts->readsClientSections() && m_inClientSection && !m_sectionHasAddress)
            m_nameBeforeAddress = HostNameBeforeAddress{
                m_lineNumber, withoutTrailingSpaces(qtText(value)).toString(), {}, {}};
        if (!m_pendingAddress)
            return;
        m_table.append(m_address, start + nameStart, qsizetype(value.size()),
                       m_currentMac, m_pendingLeaseLine);
        m_pendingAddress = false;
        m_currentMac = 0;
        noteRowOfNameBeforeAddress();
    }

    // A section header: a client section when it is a MAC header.
    void startSection(bool client)
    {
        m_inClientSection = client;
        m_sectionHasAddress = false;
        m_nameBeforeAddress.reset();
        m_sectionFirstRow = m_table.size();
        m_sectionLeaseLine = -1;
        ++m_section;
    }

    // The lease of a client section belongs to its rows: those added, the one whose
    // address waits for its host name, and those to come.
    void takeLeaseEndLine(qsizetype start)
    {
        m_sectionLeaseLine = start;
        m_table.setLeaseLine(m_sectionFirstRow, start);
        if (m_pendingAddress && m_pendingSection == m_section)
            m_pendingLeaseLine = start;
    }

    // The scan pairs a host name with the address above it: a host name line that
    // stands before the address of its section leaves that address's row with the name
    // of a later line, or none. Noted once that row is made.
    void noteRowOfNameBeforeAddress()
    {
        if (!m_pendingNameBeforeAddress)
            return;
        HostNameBeforeAddress note = *std::exchange(m_pendingNameBeforeAddress, std::nullopt);
        const HostFields row = fieldsOf(m_table.row(m_table.size() - 1));
        note.address = row.address;
        note.shownHostName = row.hostName;
        m_facts->takeHostNameBeforeAddress(std::move(note));
    }

    // A client without a host name line still gets its row: no host name, and the MAC
    // that stood above its address. The current MAC is emptied only when it is still
    // that one, so the next client keeps its own.
    void addPendingRow()
    {
        m_table.append(m_address, 0, 0, m_pendingMac, m_pendingLeaseLine);
        m_pendingAddress = false;
        if (!m_macHeaderSincePending)
            m_currentMac = 0;
        noteRowOfNameBeforeAddress();
    }

    // Where the character at `column` of a line starts: the column itself when the text
    // is ASCII.
    qsizetype offsetOf(std::span<const uchar> line, qsizetype column) const
    {
        return m_ascii ? std::min(column, qsizetype(line.size())) : columnOffset(line, column);
    }

    // A line for the facts, as Qt's text, in a buffer used line after line.
    QStringView qtText(std::span<const uchar> chars)
    {
        assignUtf8(chars, m_line);
        return m_line;
    }

    std::span<const uchar> m_text;
    bool m_ascii;
    HostTable &m_table;
    std::optional<FactsReader> m_facts;
    std::optional<ScanFailure> m_failure;
    qsizetype m_lineNumber = 0;
    qsizetype m_currentMac = 0; // the position of the current MAC in the text; 0 for none
    AddressField m_address; // of the pending row
    bool m_pendingAddress = false;
    qsizetype m_pendingMac = 0; // the current MAC when the pending address was read
    bool m_macHeaderSincePending = false;
    bool m_inHttpSettings = false; // after a line containing "[HTTP", up to the next section
    bool m_inClientSection = false; // after a MAC header, up to the next section
    bool m_sectionHasAddress = false;
    qsizetype m_sectionFirstRow = 0; // the first row added since the section began
    qsizetype m_sectionLeaseLine = -1; // where its LeaseEnd= line starts; -1 for none
    qsizetype m_section = 0; // sections begun
    qsizetype m_pendingSection = 0; // where the pending address was read
    qsizetype m_pendingLeaseLine = -1;
    // With the facts: a host name line of this client section before its address, and
    // the one whose section's address waits for its row.
    std::optional<HostNameBeforeAddress> m_nameBeforeAddress;
    std::optional<HostNameBeforeAddress> m_pendingNameBeforeAddress;
    QString m_line;
};

// Scans the text of a whole file, or of the part of it read before `endedBy`.
ScanResult scanText(FileText text, ScanScope scope, const std::optional<ScanFailure> &endedBy)
{
    ScanResult result;
    result.table = HostTable(std::move(text));
    const bool withFacts = scope != ScanScope::Table && scope != ScanScope::Rows;
    const bool sorted = scope == ScanScope::Table || scope == ScanScope::TableAndFacts
                        || scope == ScanScope::TableAndSettings;
    using Reading = FactsReader::Reading;
    const Reading reading = scope == ScanScope::RowsAndPoolFacts   ? Reading::AllButMacs
                            : scope == ScanScope::TableAndSettings ? Reading::Settings
                                                                   : Reading::Everything;
    LineScan scan(result.table.text(), result.table, withFacts ? &result.facts : nullptr, reading);
    try {
        result.failure = scan.run();
        scan.finish(!result.failure && !endedBy, sorted);
    } catch (const std::bad_alloc &) {
        result.failure = ScanFailure::outOfMemory();
    }
    if (!result.failure)
        result.failure = endedBy;
    return result;
}

// Decodes and scans bytes read from a file or a device; their failure is how the input
// ended when it could not be read to its end.
ScanResult scanInput(InputBytes input, ScanScope scope)
{
    bool tooLarge = false;
    FileText text = FileText::decode(std::move(input.bytes), tooLarge, input.failure.has_value());
    if (tooLarge)
        input.failure = ScanFailure::tooLargeOnceConverted();
    if (input.failure)
        text.cutAfterLastLineEnd(); // a line that the end of the input cut short is none
    return scanText(std::move(text), scope, input.failure);
}

// A device from where it stands to its end, waiting for data that has not come yet: at
// most `sizeLimit` bytes, and a failure when there were more. `sizeHint` is the size
// expected, so that a file is read into one buffer of its size.
InputBytes readUpTo(QIODevice &device, qint64 sizeLimit, qint64 sizeHint)
{
    constexpr qint64 Block = qint64(1) << 16;
    InputBytes input;
    QByteArray &bytes = input.bytes;
    qint64 used = 0;
    for (;;) {
        if (used == bytes.size()) {
            const qint64 room = sizeLimit + 1 - used; // one byte more tells there is more
            if (room <= 0)
                break;
            bytes.resize(qsizetype(used + std::min(std::max({used, Block, sizeHint + 1 - used}), room)));
            adviseHugePages(bytes.data() + used, bytes.size() - used);
        }
        const qint64 got = device.read(bytes.data() + used, bytes.size() - used);
        if (got < 0) {
            input.failure = ScanFailure{ScanFailure::Cause::ReadError, device.errorString()};
            break;
        }
        used += got;
        if (got == 0 && !device.waitForReadyRead(-1))
            break;
    }
    bytes.truncate(qsizetype(std::min(used, sizeLimit)));
    if (used > sizeLimit)
        input.failure = ScanFailure::tooLarge(sizeLimit);
    return input;
}

// Whether the file reads, from its start, exactly `bytes` and no more. Read in blocks and
// compared as it goes, so that it costs no second copy of the file.
bool readsTheSame(QFile &file, QByteArrayView bytes)
{
    constexpr qsizetype Block = qsizetype(1) << 20;
    if (!file.seek(0))
        return false;
    QByteArray block(std::min(Block, bytes.size()) + 1, Qt::Uninitialized);
    for (qsizetype at = 0;;) {
        const qint64 got = file.read(block.data(), block.size());
        if (got < 0 || at + got > bytes.size())
            return false;
        if (got == 0)
            return at == bytes.size();
        if (QByteArrayView(block.constData(), got) != bytes.sliced(at, got))
            return false;
        at += got;
    }
}

// A file whose last write is this recent may have one still landing: the system stamps
// the modification time when a write starts, before its data is in the file, so a reading
// that overlaps the write finds the same stamp before and after it.
constexpr qint64 RecentWriteNs = 2'000'000'000;
// How long a recently written file must have been left alone before a reading of it
// counts: a writer held up in the middle of its write (the system may make it wait for
// its journal) leaves the file half written, and a quiet file is one it has left.
constexpr qint64 QuietNs = 10'000'000;

qint64 lastWriteNs(const FileStamp &stamp)
{
    return std::max(stamp.modifiedNs, stamp.changedNs);
}

// The bytes of one version of the file, however the server writes it meanwhile, or
// nothing when no version held still long enough to be read. A reading counts when the
// file's stamp is the same before and after it and the bytes read are its size. While
// the last write is recent, it counts only when the file has been left alone for a
// while and a second reading then finds the same stamp and the same bytes. A file that
// has not been written for a while costs one reading.
std::optional<InputBytes> readOneVersion(QFile &file, qint64 sizeLimit)
{
    constexpr int MostReadings = 3;
    for (int reading = 1; reading <= MostReadings; ++reading) {
        if (!file.seek(0))
            return InputBytes{{}, ScanFailure{ScanFailure::Cause::ReadError, file.errorString()}};
        const FileStamp before = stampOf(file);
        if (before.size > sizeLimit)
            return InputBytes{{}, ScanFailure::tooLarge(sizeLimit)};
        InputBytes input = readUpTo(file, sizeLimit, before.size);
        const FileStamp after = stampOf(file);
        if (after != before)
            continue;
        if (input.failure)
            return input;
        if (input.bytes.size() != after.size) {
            // A file of size 0 that yields bytes is made by the system as it is read
            // (/proc, /sys): it has no version to check, and is no server's file.
            if (after.size == 0)
                return InputBytes{{}, ScanFailure{ScanFailure::Cause::NotRegularFile,
                                                  QStringLiteral("not a regular file on disk")}};
            continue;
        }
        // A time in the future (a share whose clock runs ahead) counts as recent too.
        const qint64 leftAlone = nowNs() - lastWriteNs(after);
        if (leftAlone >= RecentWriteNs)
            return input;
        if (leftAlone < QuietNs)
            std::this_thread::sleep_for(std::chrono::nanoseconds(QuietNs - std::max<qint64>(leftAlone, 0)));
        if (readsTheSame(file, input.bytes) && stampOf(file) == after)
            return input;
    }
    return std::nullopt;
}

// Reads an input with read(limit) and scans what it gave: the one place where the limit
// is set. The limit counts the input's bytes; a reader refuses an input larger than it
// from its size, before reading, where it can tell the size (a regular file), and stops
// one byte past it otherwise. A larger limit than MostTextBytes counts as that.
template <typename Read> ScanResult readAndScan(ScanScope scope, qint64 sizeLimit, Read read)
{
    try {
        return scanInput(read(std::min(sizeLimit, MostTextBytes)), scope);
    } catch (const std::bad_alloc &) {
        return {{}, ScanFailure::outOfMemory(), {}};
    }
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

ScanFailure ScanFailure::tooLarge(qint64 sizeLimit)
{
    const QString size
        = sizeLimit % (qint64(1) << 30) == 0   ? QStringLiteral("%1 GiB").arg(sizeLimit >> 30)
          : sizeLimit % (qint64(1) << 20) == 0 ? QStringLiteral("%1 MiB").arg(sizeLimit >> 20)
                                               : QStringLiteral("%1 bytes").arg(sizeLimit);
    return {Cause::TooLarge, QStringLiteral("larger than %1, the most that is read").arg(size)};
}

ScanFailure ScanFailure::tooLargeOnceConverted()
{
    return {Cause::TooLarge, QStringLiteral("larger than %1 GiB once converted to UTF-8, the most "
                                            "a scan can hold")
                                 .arg(MostTextBytes >> 30)};
}

ScanFailure ScanFailure::outOfMemory()
{
    return {Cause::OutOfMemory, QStringLiteral("not enough memory to read the file")};
}

ScanResult scanBytes(QByteArray bytes, ScanScope scope, qint64 sizeLimit)
{
    return readAndScan(scope, sizeLimit, [&bytes](qint64 limit) {
        InputBytes input{std::move(bytes), std::nullopt};
        if (input.bytes.size() > limit) {
            input.bytes.truncate(qsizetype(limit));
            input.failure = ScanFailure::tooLarge(limit);
        }
        return input;
    });
}

ScanResult scanDevice(QIODevice &device, ScanScope scope, qint64 sizeLimit)
{
    return readAndScan(scope, sizeLimit, [&device](qint64 limit) {
        const qint64 sizeHint = device.isSequential() ? 0 : device.size() - device.pos();
        return readUpTo(device, limit, std::min(sizeHint, limit));
    });
}

ScanResult scanStandardInput(ScanScope scope, qint64 sizeLimit)
{
    return readAndScan(scope, sizeLimit, readStandardInput);
}

ScanResult scanFile(const QString &path, ScanScope scope, qint64 sizeLimit)
{
    QFile file;
    if (std::optional<ScanFailure> failure = openConfigFile(path, file))
        return {{}, std::move(failure), {}};
    return readAndScan(scope, sizeLimit, [&file](qint64 limit) {
        return readOneVersion(file, limit).value_or(InputBytes{
            {}, ScanFailure{ScanFailure::Cause::FileChanged,
                            QStringLiteral("the file kept changing while it was read")}});
    });
}

} // namespace kelto
