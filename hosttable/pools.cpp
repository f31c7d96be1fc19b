#include "pools.h"

#include "lookup.h"
#include "text.h"

#include <algorithm>

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
    const qsizetype dash = item.indexOf(u'-');
    const std::optional<int> first = readOctet(dash < 0 ? item : item.first(dash));
    const std::optional<int> last = dash < 0 ? first : readOctet(item.sliced(dash + 1));
    if (!first || !last || *first > *last)
        return false;
    for (int host = *first; host <= *last; ++host)
        hosts.set(size_t(host));
    return true;
}

constexpr QLatin1StringView ReferenceStart("$(");
constexpr int DeepestReference = 16;
// A pool value is a line of text; references that make one far longer are a file built
// to exhaust memory (each may repeat the next several times, at every depth).
constexpr qsizetype LongestExpansion = 1 << 16;

// Expands the references of `value` into `out`; `expanding` holds the names of the
// references being expanded, outermost first.
bool expandInto(QStringView value, const QHash<QString, SettingValue> &settings,
                QStringList &expanding, QString &out, QString &problem)
{
    for (qsizetype at = value.indexOf(ReferenceStart); at >= 0;
         at = value.indexOf(ReferenceStart)) {
        out += value.first(at);
        const qsizetype close = value.indexOf(u')', at);
        const QStringView reference
            = value.sliced(at, close < 0 ? value.size() - at : close - at + 1);
        const QStringView name = reference.sliced(2, reference.size() - (close < 0 ? 2 : 3));
        if (close < 0 || name.isEmpty()) {
            problem = QStringLiteral("%1 is not a reference of the form $(Section\\Key)")
                          .arg(reference);
            return false;
        }
        // $(IPBIND_1) is $(Settings\IPBIND_1).
        const QString key = (name.contains(u'\\') ? QString() : QStringLiteral("settings\\"))
                            + name.toString().toLower();
        const auto found = settings.constFind(key);
        if (found == settings.constEnd()) {
            problem = QStringLiteral("%1 names no setting").arg(reference);
            return false;
        }
        if (expanding.contains(key)) {
            problem = QStringLiteral("%1 refers to itself").arg(reference);
            return false;
        }
        if (expanding.size() == DeepestReference || out.size() > LongestExpansion) {
            problem = QStringLiteral("%1 nests references too deeply or too often").arg(reference);
            return false;
        }
        expanding.append(key);
        if (!expandInto(found->value, settings, expanding, out, problem))
            return false;
        expanding.removeLast();
        value = value.sliced(at + reference.size());
    }
    out += value;
    return true;
}

// An octet of a template address: its number, or -1 for a macro, which may be anything.
std::optional<int> templateOctet(QStringView text)
{
    if (hasAddressMacro(text))
        return -1;
    return readOctet(text);
}

} // namespace

std::optional<QString>
expandReferences(QStringView value, const QHash<QString, SettingValue> &settings, QString &problem)
{
    QStringList expanding;
    QString out;
    if (!expandInto(value, settings, expanding, out, problem))
        return std::nullopt;
    return out;
}

std::vector<PoolReading> readPools(const FileFacts &facts)
{
    std::vector<PoolReading> pools;
    for (const PoolSetting &setting : facts.pools) {
        PoolReading reading{&setting, setting.value, std::nullopt, {}};
        if (std::optional<QString> value
            = expandReferences(setting.value, facts.settings, reading.problem)) {
            reading.value = *value;
            reading.pool = readPool(reading.value);
            if (!reading.pool)
                reading.problem = QStringLiteral("cannot read the pool \"%1\"").arg(reading.value);
        }
        pools.push_back(std::move(reading));
    }
    return pools;
}

bool mayAssignInto(QStringView templateValue, const AddressPool &pool)
{
    const QList<QStringView> octets = templateValue.split(u'.');
    if (octets.size() != 4)
        return false;
    for (int i = 0; i < 4; ++i) {
        const std::optional<int> octet = templateOctet(octets[i]);
        if (!octet)
            return false;
        if (*octet < 0)
            continue;
        if (i < 3 && quint32(*octet) != (pool.network >> (8 * (3 - i)) & HostMask))
            return false;
        if (i == 3 && !pool.hosts.test(size_t(*octet)))
            return false;
    }
    return true;
}

std::optional<AddressPool> readPool(QStringView value)
{
    const QList<QStringView> items = value.split(u',');
    // The start address: everything before its last dot is the network.
    const QStringView start = items.front().trimmed();
    const qsizetype lastDot = start.lastIndexOf(u'.');
    if (lastDot < 0)
        return std::nullopt;
    const QStringView hostPart = start.sliced(lastDot + 1);
    const qsizetype dash = hostPart.indexOf(u'-');
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

namespace {

// Which addresses of one network are held, and how.
struct NetworkHolders
{
    using Hosts = std::bitset<AddressPool::NetworkSize>;
    Hosts held; // by a row or a client section
    Hosts inSection; // by a client section
    Hosts active; // by a section whose lease runs at the time asked
    Hosts noLeaseEnd; // by a section without a lease end
};

// The holders of the pools' networks: the rows' addresses as the lookup shows them
// (leading zeros read as decimal, so that no address a row may hold is called free) and
// the address keys of client sections as the server reads them, with their leases.
QHash<quint32, NetworkHolders> holdersOf(const std::vector<AddressPool> &pools,
                                         const HostTable &table,
                                         const std::vector<HeldAddress> &held, qint64 now)
{
    QHash<quint32, NetworkHolders> networks;
    for (const AddressPool &pool : pools)
        networks[pool.network];
    HostRow::ShownAddressBuffer buffer;
    for (qsizetype i = 0; i < table.size(); ++i) {
        const DottedAddress read = readDottedAddress(table.shownAddress(i, buffer));
        const auto network = networks.find(read.value & ~HostMask);
        if (read.hasValue() && network != networks.end())
            network->held.set(read.value & HostMask);
    }
    for (const HeldAddress &address : held) {
        const auto network = networks.find(address.address & ~HostMask);
        if (network == networks.end())
            continue;
        const size_t host = address.address & HostMask;
        network->held.set(host);
        network->inSection.set(host);
        if (address.leaseEnd == 0)
            network->noLeaseEnd.set(host);
        else if (address.leaseEnd > now)
            network->active.set(host);
    }
    return networks;
}

PoolCounts countsOf(const NetworkHolders::Hosts &offered, const NetworkHolders &holders)
{
    const auto held = offered & holders.held;
    const auto active = held & holders.active;
    const auto noLeaseEnd = held & ~active & (holders.noLeaseEnd | ~holders.inSection);
    return {quint32(offered.count()), quint32(held.count()), quint32(active.count()),
            quint32((held & ~active & ~noLeaseEnd).count()), quint32(noLeaseEnd.count())};
}

// The IPBIND_n= addresses of [SETTINGS]: the server's own.
std::vector<quint32> serverAddressesOf(const FileFacts &facts)
{
    std::vector<quint32> addresses;
    for (auto setting = facts.settings.begin(); setting != facts.settings.end(); ++setting) {
        if (!setting.key().startsWith(QLatin1StringView("settings\\ipbind_")))
            continue;
        if (const DottedAddress address = readDottedAddress(setting->value); address.isValid())
            addresses.push_back(address.value);
    }
    std::sort(addresses.begin(), addresses.end());
    return addresses;
}

NetworkHolders::Hosts withoutAddresses(quint32 network, NetworkHolders::Hosts hosts,
                                       const std::vector<quint32> &addresses)
{
    for (const quint32 address : addresses) {
        if ((address & ~HostMask) == network)
            hosts.reset(address & HostMask);
    }
    return hosts;
}

} // namespace

std::vector<AddressRange> rangesOf(quint32 network, const std::bitset<AddressPool::NetworkSize> &hosts)
{
    std::vector<AddressRange> ranges;
    for (int host = 0; host < AddressPool::NetworkSize; ++host) {
        if (!hosts.test(size_t(host)))
            continue;
        const quint32 address = network | quint32(host);
        if (!ranges.empty() && ranges.back().last + 1 == address)
            ranges.back().last = address;
        else
            ranges.push_back({address, address});
    }
    return ranges;
}

std::vector<std::vector<AddressRange>> freeAddresses(const std::vector<AddressPool> &pools,
                                                     const HostTable &table,
                                                     const std::vector<HeldAddress> &held)
{
    const QHash<quint32, NetworkHolders> networks = holdersOf(pools, table, held, 0);
    std::vector<std::vector<AddressRange>> free;
    free.reserve(pools.size());
    for (const AddressPool &pool : pools)
        free.push_back(rangesOf(pool.network, pool.hosts & ~networks[pool.network].held));
    return free;
}

PoolsReport reportPools(const FileFacts &facts, const HostTable &table, qint64 now)
{
    PoolsReport report;
    report.serverAddresses = serverAddressesOf(facts);
    const auto binds = facts.settings.constFind(QStringLiteral("settings\\associatebindstopools"));
    report.oneBigPool = binds == facts.settings.constEnd() || binds->value.trimmed() != u"1";
    std::vector<AddressPool> pools;
    for (PoolReading &reading : readPools(facts)) {
        if (!reading.pool) {
            report.skipped.push_back(std::move(reading));
            continue;
        }
        PoolStatus status{reading.setting, reading.value, *reading.pool, {}, {}, {}};
        for (const KeyLine &address : facts.templateAddresses) {
            if (mayAssignInto(address.text, status.pool))
                status.templates.push_back(address);
        }
        pools.push_back(status.pool);
        report.pools.push_back(std::move(status));
    }
    const QHash<quint32, NetworkHolders> networks
        = holdersOf(pools, table, facts.heldAddresses, now);
    QHash<quint32, NetworkHolders::Hosts> offeredByNetwork;
    for (PoolStatus &status : report.pools) {
        const quint32 network = status.pool.network;
        const NetworkHolders &holders = networks[network];
        const auto offered = withoutAddresses(network, status.pool.hosts, report.serverAddresses);
        status.counts = countsOf(offered, holders);
        status.free = rangesOf(network, offered & ~holders.held);
        offeredByNetwork[network] |= offered;
    }
    for (auto offered = offeredByNetwork.begin(); offered != offeredByNetwork.end(); ++offered) {
        const PoolCounts counts = countsOf(*offered, networks[offered.key()]);
        report.total.size += counts.size;
        report.total.held += counts.held;
        report.total.active += counts.active;
        report.total.expired += counts.expired;
        report.total.noLeaseEnd += counts.noLeaseEnd;
    }
    return report;
}

std::optional<quint32> PoolThresholds::heldAt(bool critical, quint32 size) const
{
    const std::optional<int> percent = critical ? criticalPercent : warningPercent;
    const std::optional<quint32> free = critical ? criticalFree : warningFree;
    std::optional<quint32> held;
    if (percent) // the least count at or above the percentage
        held = quint32((quint64(size) * quint64(*percent) + 99) / 100);
    if (free)
        held = std::min(held.value_or(size), size - std::min(*free, size));
    return held;
}

PoolState judge(const PoolCounts &counts, const PoolThresholds &thresholds)
{
    for (const bool critical : {true, false}) {
        const std::optional<int> percent = critical ? thresholds.criticalPercent
                                                    : thresholds.warningPercent;
        const std::optional<quint32> free = critical ? thresholds.criticalFree
                                                     : thresholds.warningFree;
        if ((percent && quint64(counts.held) * 100 >= quint64(counts.size) * quint64(*percent))
            || (free && counts.free() <= *free))
            return critical ? PoolState::Critical : PoolState::Warning;
    }
    return PoolState::Ok;
}

QLatin1StringView stateName(PoolState state)
{
    switch (state) {
    case PoolState::Warning:
        return QLatin1StringView("warning");
    case PoolState::Critical:
        return QLatin1StringView("critical");
    case PoolState::Ok:
        break;
    }
    return QLatin1StringView("ok");
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

std::vector<PoolState> judgePools(const PoolsReport &report, const PoolThresholds &thresholds)
{
    std::vector<PoolState> states;
    for (const PoolStatus &pool : report.pools)
        states.push_back(report.oneBigPool ? PoolState::Ok : judge(pool.counts, thresholds));
    if (report.oneBigPool)
        states.push_back(judge(report.total, thresholds));
    return states;
}

} // namespace kelto
