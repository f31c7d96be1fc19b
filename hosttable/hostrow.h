#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <limits>

namespace kelto {

// Columns of a host row. Positions in code are 0-based; the comments give the
// 1-based columns an administrator counts in the list.
inline constexpr qsizetype AddressFieldWidth = 15; // columns 1-15
inline constexpr qsizetype HostNameFieldWidth = 84; // columns 16-99: a space, then the name
inline constexpr qsizetype HostNameMaxLength = HostNameFieldWidth - 1; // 83
inline constexpr qsizetype MacFieldWidth = 17; // columns 100-116
inline constexpr qsizetype HostNumberPosition = 12; // columns 13-15: the fourth octet
inline constexpr qsizetype HostNumberWidth = 3;

// One row of the host table: the address field, the host name field (one space, the
// host name cut to 83 characters, spaces up to 84 characters in all) and the MAC field,
// which is absent when there is no MAC. The fields follow each other unchanged, so an
// address field of another length than 15 shifts the rest of its row.
//
// HostRow is a view of the three fields; the padding spaces are never stored, so the
// table keeps only what the file said and composes the text when it is asked for.
class HostRow
{
public:
    HostRow(QStringView address, QStringView hostName, QStringView mac);

    QStringView address() const { return m_address; }
    QStringView hostName() const { return m_hostName; } // already cut to 83 characters
    QStringView mac() const { return m_mac; }

    qsizetype size() const;
    QString text() const;

    // The text from `position` on, at most `n` characters (n < 0: to the end); empty
    // when `position` lies past the end.
    QString mid(qsizetype position, qsizetype n = -1) const;
    // Whether the characters from `position` on equal `text` exactly.
    bool equalsAt(qsizetype position, QStringView text) const;
    // Ordinal comparison (UTF-16 code units) of the first `n` characters of both texts.
    int compare(const HostRow &other, qsizetype n = std::numeric_limits<qsizetype>::max()) const;

    // The text in order as five pieces: address, space, host name, padding, MAC.
    using Pieces = std::array<QStringView, 5>;
    Pieces pieces() const;

private:
    QStringView m_address;
    QStringView m_hostName;
    QStringView m_mac;
};

// The row text for an address field, a host name and a MAC (empty for none).
QString composeRow(QStringView address, QStringView hostName, QStringView mac);

} // namespace kelto
