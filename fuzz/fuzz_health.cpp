// libFuzzer target: what check, find and free make of any file. The first line of the
// input is the search text; the rest is the configuration file. The findings, the
// search and the free addresses are checked against plain definitions of them.

#include "check.h"
#include "health.h"
#include "lookup.h"
#include "pools.h"
#include "scan.h"
#include "search.h"

#include <QBuffer>
#include <QSet>

using namespace kelto;

namespace {

void checkFindings(const HostTable &table, FileFacts &facts, const HealthReport &report)
{
    // Rows share an address as the window marks them: by the address columns, so a
    // longer address that begins like the run's first one is in the run.
    const auto addressColumns
        = [&table](qsizetype i) { return table.row(i).columns(0, AddressFieldWidth).toString(); };
    for (const RowList &rows : report.sharedAddresses) {
        check(rows.size() >= 2);
        for (size_t i = 1; i < rows.size(); ++i)
            check(rows[i] == rows[i - 1] + 1 && addressColumns(rows[i]) == addressColumns(rows[0]));
    }
    for (const SharedMac &mac : report.sharedMacs) {
        check(mac.headerLines.size() >= 2);
        check(std::is_sorted(mac.headerLines.begin(), mac.headerLines.end()));
        for (const qsizetype i : mac.rows)
            check(facts.macKeys.keyOf(table.row(i).mac()) == mac.mac);
    }
    for (const RowList &rows : report.sharedHostNames) {
        QSet<quint64> macs;
        for (const qsizetype i : rows) {
            const HostRow row = table.row(i);
            check(row.shownHostName().compare(table.row(rows[0]).shownHostName(), Qt::CaseInsensitive) == 0);
            if (!row.mac().isEmpty())
                macs.insert(facts.macKeys.keyOf(row.mac()));
        }
        check(rows.size() >= 2 && macs.size() >= 2);
    }
    for (const AddressLineProblem &problem : report.addressProblems)
        check(!problem.keyStartsLine
              || readDottedAddress(problem.value).problem == problem.problem);
}

// The search against Qt's own case-insensitive matching.
void checkSearch(const HostTable &table, const QString &text)
{
    if (text.isEmpty())
        return;
    const HostSearch search({text});
    for (qsizetype i = 0; i < table.size(); ++i) {
        const HostRow row = table.row(i);
        const bool inAddressOrName = fieldsOf(row).address.contains(text, Qt::CaseInsensitive)
                                     || row.shownHostName().contains(text, Qt::CaseInsensitive);
        const bool inMac = row.shownMac().contains(text, Qt::CaseInsensitive);
        // A MAC-like text is found in a MAC by its octets, not as written.
        if (MacSearch::of(text) && MacSearch::holdsMac(row.shownMac()))
            check(!inAddressOrName || search.matches(row));
        else
            check(search.matches(row) == (inAddressOrName || inMac));
    }
}

void checkFree(const HostTable &table, const FileFacts &facts)
{
    std::vector<AddressPool> pools;
    for (const PoolReading &reading : readPools(facts)) {
        check(reading.pool.has_value() == reading.problem.isEmpty());
        if (reading.pool)
            pools.push_back(*reading.pool);
    }
    const auto free = freeAddresses(pools, table, facts.heldAddresses);
    check(free.size() == pools.size());
    for (size_t p = 0; p < pools.size(); ++p) {
        for (const AddressRange &range : free[p]) {
            check(range.first <= range.last && (range.first & ~0xffu) == pools[p].network);
            for (quint32 address = range.first; address <= range.last; ++address) {
                check(pools[p].hosts.test(address & 0xff));
                // No row holds a free address, leading zeros read as decimal, and no
                // address key of a client section names one.
                for (qsizetype i = 0; i < table.size(); ++i) {
                    const DottedAddress held = readDottedAddress(fieldsOf(table.row(i)).address);
                    check(!held.hasValue() || held.value != address);
                }
                check(std::none_of(facts.heldAddresses.begin(), facts.heldAddresses.end(),
                                   [address](const HeldAddress &held) { return held.address == address; }));
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype newline = bytes.indexOf('\n');
    const QString text = QString::fromUtf8(newline < 0 ? bytes : bytes.first(newline));

    QBuffer buffer;
    buffer.setData(newline < 0 ? QByteArray() : bytes.sliced(newline + 1));
    buffer.open(QIODevice::ReadOnly);
    ScanResult result = scanDevice(buffer, ScanScope::TableAndFacts);

    checkSearch(result.table, text);
    if (result.isComplete()) {
        const HealthReport report = checkHealth(result.table, result.facts);
        checkFindings(result.table, result.facts, report);
        checkFree(result.table, result.facts);
    }
    return 0;
}
