#include "filetext.h"

#include "vectorscan.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace kelto {

namespace {

constexpr QByteArrayView Utf8ByteOrderMark("\xEF\xBB\xBF");

bool allAscii(QByteArrayView bytes)
{
    const auto *begin = reinterpret_cast<const uchar *>(bytes.data());
    return vectorscan::isAscii(begin, begin + bytes.size());
}

qsizetype afterLastLineEnd(const char *chars, qsizetype size)
{
    while (size > 0 && chars[size - 1] != '\n' && chars[size - 1] != '\r')
        --size;
    return size;
}

// Reads Windows-1252: one character per byte.
struct Windows1252
{
    static constexpr qsizetype UnitBytes = 1;
    static const uchar *asciiEnd(const uchar *p, const uchar *end)
    {
        return vectorscan::asciiEnd(p, end);
    }
    static char *copyAscii(const uchar *p, const uchar *end, char *out)
    {
        std::memmove(out, p, size_t(end - p));
        return out + (end - p);
    }
    static char32_t next(const uchar *&p, const uchar *)
    {
        return windows1252CodePoint(*p++);
    }
};

// Reads UTF-16 in either byte order, malformed input as the web's UTF-16 decoder has it:
// a lone surrogate is a replacement character, and so is an odd byte at the end, or a
// lead surrogate and the odd byte after it together.
template <bool LittleEndian> struct Utf16
{
    static constexpr qsizetype UnitBytes = 2;
    static const uchar *asciiEnd(const uchar *p, const uchar *end)
    {
        return vectorscan::asciiUnitsEnd(p, end, LittleEndian);
    }
    static char *copyAscii(const uchar *p, const uchar *end, char *out)
    {
        return vectorscan::narrowAsciiUnits(p, end, out, LittleEndian);
    }
    static char16_t unitAt(const uchar *p)
    {
        return LittleEndian ? char16_t(p[0] | p[1] << 8) : char16_t(p[0] << 8 | p[1]);
    }
    static char32_t next(const uchar *&p, const uchar *end)
    {
        if (end - p < 2) { // the odd byte at the end
            p = end;
            return QChar::ReplacementCharacter;
        }
        const char16_t unit = unitAt(p);
        p += 2;
        if (!QChar::isSurrogate(unit))
            return unit;
        if (QChar::isHighSurrogate(unit) && end - p >= 2 && QChar::isLowSurrogate(unitAt(p))) {
            const char16_t low = unitAt(p);
            p += 2;
            return QChar::surrogateToUcs4(unit, low);
        }
        if (QChar::isHighSurrogate(unit) && end - p == 1)
            p = end;
        return QChar::ReplacementCharacter;
    }
};

// Converts the text from `start` on to UTF-8 in the same memory, read by `Encoding`; the
// bytes before `start` (a byte order mark) go. The input is first moved to the end of a
// buffer just large enough that the UTF-8 written from the front never overtakes the
// input still to be read; the system grows a large buffer without copying it, so the
// conversion costs no second copy of the file. Runs of ASCII are taken whole. Stops
// before a character whose UTF-8 would end past `mostBytes`; returns whether all of the
// text was converted.
template <typename Encoding>
bool convertToUtf8(QByteArray &bytes, qsizetype start, qint64 mostBytes)
{
    const auto *begin = reinterpret_cast<const uchar *>(bytes.constData());
    const uchar *end = begin + bytes.size();
    // Pass one: how long the UTF-8 is, and how far it runs ahead of the input. Within a
    // run of ASCII it never gains on the input.
    qint64 written = 0;
    qint64 ahead = 0;
    const uchar *stop = begin + start;
    while (stop != end) {
        const qint64 run = (Encoding::asciiEnd(stop, end) - stop) / Encoding::UnitBytes;
        const qint64 taken = std::min(run, mostBytes - written);
        written += taken;
        stop += taken * Encoding::UnitBytes;
        if (taken < run || stop == end)
            break;
        const uchar *p = stop;
        const qint64 length = utf8Length(Encoding::next(p, end));
        if (written + length > mostBytes)
            break;
        written += length;
        stop = p;
        ahead = std::max(ahead, written - (stop - begin));
    }
    const bool whole = stop == end;
    const qsizetype input = stop - begin;
    // Pass two: convert, reading from where the input lies once moved.
    bytes.resize(std::max(input + qsizetype(ahead), bytes.size()));
    char *data = bytes.data();
    if (ahead > 0)
        std::memmove(data + ahead, data, size_t(input));
    const auto *p = reinterpret_cast<const uchar *>(data + ahead + start);
    const auto *inputEnd = reinterpret_cast<const uchar *>(data + ahead + input);
    char *out = data;
    while (p != inputEnd) {
        const uchar *runEnd = Encoding::asciiEnd(p, inputEnd);
        out = Encoding::copyAscii(p, runEnd, out);
        p = runEnd;
        if (p != inputEnd)
            out = appendUtf8(out, Encoding::next(p, inputEnd));
    }
    bytes.truncate(out - data);
    bytes.squeeze();
    return whole;
}

} // namespace

FileText FileText::decode(QByteArray bytes, bool &tooLarge, bool cutShort, qint64 mostBytes)
{
    FileText text;
    const bool utf16 = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
    // The line that a cut ended is dropped anyway; dropped first, a character it split
    // cannot make the whole text look like another encoding. A line end byte is never
    // part of a longer character in UTF-8 or Windows-1252.
    if (cutShort && !utf16)
        bytes.truncate(afterLastLineEnd(bytes.constData(), bytes.size()));
    bool whole = true;
    bool ascii = !utf16 && allAscii(bytes);
    if (utf16) {
        // What Windows editors call "Unicode".
        whole = bytes[0] == '\xFF' ? convertToUtf8<Utf16<true>>(bytes, 2, mostBytes)
                                   : convertToUtf8<Utf16<false>>(bytes, 2, mostBytes);
        ascii = allAscii(bytes);
    } else if (!ascii && !bytes.isValidUtf8()) {
        whole = convertToUtf8<Windows1252>(bytes, 0, mostBytes);
    } else if (bytes.startsWith(Utf8ByteOrderMark)) {
        bytes.remove(0, Utf8ByteOrderMark.size()); // moves no byte: the text starts later
    }
    if (bytes.size() > mostBytes) {
        bytes.truncate(qsizetype(mostBytes));
        whole = false;
    }
    text.m_bytes = std::move(bytes);
    text.m_ascii = ascii;
    if (!whole) {
        tooLarge = true;
        text.cutAfterLastLineEnd();
    }
    return text;
}

FileText FileText::fromString(QStringView string)
{
    FileText text;
    text.m_bytes = string.toUtf8();
    text.m_ascii = allAscii(text.m_bytes);
    return text;
}

void FileText::cutAfterLastLineEnd()
{
    m_bytes.truncate(afterLastLineEnd(m_bytes.constData(), m_bytes.size()));
}

std::vector<qsizetype> FileText::lineNumbers(const std::vector<qsizetype> &positions) const
{
    std::vector<size_t> order(positions.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::sort(order.begin(), order.end(),
              [&positions](size_t a, size_t b) { return positions[a] < positions[b]; });
    std::vector<qsizetype> lines(positions.size());
    const std::span<const uchar> text = bytes();
    // Line ends are counted once, from one position to the next.
    qsizetype line = 1;
    qsizetype counted = 0;
    for (const size_t i : order) {
        if (positions[i] < 0)
            continue;
        const qsizetype to = std::min(positions[i], size());
        line += vectorscan::countLineEnds(text.data() + counted, text.data() + to,
                                          text.data() + text.size());
        counted = to;
        lines[i] = line;
    }
    return lines;
}

} // namespace kelto
