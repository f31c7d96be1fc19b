// libFuzzer target: the address normalisation of one line, checked against the rule
// that decides it: the value's first 15 characters (";" read as a space) with exactly
// one or two dots fail; anything else gives an address field without trailing spaces.

#include "check.h"
#include "fields.h"

#include <QStringList>

#include <algorithm>
#include <cstring>

using namespace kelto;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Any UTF-16 code units, after the key the scan found.
    QString line = QStringLiteral("IPADDR=");
    line.resize(7 + qsizetype(size / 2));
    std::memcpy(line.data() + 7, data, size / 2 * 2);
    const QString before = line;

    QString address;
    const bool ok = MyIPAddr(line, address);

    // A short line gains nine spaces, and only those.
    check(line.startsWith(before));
    check(line.size() == (before.size() < 23 ? before.size() + 9 : before.size()));
    check(QStringView(line).sliced(before.size()).count(u' ') == line.size() - before.size());

    const QString window = line.mid(7, 15).replace(u';', u' ');
    const qsizetype dots = window.count(u'.');
    check(ok == (dots != 1 && dots != 2));
    if (!ok)
        return 0;
    check(!address.endsWith(u' '));
    check(address.size() <= 24);

    // A dotted address of four octets of one to three digits becomes the 15-character
    // field with the dots at columns 4, 8 and 12.
    const qsizetype space = window.indexOf(u' ');
    const QString value = space < 0 ? window : window.left(space);
    const QStringList octets = value.split(u'.');
    bool dotted = octets.size() == 4;
    for (const QString &octet : octets)
        dotted = dotted && !octet.isEmpty() && octet.size() <= 3
                 && std::all_of(octet.begin(), octet.end(),
                                [](QChar c) { return c >= u'0' && c <= u'9'; });
    if (dotted) {
        check(address.size() == 15 && address[3] == u'.' && address[7] == u'.'
              && address[11] == u'.');
        check(address.remove(u' ') == value);
    }

    // Octet alignment never drops a character.
    const QString group = window.left(int(size % 6));
    const QString aligned = MyOctet(group);
    check(aligned.endsWith(group)
          && aligned.size() == (group.size() == 2 || group.size() == 3 ? 4 : group.size()));
    return 0;
}
