#include "linereader.h"

#include <QIODevice>

#include <algorithm>
#include <array>

namespace kelto {

namespace {

constexpr qsizetype ChunkSize = 1 << 20;
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

char16_t fromWindows1252(uchar byte)
{
    return byte >= 0x80 && byte < 0xA0 ? Windows1252High[byte - 0x80] : char16_t(byte);
}

bool isLineEnd(char byte)
{
    return byte == '\n' || byte == '\r';
}

} // namespace

LineReader::LineReader(QIODevice &device, TextEncoding encoding)
    : m_device(device), m_encoding(encoding),
      // Lines are decoded one by one: nothing may carry over from one line to the next,
      // and a byte order mark is dropped only at the start of the file.
      m_utf8(QStringConverter::Utf8,
             QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom)
{
}

QString LineReader::errorString() const
{
    return m_device.errorString();
}

bool LineReader::fillBuffer()
{
    if (m_readError)
        return false;
    m_buffer.resize(ChunkSize);
    const qint64 got = m_device.read(m_buffer.data(), ChunkSize);
    m_readError = got < 0;
    m_buffer.resize(std::max<qint64>(got, 0));
    m_position = 0;
    return got > 0;
}

bool LineReader::readLine(QString &line)
{
    m_carried.truncate(0);
    for (;;) {
        if (m_position == m_buffer.size() && !fillBuffer()) {
            if (m_carried.isEmpty() || m_readError)
                return false;
            decode(m_carried, line); // a last line without a terminator
            return true;
        }
        if (m_afterCarriageReturn && m_carried.isEmpty() && m_buffer[m_position] == '\n')
            ++m_position; // the LF of a CRLF that straddled two reads
        m_afterCarriageReturn = false;

        const auto begin = m_buffer.cbegin() + m_position;
        const auto end = std::find_if(begin, m_buffer.cend(), isLineEnd);
        if (end == m_buffer.cend()) {
            m_carried.append(QByteArrayView(begin, end));
            m_position = m_buffer.size();
            continue;
        }

        const QByteArrayView rest(begin, end);
        if (m_carried.isEmpty()) {
            decode(rest, line);
        } else {
            m_carried.append(rest);
            decode(m_carried, line);
        }
        m_position = end - m_buffer.cbegin() + 1;
        if (*end == '\r') {
            if (m_position < m_buffer.size())
                m_position += m_buffer[m_position] == '\n';
            else
                m_afterCarriageReturn = true;
        }
        return true;
    }
}

void LineReader::skipRest()
{
    QString line;
    while (readLine(line)) {
    }
}

void LineReader::decode(QByteArrayView bytes, QString &line)
{
    const bool fileStart = std::exchange(m_atFileStart, false);
    if (m_encoding == TextEncoding::Windows1252) {
        line.resize(bytes.size());
        std::transform(bytes.begin(), bytes.end(), line.begin(),
                       [](char byte) { return QChar(fromWindows1252(uchar(byte))); });
        return;
    }
    if (fileStart && bytes.startsWith(Utf8ByteOrderMark))
        bytes = bytes.sliced(Utf8ByteOrderMark.size());
    line.resize(m_utf8.requiredSpace(bytes.size()));
    const QChar *end = m_utf8.appendToBuffer(line.data(), bytes);
    line.truncate(end - line.constData());
}

} // namespace kelto
