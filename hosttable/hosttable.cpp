// The host table's records and their order: rows as they are added, and the sort that
// puts them in the order of their text.

#include "hosttable.h"

#include "configfile.h"
#include "filefacts.h"
#include "text.h"
#include "vectorscan.h"

#include <QVarLengthArray>

#include <algorithm>
#include <array>

namespace kelto {

namespace {

constexpr quint64 KeyBase = 11;
constexpr bool isDotPosition(qsizetype position)
{
    return position == 3 || position == 7 || position == 11;
}

// Sorts by the key in passes of 11 bits, least significant first. The counts of all
// passes are taken in one reading; a pass in which every key has the same digit is
// skipped, which in a file of one network is the most significant ones.
template <typename Record, typename Key> void radixSort(std::vector<Record> &records, Key key)
{
    constexpr int DigitBits = 11;
    constexpr int KeyBits = 42; // 11^12 < 2^42
    constexpr int Passes = (KeyBits + DigitBits - 1) / DigitBits;
    constexpr size_t Buckets = size_t(1) << DigitBits;
    std::vector<std::array<size_t, Buckets>> counts(Passes);
    for (const Record &r : records) {
        for (int pass = 0; pass < Passes; ++pass)
            ++counts[size_t(pass)][(key(r) >> (pass * DigitBits)) & (Buckets - 1)];
    }
    std::vector<Record> buffer;
    for (int pass = 0; pass < Passes; ++pass) {
        std::array<size_t, Buckets> &count = counts[size_t(pass)];
        if (std::find(count.begin(), count.end(), records.size()) != count.end())
            continue;
        if (buffer.empty()) {
            reserveWithHugePages(buffer, records.size());
            buffer.resize(records.size());
        }
        size_t start = 0;
        for (size_t &c : count)
            start += std::exchange(c, start);
        for (const Record &r : records)
            buffer[count[(key(r) >> (pass * DigitBits)) & (Buckets - 1)]++] = r;
        records.swap(buffer);
    }
}

} // namespace

quint64 HostTable::keyOf(const AddressField &field)
{
    if (field.size < AddressFieldWidth)
        return NoKey;
    quint64 key = 0;
    for (qsizetype i = 0; i < AddressFieldWidth; ++i) {
        const char32_t c = field.chars[size_t(i)];
        if (isDotPosition(i)) {
            if (c != U'.')
                return NoKey;
        } else if (c == U' ') {
            key *= KeyBase;
        } else if (c >= U'0' && c <= U'9') {
            key = key * KeyBase + (c - U'0' + 1);
        } else {
            return NoKey;
        }
    }
    return key;
}

void HostTable::append(const AddressField &address, qsizetype hostName, qsizetype hostNameLength,
                       qsizetype mac, qsizetype leaseLine)
{
    if (hostNameLength > HostNameMaxLength) // 83 characters take 83 to 332 bytes
        hostNameLength = columnOffset(m_text.bytes().subspan(size_t(hostName), size_t(hostNameLength)),
                                      HostNameMaxLength);
    Record record{keyOf(address), quint32(hostName), quint32(mac), 0,
                  quint32(hostNameLength), quint32(leaseLine + 1)};
    if (record.key == NoKey || address.size != AddressFieldWidth) {
        // Eight million rows of addresses of other forms: no server's file, and more
        // than a row has room to count.
        if (m_otherAddresses.size() == MostOtherAddresses)
            throw std::bad_alloc();
        m_otherAddresses.push_back(address);
        record.otherAddress = quint32(m_otherAddresses.size());
    }
    // The rows grow as they arrive, never ahead of what the file held: when they fill
    // their room, it grows to what the whole text holds at the rate of rows read so far,
    // so that a large file is moved once or twice instead of twenty times.
    if (m_rows.size() == m_rows.capacity()) {
        // A row takes at least an address line: "IPADDR=", a character and a line end.
        constexpr size_t LeastRowChars = 9;
        const auto read = size_t(std::max<qsizetype>({record.hostName, record.mac, 1}));
        const size_t projected = std::min(m_rows.size() * size_t(m_text.size()) / read,
                                          size_t(m_text.size()) / LeastRowChars);
        reserveWithHugePages(m_rows, std::max({size_t(1024), projected + projected / 16,
                                               m_rows.capacity() + m_rows.capacity() / 2}));
    }
    m_rows.push_back(record);
}

void HostTable::setLeaseLine(qsizetype firstRow, qsizetype leaseLine)
{
    for (auto row = m_rows.begin() + firstRow; row != m_rows.end(); ++row)
        row->leaseLine = quint32(leaseLine + 1);
}

std::optional<qint64> HostTable::leaseEnd(qsizetype index) const
{
    const quint32 line = m_rows[size_t(index)].leaseLine;
    if (line == 0)
        return std::nullopt;
    const std::span<const uchar> text = m_text.bytes().subspan(line - 1);
    const auto end = std::find_if(text.begin(), text.end(), [](uchar c) { return c == '\n' || c == '\r'; });
    // UTF-8 takes at least as many bytes as UTF-16 takes units; a line is read without
    // a string of its own, as a diff reads millions of them.
    QVarLengthArray<char16_t, 256> units(end - text.begin());
    qsizetype characters = 0;
    const char16_t *unitsEnd = appendUtf16(text.first(size_t(end - text.begin())), units.data(), characters);
    const std::optional<QStringView> value = leaseEndValue(QStringView(units.data(), unitsEnd));
    const std::optional<qint64> seconds = value ? readLeaseEnd(*value) : std::nullopt;
    return seconds && *seconds > 0 ? seconds : std::nullopt;
}

std::vector<qsizetype> HostTable::clientLines(const std::vector<qsizetype> &rows) const
{
    std::vector<qsizetype> positions;
    positions.reserve(rows.size());
    for (const qsizetype row : rows) {
        const Record &record = m_rows[size_t(row)];
        // A MAC follows the "[" of its header; a host name never starts a line's text.
        positions.push_back(record.mac != 0       ? qsizetype(record.mac) - 1
                            : record.hostName != 0 ? qsizetype(record.hostName)
                                                   : -1);
    }
    return m_text.lineNumbers(positions);
}

void HostTable::prefetchRow(qsizetype index) const
{
    prefetchText(m_rows[size_t(index)]);
}

void HostTable::prefetchText(const Record &record) const
{
    const uchar *text = m_text.bytes().data();
    vectorscan::prefetch(text + record.hostName);
    if (record.mac != 0)
        vectorscan::prefetch(text + record.mac);
}

int HostTable::compareRecords(const HostTable &tableA, const Record &a, const HostTable &tableB,
                              const Record &b)
{
    if (a.otherAddress == 0 && b.otherAddress == 0) {
        if (a.key != b.key)
            return a.key < b.key ? -1 : 1;
        // The same host name and MAC in the text: the same row, without composing it.
        if (tableA.hostNameOf(a) == tableB.hostNameOf(b) && tableA.macOf(a) == tableB.macOf(b))
            return 0;
    }
    // UTF-8 byte order is code point order. Rows of one address field differ from the
    // host name on; a large file has many such rows.
    RowUtf8 utf8A;
    RowUtf8 utf8B;
    return tableA.rowUtf8(a, utf8A).compare(tableB.rowUtf8(b, utf8B));
}

bool HostTable::rowLess(const Record &a, const Record &b) const
{
    return compareRecords(*this, a, *this, b) < 0;
}

int HostTable::compareRows(qsizetype index, const HostTable &other, qsizetype otherIndex) const
{
    return compareRecords(*this, m_rows[size_t(index)], other, other.m_rows[size_t(otherIndex)]);
}

void HostTable::sortRunsOfEqualKeys(std::vector<Record>::iterator begin,
                                    std::vector<Record>::iterator end)
{
    // Rows of one key are ordered by their text, which lies elsewhere in memory: the text
    // of the rows a little ahead that share a key is fetched while a run is sorted.
    constexpr ptrdiff_t Ahead = 16;
    const ptrdiff_t count = end - begin;
    const auto sharesKey = [begin, count](ptrdiff_t i) {
        return (i > 0 && begin[i].key == begin[i - 1].key)
               || (i + 1 < count && begin[i].key == begin[i + 1].key);
    };
    ptrdiff_t fetched = 0;
    const auto less = [this](const Record &a, const Record &b) { return rowLess(a, b); };
    for (ptrdiff_t first = 0; first < count;) {
        ptrdiff_t last = first + 1;
        while (last < count && begin[last].key == begin[first].key)
            ++last;
        for (; fetched < std::min(last + Ahead, count); ++fetched) {
            if (sharesKey(fetched))
                prefetchText(begin[fetched]);
        }
        if (last - first > 1)
            std::sort(begin + first, begin + last, less);
        first = last;
    }
}

void HostTable::sort()
{
    // The rows with a key come first, in the order of their keys; rows with equal keys
    // are then ordered by the rest of their text. The few rows without a key are sorted
    // by their text and merged in.
    const auto keyed = std::partition(m_rows.begin(), m_rows.end(),
                                             [](const Record &r) { return r.key != NoKey; });
    std::vector<Record> others(keyed, m_rows.end());
    m_rows.erase(keyed, m_rows.end());
    radixSort(m_rows, [](const Record &r) { return r.key; });
    sortRunsOfEqualKeys(m_rows.begin(), m_rows.end());
    if (others.empty())
        return;
    const auto less = [this](const Record &a, const Record &b) { return rowLess(a, b); };
    std::sort(others.begin(), others.end(), less);
    std::vector<Record> merged;
    reserveWithHugePages(merged, m_rows.size() + others.size());
    merged.resize(m_rows.size() + others.size());
    std::merge(m_rows.begin(), m_rows.end(), others.begin(), others.end(), merged.begin(), less);
    m_rows.swap(merged);
}

} // namespace kelto
