#include "output.h"

#include "lookup.h"

namespace kelto {

namespace {

constexpr qsizetype BlockSize = 1 << 20;

} // namespace

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
        const bool escape = c == u'"' || c == u'\\' || c.unicode() < 0x20
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
        case u'\n':
            *this << QLatin1StringView("\\n");
            break;
        case u'\r':
            *this << QLatin1StringView("\\r");
            break;
        case u'\t':
            *this << QLatin1StringView("\\t");
            break;
        default: {
            char escaped[sizeof "\\u0000"];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(c.unicode()));
            *this << QLatin1StringView(escaped);
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
