#include "ipv4.h"

#include <algorithm>

namespace kelto {

namespace {

constexpr int Octets = 4;
constexpr quint32 MaxOctet = 255;

} // namespace

DottedAddress readDottedAddress(QStringView text)
{
    if (text.isEmpty())
        return {0, AddressProblem::Empty};
    if (std::count(text.begin(), text.end(), u'.') != Octets - 1)
        return {0, AddressProblem::NotFourOctets};

    DottedAddress result;
    for (const QStringView octet : text.tokenize(u'.')) {
        if (octet.isEmpty())
            return {0, AddressProblem::NotDecimal};
        quint32 value = 0;
        for (const QChar c : octet) {
            if (c < u'0' || c > u'9')
                return {0, AddressProblem::NotDecimal};
            value = value * 10 + (c.unicode() - u'0');
            if (value > MaxOctet)
                value = MaxOctet + 1; // stays over, however many digits follow
        }
        if (value > MaxOctet)
            return {0, AddressProblem::OctetOver255};
        if (octet.size() > 1 && octet.front() == u'0')
            result.problem = AddressProblem::LeadingZero;
        result.value = result.value << 8 | value;
    }
    return result;
}

QString describe(AddressProblem problem)
{
    switch (problem) {
    case AddressProblem::None:
        return {};
    case AddressProblem::Empty:
        return QStringLiteral("the value is empty");
    case AddressProblem::NotFourOctets:
        return QStringLiteral("it does not have four octets");
    case AddressProblem::NotDecimal:
        return QStringLiteral("an octet is not a decimal number");
    case AddressProblem::OctetOver255:
        return QStringLiteral("an octet is over 255");
    case AddressProblem::LeadingZero:
        return QStringLiteral("an octet has a leading zero");
    }
    return {};
}

QString dottedAddress(quint32 address)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(address >> 24)
        .arg(address >> 16 & 0xff)
        .arg(address >> 8 & 0xff)
        .arg(address & 0xff);
}

} // namespace kelto
