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
    quint32 octet = 0;
    qsizetype digits = 0;
    // Each octet is taken at the dot that ends it, the last one at the end of the text.
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == u'.') {
            if (digits == 0)
                return {0, AddressProblem::NotDecimal};
            if (octet > MaxOctet)
                return {0, AddressProblem::OctetOver255};
            if (digits > 1 && text[i - digits] == u'0')
                result.problem = AddressProblem::LeadingZero;
            result.value = result.value << 8 | octet;
            octet = 0;
            digits = 0;
            continue;
        }
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return {0, AddressProblem::NotDecimal};
        // Stays over 255, however many digits follow.
        octet = std::min(octet * 10 + (c - u'0'), MaxOctet + 1);
        ++digits;
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
