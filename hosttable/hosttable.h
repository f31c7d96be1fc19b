#pragma once

#include "fieldstore.h"
#include "hostrow.h"

#include <QString>

#include <array>
#include <vector>

namespace kelto {

// A run of consecutive row indexes, both ends included.
struct RowRange
{
    qsizetype first = 0;
    qsizetype last = 0;
    friend bool operator==(const RowRange &, const RowRange &) = default;
};

// The host table: one host row per client address, in ascending ordinal order of the
// row text once sorted, and the rows that repeat the address field of the row before
// them. The fields of all rows share large blocks, so adding a row allocates nothing
// of its own.
class HostTable
{
public:
    qsizetype size() const { return qsizetype(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }
    HostRow row(qsizetype index) const;
    QString rowText(qsizetype index) const { return row(index).text(); }
    // Whether the text of row `index` from `position` on equals `text`.
    bool equalsAt(qsizetype index, qsizetype position, QStringView text) const;

    // Calls f(index, row, repeated) for every row in table order. The fields of the rows
    // lie in the order the file gave them, so the fields of the rows ahead are fetched
    // from memory while the current one is used: listing a large table costs no more
    // than reading it.
    template <typename F> void forEachRow(F &&f) const;

    // The rows that repeat the address of the row before them, as ascending runs.
    // Empty until markRepeatedAddresses() has run.
    const std::vector<RowRange> &repeatedRows() const { return m_repeated; }
    bool isRepeated(qsizetype index) const;

    void append(QStringView address, QStringView hostName, QStringView mac);
    // Puts the rows in ascending ordinal order of their text (UTF-16 code units, case
    // sensitive, independent of the locale).
    void sort();
    // Marks every row whose address field (its first 15 characters) equals that of the
    // row before it. Of each run of equal addresses the first row stays unmarked.
    void markRepeatedAddresses();

private:
    // Sorting a million rows compares rows twenty million times. Each entry carries the
    // first 16 characters of its row (the address field and the space after it, in the
    // usual case), a byte each, so that nearly every comparison is decided without
    // reading the fields elsewhere in memory.
    static constexpr qsizetype PrefixLength = 16;
    struct Entry
    {
        std::array<quint64, 2> prefix; // big-endian: the first character in the top byte
        uchar prefixAt(qsizetype position) const
        {
            return uchar(prefix[size_t(position / 8)] >> (8 * (7 - position % 8)));
        }
        FieldStore::Position start; // of the address; host name and MAC follow it
        quint8 addressLength;
        quint8 hostNameLength;
        quint8 macLength;
        bool prefixExact; // every character of the prefix is below U+00FF
    };

    HostRow rowOf(const Entry &entry) const;
    void prefetch(qsizetype index) const;
    static void setPrefix(Entry &entry, const HostRow &row);
    bool sameAddressField(const Entry &a, const Entry &b) const;

    FieldStore m_fields;
    std::vector<Entry> m_rows;
    std::vector<RowRange> m_repeated;
};

template <typename F> void HostTable::forEachRow(F &&f) const
{
    constexpr qsizetype Ahead = 16;
    auto repeated = m_repeated.begin();
    for (qsizetype i = 0; i < size(); ++i) {
        if (i + Ahead < size())
            prefetch(i + Ahead);
        while (repeated != m_repeated.end() && repeated->last < i)
            ++repeated;
        f(i, row(i), repeated != m_repeated.end() && repeated->first <= i);
    }
}

} // namespace kelto
