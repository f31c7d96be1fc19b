#include "hosttable.h"

#include <algorithm>
#include <limits>

namespace kelto {

HostRow HostTable::row(qsizetype index) const
{
    return rowOf(m_rows[size_t(index)]);
}

HostRow HostTable::rowOf(const Entry &entry) const
{
    const QStringView fields = QStringView(m_fields).sliced(entry.start);
    return HostRow(fields.first(entry.addressLength),
                   fields.sliced(entry.addressLength, entry.hostNameLength),
                   fields.sliced(entry.addressLength + entry.hostNameLength, entry.macLength));
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

    m_rows.push_back({m_fields.size(), quint8(address.size()), quint8(hostName.size()),
                      quint8(mac.size())});
    m_fields.append(address);
    m_fields.append(hostName);
    m_fields.append(mac);
}

void HostTable::sort()
{
    std::sort(m_rows.begin(), m_rows.end(), [this](const Entry &a, const Entry &b) {
        return rowOf(a).compare(rowOf(b)) < 0;
    });
}

void HostTable::markRepeatedAddresses()
{
    m_repeated.clear();
    for (qsizetype i = 1; i < size(); ++i) {
        if (row(i - 1).compare(row(i), AddressFieldWidth) != 0)
            continue;
        if (!m_repeated.empty() && m_repeated.back().last == i - 1)
            m_repeated.back().last = i;
        else
            m_repeated.push_back({i, i});
    }
}

} // namespace kelto
