#include "changes.h"

#include "mac.h"
#include "pools.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <string_view>

namespace kelto {

namespace {

// The keys of rows without MAC: a hash of their address and host name fields with the
// top bit set, above every MAC's key. Rows of one such key are compared field by field,
// so two clients whose hashes meet are never taken for one.
constexpr quint64 WithoutMac = quint64(1) << 63;

using RowUtf8 = std::array<char, HostTable::RowMaxUtf8>;

// The UTF-8 of a row's address and host name fields: the row without its MAC.
std::string_view fieldsUtf8(const HostTable &table, qsizetype row, RowUtf8 &utf8)
{
    const char *end = table.appendRowUtf8(row, utf8.data());
    return {utf8.data(), size_t(end - utf8.data()) - table.macUtf8(row).size()};
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
    Difference difference;
    difference.leaseEnd = oldTable.leaseEnd(oldRow) != newTable.leaseEnd(newRow);
    // Nearly every client shows the same in both: its fields are compared as UTF-8, and
    // only those that differ are read as the lookup shows them.
    RowUtf8 before;
    RowUtf8 after;
    if (fieldsUtf8(oldTable, oldRow, before) == fieldsUtf8(newTable, newRow, after))
        return difference;
    const HostRow beforeRow = oldTable.row(oldRow);
    const HostRow afterRow = newTable.row(newRow);
    HostRow::ShownAddressBuffer beforeAddress;
    HostRow::ShownAddressBuffer afterAddress;
    difference.address
        = beforeRow.shownAddress(beforeAddress) != afterRow.shownAddress(afterAddress);
    difference.hostName = beforeRow.shownHostName() != afterRow.shownHostName();
    return difference;
}

// The rows of one client in each version. Rows that show the same are paired first;
// the others, of a client known by its MAC, are paired in table order as changes.
void pairClient(const HostTable &oldTable, const std::vector<qsizetype> &olds,
                const HostTable &newTable, const std::vector<qsizetype> &news, bool byMac,
                FileChanges &changes)
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

// A number for the client of a row, the same for the same client in both versions,
// which share `macKeys`.
struct ClientKey
{
    quint64 key = 0;
    qsizetype row = 0;
};

// The clients of `rows` of a table, ordered by their key, then by row.
std::vector<ClientKey> clientKeys(const HostTable &table, const std::vector<qsizetype> &rows,
                                  MacKeys &macKeys)
{
    std::vector<ClientKey> keys;
    keys.reserve(rows.size());
    RowUtf8 utf8;
    for (const qsizetype row : rows) {
        const std::string_view mac = table.macUtf8(row);
        const quint64 key
            = mac.empty()
                  ? WithoutMac | (quint64(qHash(QByteArrayView(fieldsUtf8(table, row, utf8)))) >> 1)
                  : macKeys.keyOf(mac);
        keys.push_back({key, row});
    }
    std::sort(keys.begin(), keys.end(), [](const ClientKey &a, const ClientKey &b) {
        return a.key < b.key || (a.key == b.key && a.row < b.row);
    });
    return keys;
}

// Walks both tables in their order, which is that of the rows' text, and passes over
// the rows that are the same in both, text and lease: nearly all of them. Reading rows
// in order is many times faster than reading them client by client, scattered over
// memory. The rows left, in table order, are paired by client.
void passUnchanged(const HostTable &oldTable, const HostTable &newTable,
                   std::vector<qsizetype> &oldLeft, std::vector<qsizetype> &newLeft)
{
    constexpr qsizetype Ahead = 16;
    qsizetype o = 0;
    qsizetype n = 0;
    while (o < oldTable.size() && n < newTable.size()) {
        if (o + Ahead < oldTable.size())
            oldTable.prefetchRow(o + Ahead);
        if (n + Ahead < newTable.size())
            newTable.prefetchRow(n + Ahead);
        const int order = oldTable.compareRows(o, newTable, n);
        if (order == 0 && oldTable.leaseEnd(o) != newTable.leaseEnd(n)) {
            oldLeft.push_back(o);
            newLeft.push_back(n);
        } else if (order < 0) {
            oldLeft.push_back(o);
        } else if (order > 0) {
            newLeft.push_back(n);
        }
        o += order <= 0;
        n += order >= 0;
    }
    for (; o < oldTable.size(); ++o)
        oldLeft.push_back(o);
    for (; n < newTable.size(); ++n)
        newLeft.push_back(n);
}

// The rows of each client in both tables, client by client: pairClient() for each.
void diffClients(const HostTable &oldTable, const HostTable &newTable, FileChanges &changes)
{
    std::vector<qsizetype> oldRows;
    std::vector<qsizetype> newRows;
    passUnchanged(oldTable, newTable, oldRows, newRows);
    MacKeys macKeys;
    const std::vector<ClientKey> olds = clientKeys(oldTable, oldRows, macKeys);
    const std::vector<ClientKey> news = clientKeys(newTable, newRows, macKeys);
    auto o = olds.begin();
    auto n = news.begin();
    while (o != olds.end() || n != news.end()) {
        const quint64 key
            = n == news.end() || (o != olds.end() && o->key < n->key) ? o->key : n->key;
        std::vector<qsizetype> oldClient;
        std::vector<qsizetype> newClient;
        for (; o != olds.end() && o->key == key; ++o)
            oldClient.push_back(o->row);
        for (; n != news.end() && n->key == key; ++n)
            newClient.push_back(n->row);
        pairClient(oldTable, oldClient, newTable, newClient, (key & WithoutMac) == 0, changes);
    }
    const auto byRow = [](const ClientRow &a, const ClientRow &b) { return a.row < b.row; };
    std::sort(changes.added.begin(), changes.added.end(), byRow);
    std::sort(changes.removed.begin(), changes.removed.end(), byRow);
    std::sort(
        changes.changed.begin(), changes.changed.end(),
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
    // A pool named twice is its first setting, as a reference to it reads it.
    const auto byName = [](const std::vector<PoolReading> &readings) {
        QHash<QString, const PoolReading *> named;
        for (const PoolReading &reading : readings) {
            const QString name = poolName(*reading.setting);
            if (!named.contains(name))
                named.insert(name, &reading);
        }
        return named;
    };
    const QHash<QString, const PoolReading *> oldByName = byName(olds);
    const QHash<QString, const PoolReading *> newByName = byName(news);
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

constexpr QLatin1StringView MacName("MAC ");

QString clientNameOf(const HostRow &row)
{
    if (!row.mac().isEmpty()) {
        const FoldedMac mac = foldMac(row.mac());
        return QString(MacName).append(QStringView(mac.data(), mac.size()));
    }
    HostRow::ShownAddressBuffer address;
    return QStringLiteral("%1 %2").arg(row.shownAddress(address), row.shownHostName());
}

} // namespace

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
    // MACs are compared as numbers, read from the text without composing the rows.
    MacKeys macKeys;
    const bool byMac = name.startsWith(MacName);
    const quint64 key = byMac ? macKeys.keyOf(QStringView(name).sliced(MacName.size())) : 0;
    for (qsizetype i = 0; i < table.size(); ++i) {
        const std::string_view mac = table.macUtf8(i);
        if (byMac ? !mac.empty() && macKeys.keyOf(mac) == key
                  : mac.empty() && clientNameOf(table.row(i)) == name)
            return i;
    }
    return std::nullopt;
}

} // namespace kelto
