#pragma once

#include <QString>
#include <QStringView>

namespace kelto {

// Dotted IPv4 addresses as an administrator writes them: four decimal octets of 0-255
// separated by dots, such as 192.168.10.5.

// What keeps a text from being a plain dotted address.
enum class AddressProblem {
    None,
    Empty,
    NotFourOctets, // fewer or more than four dot-separated parts
    NotDecimal, // an octet is empty or holds something other than the digits 0-9
    OctetOver255,
    LeadingZero, // such as 010: still read as decimal, but not how the server writes it
};

struct DottedAddress
{
    quint32 value = 0; // the first octet in the top byte; meaningful for None and LeadingZero
    AddressProblem problem = AddressProblem::None;

    bool isValid() const { return problem == AddressProblem::None; }
    // Whether `value` holds the address, leading zeros read as decimal.
    bool hasValue() const { return isValid() || problem == AddressProblem::LeadingZero; }
};

DottedAddress readDottedAddress(QStringView text);

// The reason in words, e.g. "an octet is over 255"; empty for None.
QString describe(AddressProblem problem);

// 192.168.10.5
QString dottedAddress(quint32 address);

} // namespace kelto
