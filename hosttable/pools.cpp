#include "pools.h"

#include "lookup.h"
#include "text.h"

namespace kelto {

namespace {

constexpr quint32 HostMask = 0xff;

std::optional<int> readOctet(QStringView text)
{
    text = text.trimmed();
    if (text.isEmpty() || text.size() > 3)
        return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value <= int(HostMask) ? std::optional(value) : std::nullopt;
}

// "N" or "N-M" with N <= M, added to `hosts`.
bool addItem(QStringView item, std::bitset<AddressPool::NetworkSize> &hosts)
{
    const qsizetype dash = indexOfChar(item, u'-');
    const std::optional<int> first = readOctet(dash < 0 ? item : item.first(dash));
    const std::optional<int> last = dash < 0 ? first : readOctet(item.sliced(dash + 1));
    if (!first || !last || *first > *last)
        return false;
    for (int host = *first; host <= *last; ++host)
        hosts.set(size_t(host));
    return true;
}

} // namespace

std::optional<AddressPool> readPool(QStringView value)
{
    const QList<QStringView> items = value.split(u',');
    // The start address: everything before its last dot is the network.
    const QStringView start = items.front().trimmed();
    const qsizetype lastDot = start.lastIndexOf(u'.');
    if (lastDot < 0)
        return std::nullopt;
    const QStringView hostPart = start.sliced(lastDot + 1);
    const qsizetype dash = indexOfChar(hostPart, u'-');
    const DottedAddress address
        = readDottedAddress((dash < 0 ? start : start.first(lastDot + 1 + dash)).trimmed());
    if (!address.isValid())
        return std::nullopt;

    AddressPool pool;
    pool.network = address.value & ~HostMask;
    const QString firstItem = QString::number(address.value & HostMask)
                              + (dash < 0 ? QString() : hostPart.sliced(dash).toString());
    if (!addItem(firstItem, pool.hosts))
        return std::nullopt;
    for (qsizetype i = 1; i < items.size(); ++i) {
        if (!addItem(items[i], pool.hosts))
            return std::nullopt;
    }
    return pool;
}

std::vector<std::vector<AddressRange>> freeAddresses(const std::vector<AddressPool> &pools,
                                                     const HostTable &table)
{
    std::vector<std::bitset<AddressPool::NetworkSize>> held(pools.size());
    ShownAddressBuffer buffer;
    table.forEachRow([&](qsizetype, const HostRow &row, bool) {
        const DottedAddress read = readDottedAddress(shownAddress(row, buffer));
        if (!read.hasValue())
            return;
        for (size_t p = 0; p < pools.size(); ++p) {
            if ((read.value & ~HostMask) == pools[p].network)
                held[p].set(read.value & HostMask);
        }
    });

    std::vector<std::vector<AddressRange>> free(pools.size());
    for (size_t p = 0; p < pools.size(); ++p) {
        const auto available = pools[p].hosts & ~held[p];
        for (int host = 0; host < AddressPool::NetworkSize; ++host) {
            if (!available.test(size_t(host)))
                continue;
            const quint32 address = pools[p].network | quint32(host);
            if (!free[p].empty() && free[p].back().last + 1 == address)
                free[p].back().last = address;
            else
                free[p].push_back({address, address});
        }
    }
    return free;
}

QString compactRanges(const std::vector<AddressRange> &ranges)
{
    QStringList parts;
    for (const AddressRange &range : ranges) {
        QString part = dottedAddress(range.first);
        if (range.last != range.first)
            part += u'-' + QString::number(range.last & HostMask);
        parts << part;
    }
    return parts.join(QLatin1StringView(", "));
}

} // namespace kelto
