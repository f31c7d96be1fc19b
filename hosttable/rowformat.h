#pragma once

#include <QtGlobal>

// The one home of the host row format. A row is the address field, the host name field
// (one space, the host name cut to 83 characters, spaces up to 84 characters in all) and
// the MAC field, which is absent when there is no MAC. The fields follow each other
// unchanged, so an address field of another length than 15 shifts the rest of its row.
// Positions are 0-based and count characters (code points); the comments give the
// 1-based columns an administrator counts in the list.

namespace kelto {

inline constexpr qsizetype AddressFieldWidth = 15; // columns 1-15
inline constexpr qsizetype HostNameFieldWidth = 84; // columns 16-99: a space, then the name
inline constexpr qsizetype HostNameMaxLength = HostNameFieldWidth - 1; // 83
inline constexpr qsizetype MacFieldWidth = 17; // columns 100-116
inline constexpr qsizetype HostNumberPosition = 12; // columns 13-15: the fourth octet
inline constexpr qsizetype HostNumberWidth = 3;

// What a lookup shows of a row, and what every other output and the search and checks
// of kelto-cli take as the row's fields: the address is columns 1-15 without their
// spaces, the host name columns 17-98 without trailing spaces, the MAC column 100 on.
inline constexpr qsizetype ShownHostNamePosition = 16; // column 17
inline constexpr qsizetype ShownHostNameLength = 82; // columns 17-98
inline constexpr qsizetype ShownMacPosition = AddressFieldWidth + HostNameFieldWidth; // column 100

// The longest address field: the 15 characters of the value's window and the space
// behind it, and up to two alignment spaces before each of the four octets.
inline constexpr qsizetype AddressFieldMaxLength = AddressFieldWidth + 1 + qsizetype(4) * 2;
inline constexpr qsizetype RowMaxLength = AddressFieldMaxLength + HostNameFieldWidth + MacFieldWidth;

} // namespace kelto
