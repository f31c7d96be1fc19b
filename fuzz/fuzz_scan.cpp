// libFuzzer target: the whole scan, bytes in, host table or failure out, against the
// plain reading of the tests: the same rows in the same order, the same marks, the same
// failing line, the same UTF-8 out; a search keeps its rows' places and marks; a lookup
// finds the first row of a host number; the scan for a diff gives the same table, and a
// file has no changes against itself.

#include "changes.h"
#include "check.h"
#include "lookup.h"
#include "reference.h"
#include "scan.h"

using namespace kelto;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const ScanResult result = scanBytes(bytes);
    const HostTable &table = result.table;
    const test::ReferenceTable expected = test::referenceScan(bytes);

    // Bytes in memory cannot fail to read: only a malformed address ends a scan early.
    check(result.isComplete() == !expected.malformedLine.has_value());
    if (!result.isComplete())
        check(result.failure->cause == ScanFailure::Cause::MalformedAddress
              && result.failure->lineNumber == *expected.malformedLine);

    check(table.size() == qsizetype(expected.rows.size()));
    QByteArray utf8(HostTable::RowMaxUtf8, Qt::Uninitialized);
    for (qsizetype i = 0; i < table.size(); ++i) {
        const std::u32string &text = expected.rows[size_t(i)].text;
        const QString row = test::qtString(text);
        check(table.rowText(i) == row);
        check(table.isRepeated(i) == expected.rows[size_t(i)].repeated);
        const char *end = table.appendRowUtf8(i, utf8.data());
        check(QByteArrayView(utf8.constData(), end - utf8.constData()) == row.toUtf8());
    }

    // A search of an unsorted scan keeps the rows with an "a", in place, with their marks.
    ScanResult rows = scanBytes(bytes, ScanScope::Rows);
    rows.table.keepOnly([](const HostRow &row) { return row.text().contains(u'a'); },
                        rows.isComplete());
    qsizetype kept = 0;
    for (const test::ReferenceRow &row : expected.rows) {
        if (row.text.find(U'a') == std::u32string::npos)
            continue;
        check(kept < rows.table.size()
              && rows.table.rowText(kept) == test::qtString(row.text)
              && rows.table.isRepeated(kept) == row.repeated);
        ++kept;
    }
    check(kept == rows.table.size());

    // The scan that a diff makes reads the same table, and a file has no changes against
    // itself.
    const ScanResult forDiff = scanBytes(bytes, ScanScope::TableAndSettings);
    check(forDiff.table.size() == table.size());
    for (qsizetype i = 0; i < table.size(); ++i)
        check(forDiff.table.rowText(i) == table.rowText(i) && forDiff.table.isRepeated(i) == table.isRepeated(i));
    if (forDiff.isComplete())
        check(diffFiles(forDiff.table, forDiff.facts, forDiff.table, forDiff.facts).isEmpty());

    // The first row with a given fourth octet is the one a lookup finds (checked for the
    // last row, whose octet may stand in any row before it).
    if (!table.isEmpty()) {
        const QString number = table.row(table.size() - 1).columns(HostNumberPosition, 3).toString();
        const LookupResult found = lookup(table, number);
        check(found.row >= 0 && table.row(found.row).columns(HostNumberPosition, 3) == number);
        for (qsizetype i = 0; i < found.row; ++i)
            check(table.row(i).columns(HostNumberPosition, 3) != number);
    }
    return 0;
}
