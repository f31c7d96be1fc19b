#pragma once

#include "hostrow.h"

#include <QString>

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
// them. The fields of all rows share one buffer, so adding a row allocates nothing of
// its own.
class HostTable
{
public:
    qsizetype size() const { return qsizetype(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }
    HostRow row(qsizetype index) const;
    QString rowText(qsizetype index) const { return row(index).text(); }

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
    struct Entry
    {
        qsizetype start; // of the address in m_fields; host name and MAC follow it
        quint8 addressLength;
        quint8 hostNameLength;
        quint8 macLength;
    };

    HostRow rowOf(const Entry &entry) const;

    QString m_fields;
    std::vector<Entry> m_rows;
    std::vector<RowRange> m_repeated;
};

} // namespace kelto
