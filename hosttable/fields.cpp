#include "fields.h"

#include "text.h"

#include <algorithm>
#include <array>

namespace kelto {

namespace {

constexpr qsizetype MacHeaderLength = 19;
constexpr std::array MacDashPositions = {3, 6, 9, 12, 15};

constexpr qsizetype ShortAddressLine = 23; // lines shorter than this get nine spaces
constexpr QLatin1StringView AddressLinePadding("         ");
constexpr qsizetype AddressValuePosition = 7; // column 8: just after "IPADDR="
constexpr qsizetype AddressWindowWidth = 15;
constexpr qsizetype AlignedOctetWidth = 4; // three characters and the dot or space after

// An address field under construction: the groups of the window (at most 16
// characters with the space after a last octet) and up to two spaces for each of the
// four groups. Built in place and copied out once.
class AddressBuilder
{
public:
    void appendOctet(QStringView group)
    {
        if (group.size() == AlignedOctetWidth - 1 || group.size() == AlignedOctetWidth - 2) {
            std::fill_n(m_chars.begin() + m_size, AlignedOctetWidth - group.size(), u' ');
            m_size += AlignedOctetWidth - group.size();
        }
        std::copy(group.utf16(), group.utf16() + group.size(), m_chars.begin() + m_size);
        m_size += group.size();
    }

    QStringView text() const { return QStringView(m_chars.data(), m_size); }

private:
    static constexpr qsizetype Groups = 4;
    static constexpr qsizetype MostPadding = 2; // per group
    std::array<char16_t, AddressWindowWidth + 1 + Groups * MostPadding> m_chars;
    qsizetype m_size = 0;
};

// Like the classic Mid$ function: the substring of `text` from 1-based column `start`
// with `length` characters, cut at the end of `text`.
QStringView columns(QStringView text, qsizetype start, qsizetype length)
{
    const qsizetype from = std::min(start - 1, text.size());
    return text.sliced(from).first(std::min(length, text.size() - from));
}

// The 1-based column of the first `c` in `text` from column `from` on; 0 when none.
qsizetype columnOf(QStringView text, char16_t c, qsizetype from)
{
    return indexOfChar(text, c, from - 1) + 1;
}

} // namespace

bool MyMacAddr(QStringView line, QString &currentMac)
{
    if (line.size() < MacHeaderLength || line[0] != u'[' || line[MacHeaderLength - 1] != u']')
        return false;
    for (const qsizetype position : MacDashPositions) {
        if (line[position] != u'-')
            return false;
    }
    currentMac.truncate(0);
    currentMac.append(line.sliced(1, MacHeaderLength - 2));
    return true;
}

bool MyIPAddr(QString &currentLine, QString &address)
{
    if (currentLine.size() < ShortAddressLine)
        currentLine.append(AddressLinePadding);

    // The window holds the value's first 15 characters with ";" read as a space; one
    // more space stands behind it for a fourth octet that runs to the window's end.
    std::array<char16_t, AddressWindowWidth + 1> buffer;
    const QStringView value = QStringView(currentLine).sliced(AddressValuePosition);
    const qsizetype width = std::min(value.size(), AddressWindowWidth);
    for (qsizetype i = 0; i < width; ++i)
        buffer[i] = value[i] == u';' ? u' ' : value[i].unicode();
    buffer[width] = u' ';
    const QStringView window(buffer.data(), width);

    const qsizetype p1 = columnOf(window, u'.', 1);
    const qsizetype p2 = columnOf(window, u'.', p1 + 1);
    const qsizetype p3 = columnOf(window, u'.', p2 + 1);
    const qsizetype p4 = columnOf(window, u' ', p3 + 1);
    if ((p1 > 0 && p2 == 0) || (p2 > 0 && p3 == 0))
        return false;

    AddressBuilder field;
    field.appendOctet(columns(window, 1, p1));
    field.appendOctet(columns(window, p1 + 1, p2 - p1));
    field.appendOctet(columns(window, p2 + 1, p3 - p2));
    if (p3 > 0 && p4 == 0) // three dots, no space after the last: up to the window's end
        field.appendOctet(QStringView(buffer.data() + p3, width - p3 + 1));
    else
        field.appendOctet(columns(window, p3 + 1, p4 - p3));

    address.truncate(0);
    address.append(withoutTrailingSpaces(field.text()));
    return true;
}

QString MyOctet(QStringView group)
{
    if (group.size() > AddressWindowWidth + 1) // never from MyIPAddr; nothing to align
        return group.toString();
    AddressBuilder aligned;
    aligned.appendOctet(group);
    return aligned.text().toString();
}

} // namespace kelto
