#pragma once

#include "fields.h"
#include "filetext.h"
#include "hostrow.h"

#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelto {

// A run of consecutive row indexes, both ends included.
struct RowRange
{
    qsizetype first = 0;
    qsizetype last = 0;
    friend bool operator==(const RowRange &, const RowRange &) = default;
};

// The host table: one host row per client address, in ascending order of the row text
// by code point once sorted, and the rows that repeat the address field of the row
// before them. The table keeps the file's text; a row is a small record of where its
// host name and MAC stand in that text, with its address field coded as a number.
//
// The class is defined in three files: hosttable.cpp (records and their order),
// tablemarks.cpp (the marks of repeated addresses, and the rows a search keeps) and
// rowtext.cpp (a row's text, composed in one place for every output).
class HostTable
{
public:
    HostTable() = default;
    // A table of rows read from `text`, which it keeps.
    explicit HostTable(FileText text) : m_text(std::move(text)) { }

    const FileText &text() const { return m_text; }
    qsizetype size() const { return qsizetype(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }
    HostRow row(qsizetype index) const;
    QString rowText(qsizetype index) const { return row(index).text().toString(); }
    // The row's text in UTF-8 at `out`, which has room for RowMaxUtf8 bytes; returns the
    // end.
    static constexpr qsizetype RowMaxUtf8 = 4 * RowMaxLength;
    char *appendRowUtf8(qsizetype index, char *out) const;
    // The order of row `index` against row `otherIndex` of `other`, as their texts sort:
    // below 0, 0 or above 0.
    int compareRows(qsizetype index, const HostTable &other, qsizetype otherIndex) const;
    // Fetches the text of a row ahead of its use, for a walk in table order.
    void prefetchRow(qsizetype index) const;
    // The row's MAC as it stands in the text, in UTF-8; empty for a row without MAC.
    std::string_view macUtf8(qsizetype index) const { return macOf(m_rows[size_t(index)]); }
    // Whether columns 13-15 of row `index` equal `hostNumber`, three characters.
    bool hostNumberEquals(qsizetype index, QStringView hostNumber) const;

    // Calls f(index, repeated) for every row in table order.
    template <typename F> void forEachIndex(F &&f) const;
    // Calls f(index, row, repeated) for every row in table order.
    template <typename F> void forEachRow(F &&f) const
    {
        forEachIndex([this, &f](qsizetype i, bool repeated) { f(i, row(i), repeated); });
    }

    // The rows that repeat the address of the row before them, as ascending runs.
    // Empty until markRepeatedAddresses() has run.
    const std::vector<RowRange> &repeatedRows() const { return m_repeated; }
    bool isRepeated(qsizetype index) const;

    // Adds a row: its address field, and the host name (`hostNameLength` bytes of the
    // text, cut to 83 characters) and MAC (17 characters, or none when `mac` is 0) at
    // their byte positions in the text, and the LeaseEnd= line of its client section (-1
    // for none).
    void append(const AddressField &address, qsizetype hostName, qsizetype hostNameLength,
                qsizetype mac, qsizetype leaseLine = -1);
    // The LeaseEnd= line of a client section read after rows of it were added: rows from
    // `firstRow` on, in the order added.
    void setLeaseLine(qsizetype firstRow, qsizetype leaseLine);
    // The end of the row's lease, from the LeaseEnd= of its client section: seconds since
    // 1970 (UTC); nothing when the section has none, 0, or a value that is no number.
    std::optional<qint64> leaseEnd(qsizetype index) const;
    // For each row of `rows`, the line its client stands on in the file: that of its MAC
    // header, or of its host name for a row without MAC; 0 for a row with neither.
    std::vector<qsizetype> clientLines(const std::vector<qsizetype> &rows) const;
    // The same for items that name a row: each item's `line` is set to that of its `row`.
    template <typename Item> void setClientLines(const std::vector<Item *> &items) const
    {
        std::vector<qsizetype> rows;
        rows.reserve(items.size());
        for (const Item *item : items)
            rows.push_back(item->row);
        const std::vector<qsizetype> lines = clientLines(rows);
        for (size_t i = 0; i < items.size(); ++i)
            items[i]->line = lines[i];
    }
    // Keeps only the rows for which keep(row) holds, sorted, and marked as in the whole
    // table when `markRepeated` is set: a search sorts the rows it keeps and those that
    // share their address, not the whole table.
    using RowPredicate = std::function<bool(const HostRow &)>;
    void keepOnly(const RowPredicate &keep, bool markRepeated);
    // The address of row `index` as a lookup shows it.
    QStringView shownAddress(qsizetype index, HostRow::ShownAddressBuffer &buffer) const;
    // Puts the rows in ascending order of their text by code point, independent of the
    // locale.
    void sort();
    // Marks every row whose address field (its first 15 characters) equals that of the
    // row before it. Of each run of equal addresses the first row stays unmarked.
    void markRepeatedAddresses();

private:
    // An address field of the usual form, "ddd.ddd.ddd.ddd" with each d a digit or a
    // space, coded as twelve base-11 digits (space 0, "0"-"9" 1-10): numbers in the
    // order of the text, which a radix sort puts in order. Rows whose first 15 characters
    // are of another form have NoKey and are sorted by their text; a field of any other
    // length is kept in m_otherAddresses.
    static constexpr quint64 NoKey = ~quint64(0);
    struct Record
    {
        quint64 key; // of the row's first 15 characters, when they have the usual form
        quint32 hostName; // byte position in the text
        quint32 mac; // byte position in the text; 0 for none (a MAC follows a "[")
        quint32 otherAddress : 23; // 1 + index in m_otherAddresses; 0 when the key is the field
        quint32 hostNameLength : 9; // in bytes: 83 characters take at most 332
        quint32 leaseLine; // 1 + position of its section's LeaseEnd= line in the text; 0: none
    };
    static constexpr quint32 MostOtherAddresses = (quint32(1) << 23) - 1;
    // A row's text in UTF-8.
    using RowUtf8 = std::array<char, RowMaxUtf8>;

    static quint64 keyOf(const AddressField &field);
    void prefetchText(const Record &record) const;
    // Hands the parts of a row's text, in order, to `sink` (see rowtext.cpp).
    template <typename Sink> void composeRow(const Record &record, Sink &sink) const;
    HostRow rowOf(const Record &record) const;
    std::string_view macOf(const Record &record) const;
    std::string_view hostNameOf(const Record &record) const
    {
        return {reinterpret_cast<const char *>(m_text.bytes().data()) + record.hostName, record.hostNameLength};
    }
    static int compareRecords(const HostTable &tableA, const Record &a, const HostTable &tableB,
                              const Record &b);
    std::string_view rowUtf8(const Record &record, RowUtf8 &utf8) const;
    // The UTF-8 of the row's address field, its first 15 characters.
    std::string addressColumns(const Record &record) const;
    // The first 15 characters of a row coded as a key, or NoKey when they are not of the
    // usual form; `first` receives their UTF-8 then.
    quint64 addressGroup(const Record &record, std::string &first) const;
    bool rowLess(const Record &a, const Record &b) const;
    bool sameAddressField(const Record &a, const Record &b) const;
    void sortRunsOfEqualKeys(std::vector<Record>::iterator begin, std::vector<Record>::iterator end);

    FileText m_text;
    std::vector<Record> m_rows;
    std::vector<AddressField> m_otherAddresses;
    std::vector<RowRange> m_repeated;
};

template <typename F> void HostTable::forEachIndex(F &&f) const
{
    // The rows' host names lie in file order and the rows go in address order: the text
    // of the rows ahead is fetched while the current one is used.
    constexpr qsizetype Ahead = 16;
    auto repeated = m_repeated.begin();
    for (qsizetype i = 0; i < size(); ++i) {
        if (i + Ahead < size())
            prefetchRow(i + Ahead);
        while (repeated != m_repeated.end() && repeated->last < i)
            ++repeated;
        f(i, repeated != m_repeated.end() && repeated->first <= i);
    }
}

} // namespace kelto
