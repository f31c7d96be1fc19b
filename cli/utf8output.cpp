#include "utf8output.h"

#include "configfile.h"
#include "terminal.h"

#include <cerrno>

namespace kelto {

namespace {

constexpr qsizetype BlockSize = 1 << 20;

} // namespace

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

void writeNumber(Utf8Output &out, qint64 number)
{
    out << QLatin1StringView(QByteArray::number(number));
}

} // namespace kelto
