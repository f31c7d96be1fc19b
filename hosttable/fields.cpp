#include "fields.h"

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

void appendOctet(QString &out, QStringView group)
{
    if (group.size() == AlignedOctetWidth - 1 || group.size() == AlignedOctetWidth - 2)
        out.append(QLatin1StringView("  ").first(AlignedOctetWidth - group.size()));
    out.append(group);
}

// Like the classic Mid$ function: the substring of `text` from 1-based column `start`
// with `length` characters, cut at the end of `text`.
QStringView columns(QStringView text, qsizetype start, qsizetype length)
{
    const qsizetype from = std::min(start - 1, text.size());
    return text.sliced(from).first(std::min(length, text.size() - from));
}

// The 1-based column of the first `c` in `text` from column `from` on; 0 when none.
qsizetype columnOf(QStringView text, QChar c, qsizetype from)
{
    return text.indexOf(c, from - 1) + 1;
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

    address.truncate(0);
    appendOctet(address, columns(window, 1, p1));
    appendOctet(address, columns(window, p1 + 1, p2 - p1));
    appendOctet(address, columns(window, p2 + 1, p3 - p2));
    if (p3 > 0 && p4 == 0) // three dots, no space after the last: up to the window's end
        appendOctet(address, QStringView(buffer.data() + p3, width - p3 + 1));
    else
        appendOctet(address, columns(window, p3 + 1, p4 - p3));

    qsizetype end = address.size();
    while (end > 0 && address[end - 1] == u' ')
        --end;
    address.truncate(end);
    return true;
}

QString MyOctet(QStringView group)
{
    QString aligned;
    appendOctet(aligned, group);
    return aligned;
}

} // namespace kelto
