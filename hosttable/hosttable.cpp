#include "hosttable.h"

#include "hugepages.h"


#include <algorithm>
#include <limits>

namespace kelto {

HostRow HostTable::row(qsizetype index) const
{
    return rowOf(m_rows[size_t(index)]);
}

HostRow HostTable::rowOf(const Entry &entry) const
{
    const QStringView fields
        = m_fields.at(entry.start, entry.addressLength + entry.hostNameLength + entry.macLength);
    return HostRow(fields.first(entry.addressLength),
                   fields.sliced(entry.addressLength, entry.hostNameLength),
                   fields.sliced(entry.addressLength + entry.hostNameLength, entry.macLength));
}

void HostTable::prefetch(qsizetype index) const
{
#if defined(__GNUC__)
    __builtin_prefetch(m_fields.at(m_rows[size_t(index)].start, 0).utf16());
#else
    Q_UNUSED(index);
#endif
}

bool HostTable::equalsAt(qsizetype index, qsizetype position, QStringView text) const
{
    const Entry &entry = m_rows[size_t(index)];
    if (!entry.prefixExact || position + text.size() > PrefixLength)
        return rowOf(entry).equalsAt(position, text);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].unicode() != entry.prefixAt(position + i))
            return false;
    }
    return true;
}

bool HostTable::isRepeated(qsizetype index) const
{
    const auto after = std::upper_bound(m_repeated.begin(), m_repeated.end(), index,
                                        [](qsizetype i, const RowRange &r) { return i < r.first; });
    return after != m_repeated.begin() && index <= std::prev(after)->last;
}

void HostTable::append(QStringView address, QStringView hostName, QStringView mac)
{
    // Each field has a small bound: an address field is made of at most 16 characters of
    // the value and 8 spaces of alignment, a MAC comes from a header of fixed width.
    constexpr qsizetype FieldLimit = std::numeric_limits<quint8>::max();
    Q_ASSERT(address.size() <= FieldLimit && mac.size() <= FieldLimit);
    hostName = hostName.first(std::min(hostName.size(), HostNameMaxLength));

    Entry entry{};
    entry.start = m_fields.append({address, hostName, mac});
    entry.addressLength = quint8(address.size());
    entry.hostNameLength = quint8(hostName.size());
    entry.macLength = quint8(mac.size());
    setPrefix(entry, HostRow(address, hostName, mac));
    // The index grows as rows arrive, never ahead of what the file held, in steps that
    // the system may back with huge pages.
    if (m_rows.size() == m_rows.capacity())
        reserveWithHugePages(m_rows, std::max<size_t>(1024, 2 * m_rows.capacity()));
    m_rows.push_back(entry);
}

void HostTable::setPrefix(Entry &entry, const HostRow &row)
{
    std::array<char16_t, PrefixLength> chars;
    qsizetype filled = 0;
    for (const QStringView piece : row.pieces()) {
        const qsizetype n = std::min(piece.size(), PrefixLength - filled);
        std::copy_n(piece.utf16(), n, chars.begin() + filled);
        filled += n;
    }
    // Every row is longer than its prefix: the host name field alone has 84 characters.
    Q_ASSERT(filled == PrefixLength);
    entry.prefix = {};
    entry.prefixExact = true;
    for (qsizetype i = 0; i < PrefixLength; ++i) {
        entry.prefixExact = entry.prefixExact && chars[i] < 0xFF;
        entry.prefix[size_t(i / 8)] |= quint64(std::min<char16_t>(chars[i], 0xFF))
                                       << (8 * (7 - i % 8));
    }
}

bool HostTable::sameAddressField(const Entry &a, const Entry &b) const
{
    static_assert(AddressFieldWidth == PrefixLength - 1);
    if (a.prefixExact && b.prefixExact) // all but the last byte of the prefix
        return a.prefix[0] == b.prefix[0] && (a.prefix[1] >> 8) == (b.prefix[1] >> 8);
    return rowOf(a).compare(rowOf(b), AddressFieldWidth) == 0;
}

void HostTable::sort()
{
    std::sort(m_rows.begin(), m_rows.end(), [this](const Entry &a, const Entry &b) {
        if (a.prefixExact && b.prefixExact) {
            if (a.prefix[0] != b.prefix[0])
                return a.prefix[0] < b.prefix[0];
            if (a.prefix[1] != b.prefix[1])
                return a.prefix[1] < b.prefix[1];
        }
        return rowOf(a).compare(rowOf(b)) < 0;
    });
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
