#include "linereader.h"

#include "text.h"

#include <QIODevice>

#include <algorithm>
#include <array>
#include <cstring>

namespace kelto {

namespace {

constexpr qsizetype BlockSize = 1 << 16;
constexpr QByteArrayView Utf8ByteOrderMark("\xEF\xBB\xBF");

// Windows-1252 differs from Latin-1 only at 0x80-0x9F. The five bytes that it leaves
// undefined keep their Latin-1 code points, as Windows itself decodes them, so nothing
// read is lost.
constexpr std::array<char16_t, 32> Windows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

QChar fromWindows1252(char byte)
{
    const auto b = uchar(byte);
    return b >= 0x80 && b < 0xA0 ? QChar(Windows1252High[b - 0x80]) : QChar(b);
}

bool isAscii(QByteArrayView bytes)
{
    constexpr quint64 HighBits = 0x8080808080808080;
    quint64 seen = 0;
    qsizetype i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        quint64 word;
        std::memcpy(&word, bytes.data() + i, sizeof word);
        seen |= word;
    }
    for (; i < bytes.size(); ++i)
        seen |= uchar(bytes[i]);
    return (seen & HighBits) == 0;
}

// The length of the part of `bytes` that ends with its last CR or LF, searched for from
// `from` on only; 0 when there is none.
qsizetype wholeLinesLength(QByteArrayView bytes, qsizetype from)
{
    for (qsizetype i = bytes.size(); i > from; --i) {
        if (bytes[i - 1] == '\n' || bytes[i - 1] == '\r')
            return i;
    }
    return 0;
}

} // namespace

LineReader::LineReader(QIODevice &device, TextEncoding encoding, qint64 sizeLimit)
    : m_device(device), m_encoding(encoding), m_sizeLimit(sizeLimit),
      // Blocks hold whole lines, so nothing carries over from one block to the next; a
      // byte order mark is dropped by hand, only at the start of the file.
      m_utf8(QStringConverter::Utf8,
             QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom)
{ }

QString LineReader::errorString() const
{
    return m_device.errorString();
}

bool LineReader::decodeNextBlock()
{
    m_text.truncate(0);
    m_position = 0;
    while (!m_atEnd && m_text.isEmpty()) {
        const qsizetype kept = m_bytes.size();
        m_bytes.resize(kept + BlockSize);
        const qint64 got = m_device.read(m_bytes.data() + kept, BlockSize);
        m_bytes.resize(kept + std::max<qint64>(got, 0));
        m_read += std::max<qint64>(got, 0);
        if (got < 0 || isTooLarge()) {
            m_readError = got < 0;
            m_atEnd = true;
            return false;
        }
        m_atEnd = got == 0;
        // At the end the rest is a last line without a terminator. Before it, the bytes
        // kept from the last read hold no line end, so only the new ones are searched:
        // a line of any length is read in linear time.
        const qsizetype length = m_atEnd ? m_bytes.size() : wholeLinesLength(m_bytes, kept);
        if (length > 0) {
            decode(QByteArrayView(m_bytes).first(length));
            m_bytes.remove(0, length);
        }
    }
    return !m_text.isEmpty();
}

bool LineReader::readLine(QStringView &line)
{
    if (m_position == m_text.size() && !decodeNextBlock())
        return false;
    const auto *text = reinterpret_cast<const char16_t *>(m_text.constData());
    if (m_afterCarriageReturn && text[m_position] == u'\n')
        ++m_position; // the LF of a CRLF that straddled two blocks
    m_afterCarriageReturn = false;
    if (m_position == m_text.size() && !decodeNextBlock())
        return false;
    text = reinterpret_cast<const char16_t *>(m_text.constData());

    const qsizetype end = indexOfEither(m_text, u'\n', u'\r', m_position);
    line = QStringView(m_text).sliced(m_position, (end < 0 ? m_text.size() : end) - m_position);
    m_position += line.size();
    if (end >= 0) {
        ++m_position;
        if (text[end] == u'\r') {
            if (m_position < m_text.size())
                m_position += text[m_position] == u'\n';
            else
                m_afterCarriageReturn = true;
        }
    }
    return true;
}

void LineReader::skipRest()
{
    QStringView line;
    while (readLine(line)) { }
}

void LineReader::decode(QByteArrayView bytes)
{
    if (m_encoding == TextEncoding::Utf8 && std::exchange(m_atFileStart, false)
        && bytes.startsWith(Utf8ByteOrderMark))
        bytes = bytes.sliced(Utf8ByteOrderMark.size());

    // Nearly every file is ASCII, which reads the same in both encodings.
    if (isAscii(bytes)) {
        m_text.append(QLatin1StringView(bytes));
    } else if (m_encoding == TextEncoding::Windows1252) {
        m_text.resize(bytes.size());
        std::transform(bytes.begin(), bytes.end(), m_text.begin(), fromWindows1252);
    } else {
        m_text.resize(m_utf8.requiredSpace(bytes.size()));
        const QChar *end = m_utf8.appendToBuffer(m_text.data(), bytes);
        m_text.truncate(end - m_text.constData());
    }
}

} // namespace kelto
