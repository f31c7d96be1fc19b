#include "changes.h"

#include "pools.h"

#include <QHash>

#include <algorithm>

namespace kelto {

namespace {

// The keys of rows without MAC: a hash of their address and host name with the top bit
// set, above every MAC's key. Rows of one such key are compared field by field, so two
// clients whose hashes meet are never taken for one.
constexpr quint64 WithoutMac = quint64(1) << 63;

quint64 keyWithoutMac(const HostRow &row)
{
    HostRow::ShownAddressBuffer buffer;
    const size_t seed = qHash(row.shownAddress(buffer));
    return WithoutMac | (quint64(qHash(row.shownHostName(), seed)) >> 1);
}

// What a row shows of its client, compared between the two versions.
struct Difference
{
    bool address = false;
    bool hostName = false;
    bool leaseEnd = false;
    bool any() const { return address || hostName || leaseEnd; }
};

Difference differenceOf(const HostTable &oldTable, qsizetype oldRow, const HostTable &newTable,
                        qsizetype newRow)
{
    const HostRow before = oldTable.row(oldRow);
    const HostRow after = newTable.row(newRow);
    HostRow::ShownAddressBuffer beforeAddress;
    HostRow::ShownAddressBuffer afterAddress;
    return {before.shownAddress(beforeAddress) != after.shownAddress(afterAddress),
            before.shownHostName() != after.shownHostName(),
            oldTable.leaseEnd(oldRow) != newTable.leaseEnd(newRow)};
}

// The rows of one client in each version. Rows that show the same are paired first;
// the others, of a client known by its MAC, are paired in table order as changes.
void pairClient(const HostTable &oldTable, std::vector<qsizetype> olds, const HostTable &newTable,
                std::vector<qsizetype> news, bool byMac, FileChanges &changes)
{
    std::vector<bool> newPaired(news.size());
    std::vector<qsizetype> oldLeft;
    for (const qsizetype oldRow : olds) {
        bool paired = false;
        for (size_t n = 0; n < news.size() && !paired; ++n) {
            if (!newPaired[n] && !differenceOf(oldTable, oldRow, newTable, news[n]).any())
                newPaired[n] = paired = true;
        }
        if (!paired)
            oldLeft.push_back(oldRow);
    }
    std::vector<qsizetype> newLeft;
    for (size_t n = 0; n < news.size(); ++n) {
        if (!newPaired[n])
            newLeft.push_back(news[n]);
    }
    size_t paired = 0;
    if (byMac) {
        for (; paired < std::min(oldLeft.size(), newLeft.size()); ++paired) {
            const Difference d = differenceOf(oldTable, oldLeft[paired], newTable, newLeft[paired]);
            changes.changed.push_back(
                {{oldLeft[paired]}, {newLeft[paired]}, d.address, d.hostName, d.leaseEnd});
        }
    }
    for (size_t i = paired; i < oldLeft.size(); ++i)
        changes.removed.push_back({oldLeft[i]});
    for (size_t i = paired; i < newLeft.size(); ++i)
        changes.added.push_back({newLeft[i]});
}

// The rows of each client in both tables, client by client: pairClient() for each.
void diffClients(const HostTable &oldTable, const HostTable &newTable, FileChanges &changes)
{
    MacKeys macKeys;
    const std::vector<ClientKey> olds = clientKeys(oldTable, macKeys);
    const std::vector<ClientKey> news = clientKeys(newTable, macKeys);
    auto o = olds.begin();
    auto n = news.begin();
    while (o != olds.end() || n != news.end()) {
        const quint64 key = n == news.end() || (o != olds.end() && o->key < n->key) ? o->key : n->key;
        std::vector<qsizetype> oldRows;
        std::vector<qsizetype> newRows;
        for (; o != olds.end() && o->key == key; ++o)
            oldRows.push_back(o->row);
        for (; n != news.end() && n->key == key; ++n)
            newRows.push_back(n->row);
        // Nearly every client has one row in each version that shows the same.
        if (oldRows.size() == 1 && newRows.size() == 1
            && !differenceOf(oldTable, oldRows[0], newTable, newRows[0]).any())
            continue;
        pairClient(oldTable, std::move(oldRows), newTable, std::move(newRows),
                   (key & WithoutMac) == 0, changes);
    }
    const auto byRow = [](const ClientRow &a, const ClientRow &b) { return a.row < b.row; };
    std::sort(changes.added.begin(), changes.added.end(), byRow);
    std::sort(changes.removed.begin(), changes.removed.end(), byRow);
    std::sort(changes.changed.begin(), changes.changed.end(),
              [&](const ChangedClient &a, const ChangedClient &b) { return byRow(a.after, b.after); });
}

void setLines(const HostTable &oldTable, const HostTable &newTable, FileChanges &changes)
{
    std::vector<ClientRow *> olds;
    std::vector<ClientRow *> news;
    for (ClientRow &row : changes.removed)
        olds.push_back(&row);
    for (ClientRow &row : changes.added)
        news.push_back(&row);
    for (ChangedClient &client : changes.changed) {
        olds.push_back(&client.before);
        news.push_back(&client.after);
    }
    oldTable.setClientLines(olds);
    newTable.setClientLines(news);
}

// A pool's name as the server compares keys: letter case aside.
QString poolName(const PoolSetting &setting)
{
    return setting.name.toCaseFolded();
}

// Whether two readings of a pool give the server the same addresses; a value that
// cannot be read is compared as written.
bool samePool(const PoolReading &a, const PoolReading &b)
{
    if (a.pool && b.pool)
        return a.pool->network == b.pool->network && a.pool->hosts == b.pool->hosts;
    return !a.pool && !b.pool && a.value == b.value;
}

std::vector<PoolChange> diffPools(const FileFacts &oldFacts, const FileFacts &newFacts)
{
    const std::vector<PoolReading> olds = readPools(oldFacts);
    const std::vector<PoolReading> news = readPools(newFacts);
    QHash<QString, const PoolReading *> oldByName;
    for (const PoolReading &reading : olds)
        oldByName.insert(poolName(*reading.setting), &reading); // the last, as the server reads
    QHash<QString, const PoolReading *> newByName;
    for (const PoolReading &reading : news)
        newByName.insert(poolName(*reading.setting), &reading);
    std::vector<PoolChange> changes;
    for (const PoolReading &reading : news) {
        const QString name = poolName(*reading.setting);
        if (newByName.value(name) != &reading)
            continue;
        const PoolReading *old = oldByName.value(name);
        if (!old)
            changes.push_back({nullptr, reading.setting, {}, reading.value});
        else if (!samePool(*old, reading))
            changes.push_back({old->setting, reading.setting, old->value, reading.value});
    }
    for (const PoolReading &reading : olds) {
        const QString name = poolName(*reading.setting);
        if (oldByName.value(name) == &reading && !newByName.contains(name))
            changes.push_back({reading.setting, nullptr, reading.value, {}});
    }
    return changes;
}

QString clientNameOf(const HostRow &row)
{
    if (!row.mac().isEmpty()) {
        const FoldedMac mac = foldMac(row.mac());
        return QStringLiteral("MAC %1").arg(QStringView(mac.data(), mac.size()));
    }
    HostRow::ShownAddressBuffer address;
    return QStringLiteral("%1 %2").arg(row.shownAddress(address), row.shownHostName());
}

} // namespace

std::vector<ClientKey> clientKeys(const HostTable &table, MacKeys &macKeys)
{
    std::vector<ClientKey> keys;
    keys.reserve(size_t(table.size()));
    table.forEachRow([&](qsizetype i, const HostRow &row, bool) {
        keys.push_back({row.mac().isEmpty() ? keyWithoutMac(row) : macKeys.keyOf(row.mac()), i});
    });
    std::sort(keys.begin(), keys.end(), [](const ClientKey &a, const ClientKey &b) {
        return a.key < b.key || (a.key == b.key && a.row < b.row);
    });
    return keys;
}

FileChanges diffFiles(const HostTable &oldTable, const FileFacts &oldFacts,
                      const HostTable &newTable, const FileFacts &newFacts)
{
    FileChanges changes;
    diffClients(oldTable, newTable, changes);
    setLines(oldTable, newTable, changes);
    changes.pools = diffPools(oldFacts, newFacts);
    return changes;
}

RowList addedClients(const HostTable &old, const HostTable &now)
{
    FileChanges changes;
    diffClients(old, now, changes);
    RowList added;
    for (const ClientRow &row : changes.added)
        added.push_back(row.row);
    return added;
}

QString clientName(const HostTable &table, qsizetype row)
{
    return clientNameOf(table.row(row));
}

std::optional<qsizetype> findClient(const HostTable &table, const QString &name)
{
    for (qsizetype i = 0; i < table.size(); ++i) {
        if (clientNameOf(table.row(i)) == name)
            return i;
    }
    return std::nullopt;
}

} // namespace kelto
