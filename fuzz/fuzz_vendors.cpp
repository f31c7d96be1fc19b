// libFuzzer target: the reader of the IEEE registry's lists, on any bytes. Every vendor
// it gives is the name of a record of the list whose prefix the MAC starts with, or says
// that the MAC is private or multicast; nothing crashes.

#include "check.h"
#include "vendors.h"

#include <QByteArray>

using namespace kelto;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A header, and the bytes as the lines of the list: most begin like a record.
    const QByteArray list = QByteArray("Registry,Assignment,Organization Name,Organization Address\n")
                            + QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
    VendorRegistry registry;
    registry.readList(list, QStringLiteral("oui.csv"));
    for (const VendorRegistry::Skipped &skipped : registry.skipped())
        check(skipped.lines > 0);
    // MACs taken from the input, and ones of every kind of prefix.
    for (size_t i = 0; i + 6 <= size; i += 6) {
        quint64 mac = 0;
        for (size_t j = 0; j < 6; ++j)
            mac = mac << 8 | data[i + j];
        const QString vendor = registry.vendorOf(mac);
        const quint64 firstOctet = mac >> 40;
        if (firstOctet & 0x01)
            check(vendor == QStringLiteral("multicast address"));
        else if (firstOctet & 0x02)
            check(vendor == QStringLiteral("private (randomised) address"));
        else if (!vendor.isEmpty())
            check(list.contains(vendor.toUtf8()) || list.contains(vendor.toUtf8().replace("\"", "\"\""))
                  || !list.isValidUtf8());
    }
    return 0;
}
