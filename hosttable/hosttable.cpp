#include "hosttable.h"

#include "vectorscan.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kelto {

namespace {

constexpr qsizetype KeyDigits = 12; // the address field but its three dots
constexpr quint64 KeyBase = 11;
constexpr bool isDotPosition(qsizetype position)
{
    return position == 3 || position == 7 || position == 11;
}

// Windows-1252 bytes as UTF-8: the length, then up to three bytes.
constexpr auto Utf8OfByte = [] {
    std::array<std::array<char, 4>, 256> table{};
    const std::array<char16_t, 32> high = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    for (int b = 0; b < 256; ++b) {
        const char32_t c = b >= 0x80 && b < 0xA0 ? high[size_t(b - 0x80)] : char32_t(b);
        std::array<char, 4> utf8{};
        utf8[0] = char(appendUtf8(utf8.data() + 1, c) - (utf8.data() + 1));
        table[size_t(b)] = utf8;
    }
    return table;
}();

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

// Sorts by the key in passes of 11 bits, least significant first; a pass in which every
// key has the same digit is skipped, which in a file of one network is most of them.
template <typename Record, typename Key> void radixSort(std::vector<Record> &records, Key key)
{
    constexpr int DigitBits = 11;
    constexpr int KeyBits = 42; // 11^12 < 2^42
    constexpr size_t Buckets = size_t(1) << DigitBits;
    std::vector<Record> buffer(records.size());
    for (int shift = 0; shift < KeyBits; shift += DigitBits) {
        std::vector<size_t> counts(Buckets + 1);
        for (const Record &r : records)
            ++counts[((key(r) >> shift) & (Buckets - 1)) + 1];
        if (std::find(counts.begin(), counts.end(), records.size()) != counts.end())
            continue;
        for (size_t b = 1; b <= Buckets; ++b)
            counts[b] += counts[b - 1];
        for (const Record &r : records)
            buffer[counts[(key(r) >> shift) & (Buckets - 1)]++] = r;
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

char32_t *HostTable::appendKeyChars(quint64 key, char32_t *out)
{
    std::array<char32_t, AddressFieldWidth> chars;
    for (qsizetype i = AddressFieldWidth - 1; i >= 0; --i) {
        if (isDotPosition(i)) {
            chars[size_t(i)] = U'.';
            continue;
        }
        const auto digit = char32_t(key % KeyBase);
        key /= KeyBase;
        chars[size_t(i)] = digit == 0 ? U' ' : U'0' + digit - 1;
    }
    return std::copy(chars.begin(), chars.end(), out);
}

void HostTable::append(const AddressField &address, qsizetype hostName, qsizetype hostNameLength,
                       qsizetype mac)
{
    Record record{keyOf(address), quint32(hostName), quint32(mac), 0,
                  quint8(std::min(hostNameLength, HostNameMaxLength))};
    if (record.key == NoKey || address.size != AddressFieldWidth) {
        m_otherAddresses.push_back(address);
        record.otherAddress = quint32(m_otherAddresses.size());
    }
    m_rows.push_back(record);
}

qsizetype HostTable::rowChars(const Record &record, RowChars &chars) const
{
    char32_t *out = chars.data();
    if (record.otherAddress == 0) {
        out = appendKeyChars(record.key, out);
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
    const Record &record = m_rows[size_t(index)];
    RowChars chars;
    const qsizetype size = rowChars(record, chars);
    const qsizetype addressLength = record.otherAddress == 0
                                        ? AddressFieldWidth
                                        : m_otherAddresses[record.otherAddress - 1].size;
    HostRow row;
    char16_t *out = row.m_units.data();
    for (qsizetype i = 0; i < size; ++i) {
        if (i == addressLength)
            row.m_end.address = out - row.m_units.data();
        if (i == addressLength + 1 + record.hostNameLength)
            row.m_end.hostName = out - row.m_units.data();
        if (i == addressLength + HostNameFieldWidth)
            row.m_macStart = out - row.m_units.data();
        out = appendUtf16(out, chars[size_t(i)]);
    }
    if (record.mac == 0)
        row.m_macStart = out - row.m_units.data();
    row.m_end.mac = out - row.m_units.data();
    row.m_size = size;
    return row;
}

char *HostTable::appendRowUtf8(qsizetype index, char *out) const
{
    const Record &record = m_rows[size_t(index)];
    if (record.otherAddress == 0) {
        std::array<char32_t, AddressFieldWidth> address;
        appendKeyChars(record.key, address.data());
        for (const char32_t c : address)
            *out++ = char(c);
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
        appendKeyChars(record.key, chars.data());
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
    RowChars charsA;
    RowChars charsB;
    const qsizetype sizeA = rowChars(a, charsA);
    const qsizetype sizeB = rowChars(b, charsB);
    return std::lexicographical_compare(charsA.begin(), charsA.begin() + sizeA, charsB.begin(),
                                        charsB.begin() + sizeB);
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
    const auto less = [this](const Record &a, const Record &b) { return rowLess(a, b); };
    while (begin != end) {
        const auto run = std::find_if(begin, end, [&](const Record &r) { return r.key != begin->key; });
        if (run - begin > 1)
            std::sort(begin, run, less);
        begin = run;
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
    std::vector<Record> merged(m_rows.size() + others.size());
    std::merge(m_rows.begin(), m_rows.end(), others.begin(), others.end(), merged.begin(), less);
    m_rows.swap(merged);
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
