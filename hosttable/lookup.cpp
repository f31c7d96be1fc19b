#include "lookup.h"

#include "text.h"

namespace kelto {

namespace {

constexpr qsizetype HostNamePosition = 16; // column 17, after the field's leading space
constexpr qsizetype HostNameShown = 82; // columns 17-98
constexpr qsizetype MacPosition = AddressFieldWidth + HostNameFieldWidth; // column 100

} // namespace

QStringView shownAddress(const HostRow &row, ShownAddressBuffer &buffer)
{
    qsizetype size = 0;
    qsizetype column = 0;
    for (const QStringView piece : row.pieces()) {
        for (qsizetype i = 0; i < piece.size() && column < AddressFieldWidth; ++i, ++column) {
            if (piece[i] != u' ')
                buffer[size_t(size++)] = piece[i].unicode();
        }
    }
    return QStringView(buffer.data(), size);
}

HostFields fieldsOf(const HostRow &row)
{
    ShownAddressBuffer address;
    return {shownAddress(row, address).toString(),
            withoutTrailingSpaces(row.mid(HostNamePosition, HostNameShown)).toString(),
            row.mid(MacPosition)};
}

QString alignHostNumber(const QString &typed)
{
    if (typed.size() == HostNumberWidth - 1 || typed.size() == HostNumberWidth - 2)
        return QString(HostNumberWidth - typed.size(), u' ') + typed;
    return typed;
}

LookupResult lookup(const HostTable &table, const QString &hostNumber)
{
    for (qsizetype i = 0; i < table.size(); ++i) {
        if (hostNumber.size() == HostNumberWidth
            && table.equalsAt(i, HostNumberPosition, hostNumber))
            return {fieldsOf(table.row(i)), i};
    }
    return {{hostNumber, {}, {}}, -1};
}

} // namespace kelto
