#include "output.h"

#include "lookup.h"

#include <array>

namespace kelto {

namespace {

constexpr qsizetype BlockSize = 1 << 20;

bool isControl(char16_t c)
{
    return c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0);
}

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
        if (isControl(c)) {
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
    m_buffer.resize(BlockSize);
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
        const bool escape = c == u'"' || c == u'\\' || isControl(c.unicode())
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
        default: {
            std::array<char, sizeof "\\u0000"> buffer;
            *this << controlEscape(c.unicode(), buffer);
        }
        }
    }
    *this << text.sliced(plain) << '"';
}

bool Utf8Output::flush()
{
    if (m_used > 0
        && std::fwrite(m_buffer.constData(), 1, size_t(m_used), m_stream) != size_t(m_used))
        m_failed = true;
    m_used = 0;
    if (std::fflush(m_stream) != 0)
        m_failed = true;
    return !m_failed;
}

void writeRows(Utf8Output &out, const HostTable &table, const RowFilter &keep)
{
    table.forEachRow([&out, &keep](qsizetype, const HostRow &row, bool repeated) {
        if (keep && !keep(row))
            return;
        out << QLatin1StringView(repeated ? "* " : "  ");
        for (const QStringView piece : row.pieces())
            out << piece;
        out << '\n';
    });
}

void writeHostJson(Utf8Output &out, const HostRow &row, bool repeated)
{
    const HostFields fields = fieldsOf(row);
    out << QLatin1StringView("{\"row\": ");
    out.appendJsonString(row.text());
    out << QLatin1StringView(", \"address\": ");
    out.appendJsonString(fields.address);
    out << QLatin1StringView(", \"hostname\": ");
    out.appendJsonString(fields.hostName);
    out << QLatin1StringView(", \"mac\": ");
    out.appendJsonString(fields.mac);
    out << QLatin1StringView(", \"duplicate\": ")
        << QLatin1StringView(repeated ? "true}" : "false}");
}

void writeJson(Utf8Output &out, const QString &file, const ScanResult &scan, const RowFilter &keep)
{
    out << QLatin1StringView("{\"file\": ");
    out.appendJsonString(file);
    out << QLatin1StringView(", \"complete\": ")
        << QLatin1StringView(scan.isComplete() ? "true" : "false")
        << QLatin1StringView(", \"hosts\": [");
    bool first = true;
    scan.table.forEachRow([&](qsizetype, const HostRow &row, bool repeated) {
        if (keep && !keep(row))
            return;
        out << QLatin1StringView(std::exchange(first, false) ? "\n  " : ",\n  ");
        writeHostJson(out, row, repeated);
    });
    out << QLatin1StringView(first ? "]}\n" : "\n]}\n");
}

} // namespace kelto
