#include "health.h"

#include "repeatedkeys.h"
#include "text.h"

#include <QSet>

#include <algorithm>

namespace kelto {

namespace {

// A hash of the host name that is the same in any letter case (simple case folding, as
// QStringView::compare with Qt::CaseInsensitive uses).
quint64 foldedHash(QStringView name)
{
    constexpr quint64 FnvOffset = 14695981039346656037ULL;
    constexpr quint64 FnvPrime = 1099511628211ULL;
    quint64 hash = FnvOffset;
    for (qsizetype i = 0; i < name.size(); ++i) {
        char32_t c = name[i].unicode();
        if (c < 0x80) {
            c = foldAscii(c);
        } else {
            if (QChar::isHighSurrogate(c) && i + 1 < name.size() && name[i + 1].isLowSurrogate())
                c = QChar::surrogateToUcs4(char16_t(c), name[++i].unicode());
            c = QChar::toCaseFolded(c);
        }
        hash = (hash ^ c) * FnvPrime;
    }
    return hash;
}

} // namespace

std::vector<RowList> sharedAddresses(const HostTable &table)
{
    std::vector<RowList> shared;
    for (const RowRange &repeated : table.repeatedRows()) {
        RowList rows;
        for (qsizetype i = repeated.first - 1; i <= repeated.last; ++i)
            rows.push_back(i);
        shared.push_back(std::move(rows));
    }
    return shared;
}

namespace {

constexpr quint64 NoMac = ~quint64(0);

// What the checks need of every row, read in one pass: the rows' fields lie scattered
// over memory in table order, so they are visited once.
struct RowKeys
{
    std::vector<quint64> macs; // by row; NoMac for a row without MAC
    // The rows of each host name hash (of the folded name) that more than one row has.
    std::vector<RepeatedKeys::Group> sharedNameHashes;
};

RowKeys readRowKeys(const HostTable &table, MacKeys &macKeys)
{
    RowKeys keys;
    keys.macs.reserve(size_t(table.size()));
    RepeatedKeys names(size_t(table.size()));
    table.forEachRow([&](qsizetype i, const HostRow &row, bool) {
        keys.macs.push_back(row.mac().isEmpty() ? NoMac : macKeys.keyOf(row.mac()));
        const QStringView name = row.shownHostName();
        if (!name.isEmpty())
            names.add(foldedHash(name), i);
    });
    keys.sharedNameHashes = names.takeGroups();
    return keys;
}

std::vector<SharedMac> sharedMacs(const FileFacts &facts, const RowKeys &rowKeys)
{
    RepeatedKeys headers(facts.macHeaders.size());
    for (const MacHeaderLine &header : facts.macHeaders)
        headers.add(header.mac, header.line);
    std::vector<SharedMac> shared;
    for (RepeatedKeys::Group &group : headers.takeGroups())
        shared.push_back({group.key, {}, std::move(group.items), {}}); // lines ascending
    if (shared.empty())
        return shared;

    std::sort(shared.begin(), shared.end(), [](const SharedMac &a, const SharedMac &b) {
        return a.headerLines.front() < b.headerLines.front();
    });
    QHash<quint64, SharedMac *> byKey;
    for (SharedMac &mac : shared)
        byKey.insert(mac.mac, &mac);
    for (size_t i = 0; i < rowKeys.macs.size(); ++i) {
        if (SharedMac *mac = byKey.value(rowKeys.macs[i]))
            mac->rows.push_back(qsizetype(i));
    }
    return shared;
}

std::vector<RowList> sharedHostNames(const HostTable &table, const RowKeys &rowKeys)
{
    std::vector<RowList> shared;
    for (const RepeatedKeys::Group &group : rowKeys.sharedNameHashes) {
        // Rows of one hash, in table order; split by name in case two names share a hash.
        std::vector<qsizetype> left = group.items;
        while (!left.empty()) {
            const HostRow first = table.row(left.front());
            const QStringView name = first.shownHostName();
            RowList same;
            std::vector<qsizetype> others;
            for (const qsizetype i : left) {
                if (table.row(i).shownHostName().compare(name, Qt::CaseInsensitive) == 0)
                    same.push_back(i);
                else
                    others.push_back(i);
            }
            QSet<quint64> macs;
            for (const qsizetype i : same) {
                if (rowKeys.macs[size_t(i)] != NoMac)
                    macs.insert(rowKeys.macs[size_t(i)]);
            }
            if (macs.size() > 1)
                shared.push_back(std::move(same));
            left = std::move(others);
        }
    }
    std::sort(shared.begin(), shared.end(),
              [](const RowList &a, const RowList &b) { return a.front() < b.front(); });
    return shared;
}

} // namespace

HealthReport checkHealth(const HostTable &table, FileFacts &facts)
{
    RowKeys rowKeys = readRowKeys(table, facts.macKeys);
    HealthReport report;
    report.table = &table;
    report.sharedAddresses = sharedAddresses(table);
    report.sharedMacs = sharedMacs(facts, rowKeys);
    for (SharedMac &mac : report.sharedMacs)
        mac.text = facts.macKeys.textOf(mac.mac);
    report.sharedHostNames = sharedHostNames(table, rowKeys);
    report.addressProblems = facts.addressProblems;
    report.unreadAddressKeys = facts.unreadAddressKeys;
    report.hostNamesBeforeAddress = facts.hostNamesBeforeAddress;
    report.badLeaseEnds = facts.badLeaseEnds;
    report.notServerFile = !facts.hasSettingsSection && facts.macHeaders.empty();
    return report;
}

std::vector<FindingCount> findingCounts(const HealthReport &report)
{
    return {{QLatin1StringView("shared-address"), qsizetype(report.sharedAddresses.size())},
            {QLatin1StringView("shared-mac"), qsizetype(report.sharedMacs.size())},
            {QLatin1StringView("shared-hostname"), qsizetype(report.sharedHostNames.size())},
            {QLatin1StringView("bad-address"), qsizetype(report.addressProblems.size())},
            {QLatin1StringView("unread-address-key"), qsizetype(report.unreadAddressKeys.size())},
            {QLatin1StringView("host-name-before-address"),
             qsizetype(report.hostNamesBeforeAddress.size())},
            {QLatin1StringView("bad-lease-end"), qsizetype(report.badLeaseEnds.size())},
            {QLatin1StringView("not-server-file"), report.notServerFile ? 1 : 0}};
}

} // namespace kelto
