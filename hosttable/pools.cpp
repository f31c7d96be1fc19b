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
        if (close < 0 || name.indexOf(u'\\') < 0) {
            problem = QStringLiteral("%1 is not a reference of the form $(Section\\Key)")
                          .arg(reference);
            return false;
        }
        const QString key = name.toString().toLower();
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

std::vector<std::vector<AddressRange>> freeAddresses(const std::vector<AddressPool> &pools,
                                                     const HostTable &table,
                                                     const std::vector<quint32> &alsoHeld)
{
    std::vector<std::bitset<AddressPool::NetworkSize>> held(pools.size());
    const auto hold = [&](quint32 address) {
        for (size_t p = 0; p < pools.size(); ++p) {
            if ((address & ~HostMask) == pools[p].network)
                held[p].set(address & HostMask);
        }
    };
    HostRow::ShownAddressBuffer buffer;
    for (qsizetype i = 0; i < table.size(); ++i) {
        if (const DottedAddress read = readDottedAddress(table.shownAddress(i, buffer));
            read.hasValue())
            hold(read.value);
    }
    for (const quint32 address : alsoHeld)
        hold(address);

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
