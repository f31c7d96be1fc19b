// The marks of the host table: the runs of rows that repeat the address field of the row
// before them, and the rows a search keeps with the marks they have in the whole table.

#include "hosttable.h"

#include "text.h"

#include <set>
#include <unordered_set>

namespace kelto {

bool HostTable::isRepeated(qsizetype index) const
{
    const auto after = std::upper_bound(m_repeated.begin(), m_repeated.end(), index,
                                        [](qsizetype i, const RowRange &r) { return i < r.first; });
    return after != m_repeated.begin() && index <= std::prev(after)->last;
}

std::string HostTable::addressColumns(const Record &record) const
{
    RowUtf8 utf8;
    const std::string_view row = rowUtf8(record, utf8);
    const auto bytes = std::span(reinterpret_cast<const uchar *>(row.data()), row.size());
    return std::string(row.substr(0, size_t(columnOffset(bytes, AddressFieldWidth))));
}

bool HostTable::sameAddressField(const Record &a, const Record &b) const
{
    if (a.key != NoKey && b.key != NoKey)
        return a.key == b.key;
    return addressColumns(a) == addressColumns(b);
}

quint64 HostTable::addressGroup(const Record &record, std::string &first) const
{
    if (record.key != NoKey)
        return record.key;
    first = addressColumns(record);
    AddressField columns;
    for (const uchar *p = reinterpret_cast<const uchar *>(first.data()),
                     *end = p + first.size();
         p != end;)
        columns.chars[size_t(columns.size++)] = nextCodePoint(p);
    return keyOf(columns);
}

void HostTable::keepOnly(const RowPredicate &keep, bool markRepeated)
{
    // The address groups of the rows kept: a row's mark depends only on the rows that
    // share its first 15 characters.
    std::unordered_set<quint64> keys;
    std::set<std::string, std::less<>> others;
    std::string first;
    for (const Record &record : m_rows) {
        if (!keep(rowOf(record)))
            continue;
        if (const quint64 group = addressGroup(record, first); group != NoKey)
            keys.insert(group);
        else
            others.insert(first);
    }
    std::vector<Record> grouped;
    for (const Record &record : m_rows) {
        const quint64 group = addressGroup(record, first);
        if (group != NoKey ? keys.contains(group) : others.contains(first))
            grouped.push_back(record);
    }
    m_rows = std::move(grouped);
    sort();
    std::vector<bool> repeated(m_rows.size());
    if (markRepeated) {
        markRepeatedAddresses();
        for (qsizetype i = 0; i < size(); ++i)
            repeated[size_t(i)] = isRepeated(i);
    }
    // The rows of those groups that are not kept go, and the marks go with their rows.
    std::vector<Record> kept;
    m_repeated.clear();
    for (qsizetype i = 0; i < size(); ++i) {
        if (!keep(row(i)))
            continue;
        kept.push_back(m_rows[size_t(i)]);
        const auto at = qsizetype(kept.size() - 1);
        if (!repeated[size_t(i)])
            continue;
        if (!m_repeated.empty() && m_repeated.back().last == at - 1)
            m_repeated.back().last = at;
        else
            m_repeated.push_back({at, at});
    }
    m_rows = std::move(kept);
}

void HostTable::markRepeatedAddresses()
{
    m_repeated.clear();
    for (qsizetype i = 1; i < size(); ++i) {
        if (!sameAddressField(m_rows[size_t(i - 1)], m_rows[size_t(i)]))
            continue;
        if (!m_repeated.empty() && m_repeated.back().last == i - 1)
            m_repeated.back().last = i;
        else
            m_repeated.push_back({i, i});
    }
}

} // namespace kelto
