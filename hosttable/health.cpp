#include "health.h"

#include "hugepages.h"
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
            if (c >= u'A' && c <= u'Z')
                c += 32;
        } else {
            if (QChar::isHighSurrogate(c) && i + 1 < name.size()
                && name[i + 1].isLowSurrogate())
                c = QChar::surrogateToUcs4(char16_t(c), name[++i].unicode());
            c = QChar::toCaseFolded(c);
        }
        hash = (hash ^ c) * FnvPrime;
    }
    return hash;
}

QStringView shownHostName(const HostRow &row)
{
    return withoutTrailingSpaces(row.hostName());
}

struct KeyedRow
{
    quint64 key;
    qsizetype row;
    friend bool operator<(const KeyedRow &a, const KeyedRow &b)
    {
        return a.key != b.key ? a.key < b.key : a.row < b.row;
    }
};

// Calls f(first, last) for every run of equal keys with more than one member.
template <typename F> void forEachSharedKey(const std::vector<KeyedRow> &sorted, F &&f)
{
    for (auto first = sorted.begin(); first != sorted.end();) {
        auto last = std::find_if(first, sorted.end(),
                                 [first](const KeyedRow &k) { return k.key != first->key; });
        if (last - first > 1)
            f(first, last);
        first = last;
    }
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
    std::vector<KeyedRow> names; // the rows with a host name, by the hash of its folded form
};

RowKeys readRowKeys(const HostTable &table, MacKeys &macKeys)
{
    RowKeys keys;
    reserveWithHugePages(keys.macs, size_t(table.size()));
    reserveWithHugePages(keys.names, size_t(table.size()));
    table.forEachRow([&](qsizetype i, const HostRow &row, bool) {
        keys.macs.push_back(row.mac().isEmpty() ? NoMac : macKeys.keyOf(row.mac()));
        const QStringView name = shownHostName(row);
        if (!name.isEmpty())
            keys.names.push_back({foldedHash(name), i});
    });
    return keys;
}

std::vector<SharedMac> sharedMacs(const FileFacts &facts, const RowKeys &rowKeys)
{
    std::vector<KeyedRow> headers;
    reserveWithHugePages(headers, facts.macHeaders.size());
    for (const MacHeaderLine &header : facts.macHeaders)
        headers.push_back({header.mac, header.line});
    std::sort(headers.begin(), headers.end());

    std::vector<SharedMac> shared;
    forEachSharedKey(headers, [&shared](auto first, auto last) {
        SharedMac mac{first->key, {}, {}};
        for (auto header = first; header != last; ++header)
            mac.headerLines.push_back(header->row);
        shared.push_back(std::move(mac));
    });
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

std::vector<RowList> sharedHostNames(const HostTable &table, RowKeys &rowKeys)
{
    std::vector<KeyedRow> &names = rowKeys.names;
    std::sort(names.begin(), names.end());

    std::vector<RowList> shared;
    forEachSharedKey(names, [&](auto first, auto last) {
        // Rows of one hash, in table order; split by name in case two names share a hash.
        std::vector<qsizetype> left;
        for (auto k = first; k != last; ++k)
            left.push_back(k->row);
        while (!left.empty()) {
            const QStringView name = shownHostName(table.row(left.front()));
            RowList same;
            std::vector<qsizetype> others;
            for (const qsizetype i : left) {
                if (shownHostName(table.row(i)).compare(name, Qt::CaseInsensitive) == 0)
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
    });
    std::sort(shared.begin(), shared.end(),
              [](const RowList &a, const RowList &b) { return a.front() < b.front(); });
    return shared;
}

} // namespace

HealthReport checkHealth(const HostTable &table, FileFacts &facts)
{
    RowKeys rowKeys = readRowKeys(table, facts.macKeys);
    HealthReport report;
    report.sharedAddresses = sharedAddresses(table);
    report.sharedMacs = sharedMacs(facts, rowKeys);
    report.sharedHostNames = sharedHostNames(table, rowKeys);
    report.addressProblems = facts.addressProblems;
    return report;
}

} // namespace kelto
