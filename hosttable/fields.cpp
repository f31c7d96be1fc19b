#include "fields.h"

#include "text.h"

#include <QList>

#include <algorithm>
#include <vector>

namespace kelto {

namespace {

constexpr std::array MacDashPositions = {3, 6, 9, 12, 15};

constexpr qsizetype ShortAddressLine = 23; // lines shorter than this read nine more spaces
constexpr qsizetype AddressLinePadding = 9;
constexpr qsizetype AlignedOctetWidth = 4; // three characters and the dot or space after

// The value's window: its first 15 characters with ";" read as a space, and one more
// space behind them for a fourth octet that runs to the window's end.
struct Window
{
    std::array<char32_t, AddressFieldWidth + 1> chars;
    qsizetype width = 0;

    // Like the classic Mid$ function: the characters from 1-based column `start`, at most
    // `length` of them, cut at the end of the window.
    std::u32string_view columns(qsizetype start, qsizetype length) const
    {
        const qsizetype from = std::min(start - 1, width);
        return {chars.data() + from, size_t(std::min(length, width - from))};
    }

    // The 1-based column of the first `c` from column `from` on; 0 when none.
    qsizetype columnOf(char32_t c, qsizetype from) const
    {
        for (qsizetype i = std::max<qsizetype>(from - 1, 0); i < width; ++i) {
            if (chars[size_t(i)] == c)
                return i + 1;
        }
        return 0;
    }
};

void appendOctet(AddressField &field, std::u32string_view group)
{
    if (group.size() == AlignedOctetWidth - 1 || group.size() == AlignedOctetWidth - 2) {
        const auto padding = AlignedOctetWidth - qsizetype(group.size());
        std::fill_n(field.chars.begin() + field.size, padding, U' ');
        field.size += padding;
    }
    std::copy(group.begin(), group.end(), field.chars.begin() + field.size);
    field.size += qsizetype(group.size());
}

// The first characters of a line, as many as the field methods read: 23 tell whether the
// line is short, and hold the value's window and the MAC header.
struct LineStart
{
    static constexpr qsizetype Read = 23;
    std::array<char32_t, Read> chars;
    qsizetype size = 0; // at most Read

    explicit LineStart(std::span<const uchar> utf8)
    {
        const uchar *p = utf8.data();
        const uchar *end = p + utf8.size();
        while (p != end && size < Read)
            chars[size_t(size++)] = nextCodePoint(p);
    }
    explicit LineStart(QStringView text)
    {
        for (qsizetype i = 0; i < text.size() && size < Read; ++i) {
            char32_t c = text[i].unicode();
            if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                c = QChar::surrogateToUcs4(char16_t(c), text[++i].unicode());
            chars[size_t(size++)] = c;
        }
    }
    std::span<const char32_t> view() const { return {chars.data(), size_t(size)}; }
};

QString toQString(std::u32string_view chars)
{
    return QString::fromUcs4(chars.data(), qsizetype(chars.size()));
}

bool isMacHeader(std::span<const char32_t> line)
{
    if (qsizetype(line.size()) < MacHeaderLength || line[0] != U'['
        || line[MacHeaderLength - 1] != U']')
        return false;
    return std::all_of(MacDashPositions.begin(), MacDashPositions.end(),
                       [line](int position) { return line[size_t(position)] == U'-'; });
}

// MyIPAddr on the first characters of a line (all of them when it has fewer than 23).
bool readAddressField(std::span<const char32_t> line, AddressField &field)
{
    const auto size = qsizetype(line.size());
    const qsizetype lengthened = size < ShortAddressLine ? size + AddressLinePadding : size;
    Window window;
    window.width = std::clamp<qsizetype>(lengthened - AddressValuePosition, 0, AddressFieldWidth);
    for (qsizetype i = 0; i < window.width; ++i) {
        const qsizetype at = AddressValuePosition + i;
        const char32_t c = at < size ? line[size_t(at)] : U' ';
        window.chars[size_t(i)] = c == U';' ? U' ' : c;
    }
    window.chars[size_t(window.width)] = U' ';

    const qsizetype p1 = window.columnOf(U'.', 1);
    const qsizetype p2 = window.columnOf(U'.', p1 + 1);
    const qsizetype p3 = window.columnOf(U'.', p2 + 1);
    const qsizetype p4 = window.columnOf(U' ', p3 + 1);
    if ((p1 > 0 && p2 == 0) || (p2 > 0 && p3 == 0))
        return false;

    field.size = 0;
    appendOctet(field, window.columns(1, p1));
    appendOctet(field, window.columns(p1 + 1, p2 - p1));
    appendOctet(field, window.columns(p2 + 1, p3 - p2));
    if (p3 > 0 && p4 == 0) // three dots, no space after the last: up to the window's end
        appendOctet(field, {window.chars.data() + p3, size_t(window.width - p3 + 1)});
    else
        appendOctet(field, window.columns(p3 + 1, p4 - p3));
    while (field.size > 0 && field.chars[size_t(field.size - 1)] == U' ')
        --field.size;
    return true;
}

} // namespace

bool MyMacAddr(std::span<const uchar> line)
{
    // A header's first 19 characters are nearly always ASCII, where a column is a byte.
    if (line.size() < size_t(MacHeaderLength) || line[0] != '[')
        return false;
    const std::span<const uchar> header = line.first(MacHeaderLength);
    if (std::any_of(header.begin(), header.end(), [](uchar b) { return b >= 0x80; }))
        return isMacHeader(LineStart(line).view());
    return header.back() == ']'
           && std::all_of(MacDashPositions.begin(), MacDashPositions.end(),
                          [header](int position) { return header[size_t(position)] == '-'; });
}

bool MyIPAddr(std::span<const uchar> line, AddressField &field)
{
    return readAddressField(LineStart(line).view(), field);
}

QString MyOctet(QStringView group)
{
    const QList<uint> chars = group.toUcs4();
    if (qsizetype(chars.size()) > AddressFieldWidth + 1) // never from MyIPAddr
        return group.toString();
    AddressField aligned;
    appendOctet(aligned, {reinterpret_cast<const char32_t *>(chars.constData()), size_t(chars.size())});
    return toQString(aligned.view());
}

bool MyMacAddr(QStringView line, QString &currentMac)
{
    const LineStart start(line);
    if (!isMacHeader(start.view()))
        return false;
    currentMac = toQString({start.chars.data() + 1, size_t(MacHeaderLength - 2)});
    return true;
}

bool MyIPAddr(QStringView line, QString &address)
{
    AddressField field;
    if (!readAddressField(LineStart(line).view(), field))
        return false;
    address = toQString(field.view());
    return true;
}

} // namespace kelto
