#include "filetext.h"

#include "vectorscan.h"

#include <QStringDecoder>


namespace kelto {

namespace {

constexpr QByteArrayView Utf8ByteOrderMark("\xEF\xBB\xBF");

void appendCodePoints(std::vector<char32_t> &out, QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), text[++i].unicode());
        else if (QChar::isSurrogate(c))
            c = QChar::ReplacementCharacter;
        out.push_back(c);
    }
}

// The code points of valid UTF-8, or nothing when `bytes` are not valid UTF-8. Decoded a
// block at a time, each block ending before a byte that starts a character, so that no
// more than a block is held twice.
std::optional<std::vector<char32_t>> decodeUtf8(QByteArrayView bytes)
{
    constexpr qsizetype Block = qsizetype(1) << 20;
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless
                                                       | QStringConverter::Flag::ConvertInitialBom);
    std::vector<char32_t> codePoints;
    codePoints.reserve(size_t(bytes.size()));
    while (!bytes.isEmpty()) {
        qsizetype n = std::min(Block, bytes.size());
        while (n < bytes.size() && n > 0 && (uchar(bytes[n]) & 0xC0) == 0x80)
            --n;
        if (n == 0)
            n = std::min(Block, bytes.size());
        const QString part = decoder(bytes.first(n));
        if (decoder.hasError())
            return std::nullopt;
        appendCodePoints(codePoints, part);
        bytes = bytes.sliced(n);
    }
    codePoints.shrink_to_fit();
    return codePoints;
}

template <typename Char> qsizetype afterLastLineEnd(const Char *chars, qsizetype size)
{
    while (size > 0 && chars[size - 1] != '\n' && chars[size - 1] != '\r')
        --size;
    return size;
}

} // namespace

FileText FileText::decode(QByteArray bytes, qint64 sizeLimit, bool &tooLarge, bool cutShort)
{
    FileText text;
    bool decoded = false;
    const bool utf16 = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
    // The line that a cut ended is dropped anyway; dropped first, a character it split
    // cannot make the whole text look like another encoding. A line end byte is never
    // part of a longer character in UTF-8 or Windows-1252.
    if (cutShort && !utf16)
        bytes.truncate(afterLastLineEnd(bytes.constData(), bytes.size()));
    const auto *begin = reinterpret_cast<const uchar *>(bytes.constData());
    if (utf16) {
        // What Windows editors call "Unicode". Malformed input as the web's UTF-16
        // decoder has it: a lone surrogate is a replacement character, and so is an odd
        // byte at the end, or a lead surrogate and the odd byte after it together.
        const bool littleEndian = bytes[0] == '\xFF';
        if (bytes.size() % 2 == 1 && bytes.size() >= 5) {
            const qsizetype unit = bytes.size() - 3;
            const auto high = uchar(bytes[littleEndian ? unit + 1 : unit]);
            if (high >= 0xD8 && high <= 0xDB)
                bytes.chop(1);
        }
        QStringDecoder decoder(littleEndian ? QStringConverter::Utf16LE
                                            : QStringConverter::Utf16BE,
                               QStringConverter::Flag::Stateless);
        const QString utf16 = decoder(bytes);
        bytes = QByteArray();
        text.m_codePoints.reserve(size_t(utf16.size()));
        appendCodePoints(text.m_codePoints, utf16);
        decoded = true;
    } else if (!vectorscan::isAscii(begin, begin + bytes.size())) {
        text.m_ascii = false;
        const QByteArrayView utf8 = bytes.startsWith(Utf8ByteOrderMark)
                                        ? QByteArrayView(bytes).sliced(Utf8ByteOrderMark.size())
                                        : QByteArrayView(bytes);
        if (auto codePoints = decodeUtf8(utf8)) {
            text.m_codePoints = std::move(*codePoints);
            bytes = QByteArray();
            decoded = true;
        }
    }
    if (!decoded) {
        text.m_bytes = std::move(bytes);
        return text;
    }
    const auto mostCodePoints = size_t(sizeLimit / qint64(sizeof(char32_t)));
    if (text.m_codePoints.size() > mostCodePoints) {
        tooLarge = true;
        text.m_codePoints.resize(mostCodePoints);
        text.cutAfterLastLineEnd();
    }
    return text;
}

FileText FileText::fromString(QStringView string)
{
    FileText text;
    appendCodePoints(text.m_codePoints, string);
    return text;
}

void FileText::cutAfterLastLineEnd()
{
    if (isBytes())
        m_bytes.truncate(afterLastLineEnd(m_bytes.constData(), m_bytes.size()));
    else
        m_codePoints.resize(size_t(afterLastLineEnd(m_codePoints.data(), size())));
}

} // namespace kelto
