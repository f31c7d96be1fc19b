#pragma once

#include <QString>
#include <QStringView>

namespace kelto {

// The field methods that turn configuration file lines into host row fields.

// A MAC header is a line with "[" at column 1, "-" at columns 4, 7, 10, 13 and 16 and
// "]" at column 19, at the very start of the line; anything may follow. If `line` is
// one, `currentMac` becomes the 17 characters between the brackets and the result is
// true; otherwise `currentMac` keeps its value.
bool MyMacAddr(QStringView line, QString &currentMac);

// Normalises the value of an address line into the address field: four octets, each
// right-aligned in three characters, separated by dots. The value is read from column 8
// whatever column the key stands at. A line shorter than 23 characters is lengthened by
// nine spaces in place, and the caller goes on with the lengthened line.
// Returns false, leaving `address` unspecified, when the value holds exactly one or two
// dots in its first 15 characters: such a value has no fourth octet to align.
bool MyIPAddr(QString &currentLine, QString &address);

// Right-aligns one octet group ("1." becomes "  1.", "16." becomes " 16."). Groups of
// any length other than 2 or 3 are returned unchanged.
QString MyOctet(QStringView group);

} // namespace kelto
