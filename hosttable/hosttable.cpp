#include "hosttable.h"

#include "filefacts.h"

#include "configfile.h"
#include "vectorscan.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <set>
#include <unordered_set>

namespace kelto {

namespace {

constexpr quint64 KeyBase = 11;
constexpr bool isDotPosition(qsizetype position)
{
    return position == 3 || position == 7 || position == 11;
}

// Windows-1252 bytes as UTF-8: the length, then up to three bytes.
constexpr auto Utf8OfByte = [] {
    std::array<std::array<char, 4>, 256> table{};
    for (int b = 0; b < 256; ++b) {
        std::array<char, 4> utf8{};
        utf8[0] = char(appendUtf8(utf8.data() + 1, windows1252CodePoint(uchar(b))) - (utf8.data() + 1));
        table[size_t(b)] = utf8;
    }
    return table;
}();

// Appends the UTF-8 of the `n` characters at `chars`.
template <typename Char> char *appendUtf8(const Char *chars, qsizetype n, bool ascii, char *out)
{
    if constexpr (sizeof(Char) == 1) {
        if (ascii) {
            std::memcpy(out, chars, size_t(n));
            return out + n;
        }
        for (qsizetype i = 0; i < n; ++i) {
            const std::array<char, 4> &utf8 = Utf8OfByte[chars[i]];
            std::memcpy(out, utf8.data() + 1, 3);
            out += utf8[0];
        }
        return out;
    } else {
        for (qsizetype i = 0; i < n; ++i)
            out = kelto::appendUtf8(out, chars[i]);
        return out;
    }
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

// The text of every group of three base-11 digits of a key.
constexpr auto DigitGroups = [] {
    std::array<std::array<char, 3>, size_t(11) * 11 * 11> groups{};
    for (size_t g = 0; g < groups.size(); ++g) {
        size_t value = g;
        for (int i = 2; i >= 0; --i, value /= 11)
            groups[g][size_t(i)] = value % 11 == 0 ? ' ' : char('0' + value % 11 - 1);
    }
    return groups;
}();

// The 15 characters of the address field that a key codes.
template <typename T> T *appendKeyText(quint64 key, T *out)
{
    constexpr quint64 GroupBase = quint64(11) * 11 * 11;
    std::array<size_t, 4> groups;
    for (int i = 3; i >= 0; --i, key /= GroupBase)
        groups[size_t(i)] = size_t(key % GroupBase);
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            *out++ = T('.');
        for (const char c : DigitGroups[groups[size_t(i)]])
            *out++ = T(c);
    }
    return out;
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
    Record record{keyOf(address), quint32(hostName), quint32(mac), 0,
                  quint32(std::min(hostNameLength, HostNameMaxLength)), quint32(leaseLine + 1)};
    if (record.key == NoKey || address.size != AddressFieldWidth) {
        // Sixteen million rows of addresses of other forms: no server's file, and more
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
    const QString text = m_text.visit([line](auto chars) {
        const auto from = chars.begin() + (line - 1);
        const auto end = std::find_if(from, chars.end(), [](auto c) { return c == '\n' || c == '\r'; });
        return toQString(std::span(from, end));
    });
    const std::optional<QStringView> value = leaseEndValue(text);
    const std::optional<qint64> seconds = value ? readLeaseEnd(*value) : std::nullopt;
    return seconds && *seconds > 0 ? seconds : std::nullopt;
}

void HostTable::prefetchRow(qsizetype index) const
{
    prefetchText(m_rows[size_t(index)]);
}

void HostTable::prefetchText(const Record &record) const
{
    const auto *text = m_text.isBytes() ? static_cast<const void *>(m_text.bytes().data())
                                        : static_cast<const void *>(m_text.codePoints().data());
    const size_t unit = m_text.isBytes() ? sizeof(uchar) : sizeof(char32_t);
    vectorscan::prefetch(static_cast<const char *>(text) + record.hostName * unit);
    if (record.mac != 0)
        vectorscan::prefetch(static_cast<const char *>(text) + record.mac * unit);
}

qsizetype HostTable::rowChars(const Record &record, RowChars &chars) const
{
    char32_t *out = chars.data();
    if (record.otherAddress == 0) {
        out = appendKeyText(record.key, out);
    } else {
        const AddressField &field = m_otherAddresses[record.otherAddress - 1];
        out = std::copy_n(field.chars.begin(), field.size, out);
    }
    *out++ = U' ';
    m_text.visit([&](auto text) {
        out = std::transform(text.begin() + record.hostName,
                             text.begin() + record.hostName + record.hostNameLength, out,
                             [](auto c) { return codePointOf(c); });
        out = std::fill_n(out, HostNameMaxLength - record.hostNameLength, U' ');
        if (record.mac != 0)
            out = std::transform(text.begin() + record.mac,
                                 text.begin() + record.mac + MacFieldWidth, out,
                                 [](auto c) { return codePointOf(c); });
    });
    return out - chars.data();
}

HostRow HostTable::row(qsizetype index) const
{
    return rowOf(m_rows[size_t(index)]);
}

HostRow HostTable::rowOf(const Record &record) const
{
    RowChars chars;
    const qsizetype size = rowChars(record, chars);
    const qsizetype addressLength = size - HostNameFieldWidth - (record.mac != 0 ? MacFieldWidth : 0);
    const qsizetype hostNameEnd = addressLength + 1 + record.hostNameLength;
    HostRow row;
    std::array<qsizetype, RowMaxLength + 1> unitAt; // where each character starts in UTF-16
    char16_t *out = row.m_units.data();
    for (qsizetype i = 0; i < size; ++i) {
        unitAt[size_t(i)] = out - row.m_units.data();
        out = appendUtf16(out, chars[size_t(i)]);
    }
    unitAt[size_t(size)] = out - row.m_units.data();
    row.m_end = {unitAt[size_t(addressLength)], unitAt[size_t(hostNameEnd)], unitAt[size_t(size)]};
    row.m_macStart = unitAt[size_t(addressLength + HostNameFieldWidth)];
    row.m_size = size;
    return row;
}

char *HostTable::appendRowUtf8(qsizetype index, char *out) const
{
    const Record &record = m_rows[size_t(index)];
    if (record.otherAddress == 0) {
        out = appendKeyText(record.key, out);
    } else {
        const AddressField &field = m_otherAddresses[record.otherAddress - 1];
        for (qsizetype i = 0; i < field.size; ++i)
            out = kelto::appendUtf8(out, field.chars[size_t(i)]);
    }
    *out++ = ' ';
    const bool ascii = m_text.isAscii();
    m_text.visit([&](auto text) {
        out = appendUtf8(text.data() + record.hostName, record.hostNameLength, ascii, out);
        std::memset(out, ' ', size_t(HostNameMaxLength - record.hostNameLength));
        out += HostNameMaxLength - record.hostNameLength;
        if (record.mac != 0)
            out = appendUtf8(text.data() + record.mac, MacFieldWidth, ascii, out);
    });
    return out;
}

bool HostTable::hostNumberEquals(qsizetype index, std::u32string_view hostNumber) const
{
    const Record &record = m_rows[size_t(index)];
    RowChars chars;
    if (record.otherAddress == 0) {
        appendKeyText(record.key, chars.data());
    } else if (rowChars(record, chars) < HostNumberPosition + HostNumberWidth) {
        return false;
    }
    return std::u32string_view(chars.data() + HostNumberPosition, HostNumberWidth) == hostNumber;
}

bool HostTable::isRepeated(qsizetype index) const
{
    const auto after = std::upper_bound(m_repeated.begin(), m_repeated.end(), index,
                                        [](qsizetype i, const RowRange &r) { return i < r.first; });
    return after != m_repeated.begin() && index <= std::prev(after)->last;
}

bool HostTable::rowLess(const Record &a, const Record &b) const
{
    if (a.otherAddress != 0 || b.otherAddress != 0) {
        RowChars charsA;
        RowChars charsB;
        const qsizetype sizeA = rowChars(a, charsA);
        const qsizetype sizeB = rowChars(b, charsB);
        return std::lexicographical_compare(charsA.begin(), charsA.begin() + sizeA,
                                            charsB.begin(), charsB.begin() + sizeB);
    }
    if (a.key != b.key)
        return a.key < b.key;
    // The same address field: the rows differ from the host name on, a name padded with
    // spaces to 83 characters and then the MAC, if any. Compared in place, for a large
    // file has many rows of one address.
    return m_text.visit([&a, &b](auto text) {
        const auto charAt = [&text](const Record &r, qsizetype i) -> qint64 {
            if (i < r.hostNameLength)
                return codePointOf(text[r.hostName + size_t(i)]);
            if (i < HostNameMaxLength)
                return U' ';
            if (r.mac == 0)
                return -1; // the end of the row, before any character
            return codePointOf(text[r.mac + size_t(i - HostNameMaxLength)]);
        };
        for (qsizetype i = 0; i < HostNameMaxLength + MacFieldWidth; ++i) {
            const qint64 ca = charAt(a, i);
            const qint64 cb = charAt(b, i);
            if (ca != cb)
                return ca < cb;
            if (ca < 0)
                return false;
        }
        return false;
    });
}

bool HostTable::sameAddressField(const Record &a, const Record &b) const
{
    if (a.key != NoKey && b.key != NoKey)
        return a.key == b.key;
    RowChars charsA;
    RowChars charsB;
    rowChars(a, charsA);
    rowChars(b, charsB);
    return std::equal(charsA.begin(), charsA.begin() + AddressFieldWidth, charsB.begin());
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

QStringView HostTable::shownAddress(qsizetype index, HostRow::ShownAddressBuffer &buffer) const
{
    const Record &record = m_rows[size_t(index)];
    if (record.otherAddress != 0)
        return rowOf(record).shownAddress(buffer);
    std::array<char16_t, AddressFieldWidth> field;
    appendKeyText(record.key, field.data());
    const auto end = std::copy_if(field.begin(), field.end(), buffer.begin(),
                                  [](char16_t c) { return c != u' '; });
    return QStringView(buffer.data(), end - buffer.begin());
}

quint64 HostTable::addressGroup(const Record &record, RowChars &chars) const
{
    if (record.key != NoKey)
        return record.key;
    rowChars(record, chars);
    AddressField first;
    first.size = AddressFieldWidth;
    std::copy_n(chars.begin(), AddressFieldWidth, first.chars.begin());
    return keyOf(first);
}

void HostTable::keepOnly(const RowPredicate &keep, bool markRepeated)
{
    // The address groups of the rows kept: a row's mark depends only on the rows that
    // share its first 15 characters.
    std::unordered_set<quint64> keys;
    std::set<std::u32string> others;
    RowChars chars;
    for (const Record &record : m_rows) {
        if (!keep(rowOf(record)))
            continue;
        if (const quint64 group = addressGroup(record, chars); group != NoKey)
            keys.insert(group);
        else
            others.emplace(chars.data(), AddressFieldWidth);
    }
    std::vector<Record> grouped;
    for (const Record &record : m_rows) {
        const quint64 group = addressGroup(record, chars);
        if (group != NoKey ? keys.contains(group)
                           : others.contains(std::u32string(chars.data(), AddressFieldWidth)))
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
