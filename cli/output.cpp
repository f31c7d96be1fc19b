#include "output.h"

#include "configfile.h"
#include "jsonwriter.h"
#include "lookup.h"

#include <QDateTime>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <thread>

namespace kelto {

namespace {

constexpr qsizetype BlockSize = 1 << 20;

// How a control character is written escaped: \n, \r, \t, else \u001b.
QLatin1StringView controlEscape(char16_t c, std::array<char, sizeof "\\u0000"> &buffer)
{
    switch (c) {
    case u'\n':
        return QLatin1StringView("\\n");
    case u'\r':
        return QLatin1StringView("\\r");
    case u'\t':
        return QLatin1StringView("\\t");
    default:
        std::snprintf(buffer.data(), buffer.size(), "\\u%04x", unsigned(c));
        return QLatin1StringView(buffer.data());
    }
}

} // namespace

bool replaceFile(const QString &path, const QByteArray &bytes, QString &problem)
{
    constexpr int Tries = 50;
    constexpr std::chrono::milliseconds Pause(20);
    for (int attempt = 1;; ++attempt) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            problem = file.errorString();
            return false;
        }
        if (file.commit())
            return true;
        problem = file.errorString();
        if (attempt == Tries)
            return false;
        std::this_thread::sleep_for(Pause);
    }
}

bool canReplaceFile(const QString &path, QString &problem)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        problem = file.errorString();
        return false;
    }
    file.cancelWriting(); // the temporary file goes, and the old file stays
    return true;
}

bool isControlCharacter(char16_t c)
{
    return c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0);
}

void printError(const QString &message)
{
    std::fprintf(stderr, "kelto-cli: %s\n", escapeForTerminal(message).toUtf8().constData());
}

QString escapeForTerminal(QStringView text)
{
    QString escaped;
    escaped.reserve(text.size());
    std::array<char, sizeof "\\u0000"> buffer;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool pairedLow = QChar::isLowSurrogate(c) && i > 0 && text[i - 1].isHighSurrogate();
        const bool pairedHigh
            = QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        if (isControlCharacter(c)) {
            escaped += controlEscape(c, buffer);
        } else if (QChar::isSurrogate(c) && !pairedLow && !pairedHigh) {
            // A byte of a file name that is not UTF-8 is kept as U+DC80-U+DCFF.
            const bool byte = c >= 0xDC80 && c <= 0xDCFF;
            std::snprintf(buffer.data(), buffer.size(), byte ? "\\x%02x" : "\\u%04x",
                          unsigned(byte ? c - 0xDC00 : c));
            escaped += QLatin1StringView(buffer.data());
        } else {
            escaped += QChar(c);
        }
    }
    return escaped;
}

Utf8Output::Utf8Output(std::FILE *stream)
    : m_stream(stream), m_encoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless)
{
    // Standard output taken by the null device at start: what is written is lost.
    if (stream == stdout && standardOutputWasClosed())
        m_error = EBADF;
    m_terminal = kelto::isTerminal(stream);
    m_buffer.resize(BlockSize);
}

Utf8Output::Utf8Output(QIODevice *device)
    : m_device(device), m_encoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless)
{
    m_buffer.resize(BlockSize);
}

Utf8Output &Utf8Output::field(QStringView text)
{
    const bool plain = !m_terminal || std::none_of(text.begin(), text.end(), [](QChar c) {
        return isControlCharacter(c.unicode());
    });
    return *this << (plain ? text : QStringView(escapeForTerminal(text)));
}

Utf8Output::~Utf8Output()
{
    flush();
}

void Utf8Output::makeRoom(qsizetype bytes)
{
    if (m_used + bytes > m_buffer.size()) {
        flush();
        if (bytes > m_buffer.size())
            m_buffer.resize(bytes);
    }
}

Utf8Output &Utf8Output::operator<<(QStringView text)
{
    makeRoom(m_encoder.requiredSpace(text.size()));
    char *out = m_buffer.data() + m_used;
    const auto *chars = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype n = text.size();
    // Rows are nearly always ASCII, which is its own UTF-8: narrowed directly.
    char16_t seen = 0;
    for (qsizetype i = 0; i < n; ++i)
        seen |= chars[i];
    if (seen < 0x80) {
        for (qsizetype i = 0; i < n; ++i)
            out[i] = char(chars[i]);
        out += n;
    } else {
        out = m_encoder.appendToBuffer(out, text);
    }
    m_used = out - m_buffer.data();
    return *this;
}

Utf8Output &Utf8Output::operator<<(QLatin1StringView text)
{
    // Only ever given ASCII, which is the same in UTF-8.
    makeRoom(text.size());
    std::copy(text.begin(), text.end(), m_buffer.data() + m_used);
    m_used += text.size();
    return *this;
}

Utf8Output &Utf8Output::operator<<(char c)
{
    makeRoom(1);
    m_buffer[m_used++] = c;
    return *this;
}

void Utf8Output::appendJsonString(QStringView text)
{
    *this << '"';
    qsizetype plain = 0; // start of the run of characters that need no escape
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool pairedSurrogate
            = (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
              || (c.isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate());
        const bool escape = c == u'"' || c == u'\\' || isControlCharacter(c.unicode())
                            || (c.isSurrogate() && !pairedSurrogate);
        if (!escape)
            continue;
        *this << text.sliced(plain, i - plain);
        plain = i + 1;
        switch (c.unicode()) {
        case u'"':
            *this << QLatin1StringView("\\\"");
            break;
        case u'\\':
            *this << QLatin1StringView("\\\\");
            break;
        default:
            if (c.isSurrogate()) {
                // A byte of a file name that is not UTF-8: JSON has no lone surrogates
                // (strict parsers refuse them), so it is the replacement character.
                *this << QStringView(u"\uFFFD");
            } else {
                std::array<char, sizeof "\\u0000"> buffer;
                *this << controlEscape(c.unicode(), buffer);
            }
        }
    }
    *this << text.sliced(plain) << '"';
}

bool Utf8Output::flush()
{
    if (m_device) {
        if (m_used > 0 && m_error == 0 && m_device->write(m_buffer.constData(), m_used) != m_used)
            m_error = EIO;
        m_used = 0;
        return m_error == 0;
    }
    if (m_used > 0 && m_error == 0
        && std::fwrite(m_buffer.constData(), 1, size_t(m_used), m_stream) != size_t(m_used))
        m_error = errno != 0 ? errno : EIO;
    m_used = 0;
    if (m_error == 0 && std::fflush(m_stream) != 0)
        m_error = errno != 0 ? errno : EIO;
    return m_error == 0;
}

QString Utf8Output::errorString() const
{
    return m_device ? m_device->errorString() : qt_error_string(m_error);
}

void writeRows(Utf8Output &out, const HostTable &table)
{
    if (out.isTerminal()) {
        table.forEachIndex([&out, &table](qsizetype i, bool repeated) {
            out << QLatin1StringView(repeated ? "* " : "  ");
            out.field(table.rowText(i)) << '\n';
        });
        return;
    }
    table.forEachIndex([&out, &table](qsizetype i, bool repeated) {
        char *p = out.reserve(2 + HostTable::RowMaxUtf8 + 1);
        *p++ = repeated ? '*' : ' ';
        *p++ = ' ';
        p = table.appendRowUtf8(i, p);
        *p++ = '\n';
        out.commit(p);
    });
}

RowLease leaseOf(const HostTable &table, qsizetype index, qint64 now)
{
    const std::optional<qint64> end = table.leaseEnd(index);
    if (!end)
        return {{}, QLatin1StringView("none")};
    return {QDateTime::fromSecsSinceEpoch(*end, Qt::UTC).toString(Qt::ISODate),
            QLatin1StringView(*end > now ? "active" : "expired")};
}

void writeHostJson(JsonWriter &json, const HostTable &table, qsizetype index, qint64 now)
{
    const HostRow row = table.row(index);
    const HostFields fields = fieldsOf(row);
    const RowLease lease = leaseOf(table, index, now);
    json.beginObject();
    json.key(QLatin1StringView("row")).value(row.text());
    json.key(QLatin1StringView("address")).value(fields.address);
    json.key(QLatin1StringView("hostname")).value(fields.hostName);
    json.key(QLatin1StringView("mac")).value(fields.mac);
    json.key(QLatin1StringView("duplicate")).value(table.isRepeated(index));
    json.key(QLatin1StringView("leaseEnd"));
    if (lease.end.isEmpty())
        json.null();
    else
        json.value(lease.end);
    json.key(QLatin1StringView("lease")).value(lease.state);
    json.endObject();
}

void writeJson(Utf8Output &out, const QString &file, const ScanResult &scan, qint64 now)
{
    JsonWriter json(out);
    json.beginObject();
    json.key(QLatin1StringView("file")).value(file);
    json.key(QLatin1StringView("complete")).value(scan.isComplete());
    json.key(QLatin1StringView("hosts")).beginArray();
    scan.table.forEachIndex(
        [&](qsizetype i, bool) { writeHostJson(json, scan.table, i, now); });
    json.endArray();
    json.endObject();
    json.finish();
}

namespace {

constexpr std::array<QLatin1StringView, 6> ExportColumns
    = {QLatin1StringView("address"), QLatin1StringView("hostname"), QLatin1StringView("mac"),
       QLatin1StringView("duplicate"), QLatin1StringView("leaseEnd"), QLatin1StringView("lease")};

// A CSV field (RFC 4180): quoted when it holds a comma, a quote or a line end, quotes
// doubled. A field that a spreadsheet would run as a formula gets a leading "'".
void writeCsvField(Utf8Output &out, QStringView field)
{
    const bool formula
        = !field.isEmpty()
          && (field[0] == u'=' || field[0] == u'+' || field[0] == u'-' || field[0] == u'@');
    const bool quote = std::any_of(field.begin(), field.end(), [](QChar c) {
        return c == u',' || c == u'"' || c == u'\r' || c == u'\n';
    });
    if (quote)
        out << '"';
    if (formula)
        out << '\'';
    qsizetype plain = 0;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == u'"') {
            out.field(field.sliced(plain, i + 1 - plain)) << '"';
            plain = i + 1;
        }
    }
    out.field(field.sliced(plain));
    if (quote)
        out << '"';
}

} // namespace

void writeTsvField(Utf8Output &out, QStringView field)
{
    qsizetype plain = 0;
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char16_t c = field[i].unicode();
        const char *escaped = c == u'\\'   ? "\\\\"
                              : c == u'\t' ? "\\t"
                              : c == u'\n' ? "\\n"
                              : c == u'\r' ? "\\r"
                                           : nullptr;
        if (!escaped)
            continue;
        out.field(field.sliced(plain, i - plain)) << QLatin1StringView(escaped);
        plain = i + 1;
    }
    out.field(field.sliced(plain));
}

void writeTableField(Utf8Output &out, QStringView field, TableFormat format)
{
    if (format == TableFormat::Csv)
        writeCsvField(out, field);
    else
        writeTsvField(out, field);
}

void writeTable(Utf8Output &out, const HostTable &table, TableFormat format, qint64 now)
{
    const char separator = format == TableFormat::Csv ? ',' : '\t';
    // CSV lines end in CRLF, as its RFC says, on every system.
    const QLatin1StringView lineEnd(format == TableFormat::Csv ? "\r\n" : "\n");
    const auto writeField = format == TableFormat::Csv ? writeCsvField : writeTsvField;
    for (size_t i = 0; i < ExportColumns.size(); ++i) {
        if (i > 0)
            out << separator;
        out << ExportColumns[i];
    }
    out << lineEnd;
    table.forEachRow([&](qsizetype i, const HostRow &row, bool repeated) {
        const HostFields fields = fieldsOf(row);
        const RowLease lease = leaseOf(table, i, now);
        writeField(out, fields.address);
        out << separator;
        writeField(out, fields.hostName);
        out << separator;
        writeField(out, fields.mac);
        out << separator << QLatin1StringView(repeated ? "true" : "false") << separator
            << lease.end << separator << lease.state << lineEnd;
    });
}

} // namespace kelto
