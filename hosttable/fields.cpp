#include "fields.h"

#include "filetext.h"

#include <QList>

#include <algorithm>
#include <vector>

namespace kelto {

namespace {

constexpr std::array MacDashPositions = {3, 6, 9, 12, 15};

constexpr qsizetype ShortAddressLine = 23; // lines shorter than this read nine more spaces
constexpr qsizetype AddressLinePadding = 9;
constexpr qsizetype AddressValuePosition = 7; // column 8: just after "IPADDR="
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

std::vector<char32_t> codePoints(QStringView text)
{
    std::vector<char32_t> chars;
    for (const char32_t c : text.toUcs4())
        chars.push_back(c);
    return chars;
}

QString toQString(std::u32string_view chars)
{
    return kelto::toQString(std::span<const char32_t>(chars.data(), chars.size()));
}

} // namespace

template <typename Char> bool MyMacAddr(std::span<const Char> line)
{
    if (qsizetype(line.size()) < MacHeaderLength || line[0] != Char('[')
        || line[MacHeaderLength - 1] != Char(']'))
        return false;
    return std::all_of(MacDashPositions.begin(), MacDashPositions.end(),
                       [line](int position) { return line[size_t(position)] == Char('-'); });
}

template <typename Char> bool MyIPAddr(std::span<const Char> line, AddressField &field)
{
    const auto size = qsizetype(line.size());
    const qsizetype lengthened = size < ShortAddressLine ? size + AddressLinePadding : size;
    Window window;
    window.width = std::clamp<qsizetype>(lengthened - AddressValuePosition, 0, AddressFieldWidth);
    for (qsizetype i = 0; i < window.width; ++i) {
        const qsizetype at = AddressValuePosition + i;
        const char32_t c = at < size ? codePointOf(line[size_t(at)]) : U' ';
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

template bool MyMacAddr(std::span<const uchar>);
template bool MyMacAddr(std::span<const char32_t>);
template bool MyIPAddr(std::span<const uchar>, AddressField &);
template bool MyIPAddr(std::span<const char32_t>, AddressField &);

QString MyOctet(QStringView group)
{
    const std::vector<char32_t> chars = codePoints(group);
    if (qsizetype(chars.size()) > AddressFieldWidth + 1) // never from MyIPAddr
        return group.toString();
    AddressField aligned;
    appendOctet(aligned, {chars.data(), chars.size()});
    return toQString(aligned.view());
}

bool MyMacAddr(QStringView line, QString &currentMac)
{
    const std::vector<char32_t> chars = codePoints(line);
    if (!MyMacAddr(std::span<const char32_t>(chars)))
        return false;
    currentMac = toQString({chars.data() + 1, size_t(MacHeaderLength - 2)});
    return true;
}

bool MyIPAddr(QStringView line, QString &address)
{
    const std::vector<char32_t> chars = codePoints(line);
    AddressField field;
    if (!MyIPAddr(std::span<const char32_t>(chars), field))
        return false;
    address = toQString(field.view());
    return true;
}

} // namespace kelto
