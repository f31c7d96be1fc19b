#pragma once

#include "rowformat.h"

#include <QString>
#include <QStringView>

#include <array>
#include <span>
#include <string_view>

namespace kelto {

// The field methods that turn configuration file lines into host row fields. They read
// lines as the scan holds them, in UTF-8, and count characters (code points).

// A MAC header is a line with "[" at column 1, "-" at columns 4, 7, 10, 13 and 16 and
// "]" at column 19, at the very start of the line; anything may follow. Its MAC is the
// 17 characters between the brackets.
inline constexpr qsizetype MacHeaderLength = 19;

// Column 8, just after "IPADDR=": where the value of an address line is read, whatever
// column its key stands at.
inline constexpr qsizetype AddressValuePosition = 7;
bool MyMacAddr(std::span<const uchar> line);

// An address field: at most AddressFieldMaxLength code points.
struct AddressField
{
    std::array<char32_t, AddressFieldMaxLength> chars;
    qsizetype size = 0;
    std::u32string_view view() const { return {chars.data(), size_t(size)}; }
};

// Normalises the value of an address line into the address field: four octets, each
// right-aligned in three characters, separated by dots. The value is read from column 8
// whatever column the key stands at; a line shorter than 23 characters reads as if nine
// spaces followed it. Returns false, leaving `field` unspecified, when the value holds
// exactly one or two dots in its first 15 characters: such a value has no fourth octet
// to align.
bool MyIPAddr(std::span<const uchar> line, AddressField &field);

// Right-aligns one octet group ("1." becomes "  1.", "16." becomes " 16."). Groups of
// any length other than 2 or 3 are returned unchanged.
QString MyOctet(QStringView group);

// The same for Qt's text, as tests and tools hold lines: `currentMac` becomes the MAC of
// a header and keeps its value otherwise; `address` receives the field.
bool MyMacAddr(QStringView line, QString &currentMac);
bool MyIPAddr(QStringView line, QString &address);

} // namespace kelto
