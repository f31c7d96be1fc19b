// libFuzzer target: the whole scan, bytes in, host table or failure out, with the
// table's promises checked on every input.

#include "check.h"
#include "lookup.h"
#include "scan.h"

#include <QBuffer>

using namespace kelto;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QBuffer buffer;
    buffer.setData(reinterpret_cast<const char *>(data), qsizetype(size));
    buffer.open(QIODevice::ReadOnly);
    const ScanResult result = scanDevice(buffer);
    const HostTable &table = result.table;

    // A buffer cannot fail to open or to read: only a malformed address ends a scan early.
    if (!result.isComplete())
        check(result.failure->cause == ScanFailure::Cause::MalformedAddress
              && result.failure->lineNumber >= 1);

    QString previous;
    for (qsizetype i = 0; i < table.size(); ++i) {
        const HostRow row = table.row(i);
        const QString text = table.rowText(i);
        // Every row starts with its address field, then the 84 columns of the host name
        // field, then the MAC or nothing.
        check(!row.address().isEmpty() && !row.address().endsWith(u' '));
        check(text.startsWith(row.address())
              && text.size() == row.address().size() + 84 + row.mac().size());
        check(row.mac().isEmpty() || row.mac().size() == 17);
        check(text[row.address().size()] == u' ');
        // Rows in ascending ordinal order; repeated addresses marked only after a
        // complete scan, exactly where the address field repeats the row before.
        check(i == 0 || previous.compare(text, Qt::CaseSensitive) <= 0);
        const bool repeats
            = i > 0 && QStringView(previous).first(15) == QStringView(text).first(15);
        check(table.isRepeated(i) == (result.isComplete() && repeats));
        previous = text;
    }
    // The first row with a given fourth octet is the one a lookup finds (checked for the
    // last row, whose octet may stand in any row before it).
    if (!table.isEmpty()) {
        const QString number = table.rowText(table.size() - 1).mid(12, 3);
        const LookupResult found = lookup(table, number);
        check(found.row >= 0 && table.rowText(found.row).mid(12, 3) == number);
        for (qsizetype i = 0; i < found.row; ++i)
            check(table.rowText(i).mid(12, 3) != number);
    }
    return 0;
}
