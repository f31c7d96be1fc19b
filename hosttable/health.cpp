#include "health.h"

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

std::vector<SharedMac> sharedMacs(const HostTable &table, FileFacts &facts)
{
    std::vector<KeyedRow> headers;
    headers.reserve(facts.macHeaders.size());
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
    table.forEachRow([&](qsizetype i, const HostRow &row, bool) {
        if (row.mac().isEmpty())
            return;
        if (SharedMac *mac = byKey.value(facts.macKeys.keyOf(row.mac())))
            mac->rows.push_back(i);
    });
    return shared;
}

std::vector<RowList> sharedHostNames(const HostTable &table, MacKeys &macKeys)
{
    std::vector<KeyedRow> names;
    names.reserve(size_t(table.size()));
    table.forEachRow([&names](qsizetype i, const HostRow &row, bool) {
        const QStringView name = shownHostName(row);
        if (!name.isEmpty())
            names.push_back({foldedHash(name), i});
    });
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
                const QStringView mac = table.row(i).mac();
                if (!mac.isEmpty())
                    macs.insert(macKeys.keyOf(mac));
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

HealthReport checkHealth(const HostTable &table, FileFacts &facts)
{
    return {sharedAddresses(table), sharedMacs(table, facts),
            sharedHostNames(table, facts.macKeys), facts.addressProblems};
}

} // namespace kelto
