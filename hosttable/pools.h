#pragma once

#include "filefacts.h"
#include "hosttable.h"

#include <QString>
#include <QStringView>

#include <bitset>
#include <optional>
#include <vector>

namespace kelto {

// The address pools of the server's [SETTINGS] section and the addresses of them that
// no row holds.

// The addresses of a pool: one network of 256 addresses (the first three octets of its
// start address), and the last octets the pool takes from it.
struct AddressPool
{
    static constexpr int NetworkSize = 256;
    quint32 network = 0; // the first three octets; the last octet is 0
    std::bitset<NetworkSize> hosts;
};

// Reads a pool value as the server writes it: a start address with an optional "-N" end
// of its last octet, then optional comma-separated items N or N-M of last octets in the
// same network: "192.168.10.2-49", "192.168.20.1,5-10". Spaces around items are allowed.
// Nothing when the value cannot be read so.
std::optional<AddressPool> readPool(QStringView value);

// A run of consecutive addresses, both ends included.
struct AddressRange
{
    quint32 first = 0;
    quint32 last = 0;
    friend bool operator==(const AddressRange &, const AddressRange &) = default;
};

// The addresses of `network` (its last octet 0) whose last octets `hosts` holds, as runs.
std::vector<AddressRange> rangesOf(quint32 network, const std::bitset<AddressPool::NetworkSize> &hosts);

// A pool value with its $(Section\Key) references replaced by the values they name (read
// like a pool value; section and key in any letter case), which may hold references
// themselves. Nothing, with the reason in `problem`, when a reference names no setting,
// is not of that form, or refers to itself, directly or through others.
std::optional<QString>
expandReferences(QStringView value, const QHash<QString, SettingValue> &settings, QString &problem);

// A pool setting of the file as `free` reads it. A reference is written $(Section\Key),
// or $(Key) for a key of [SETTINGS].
struct PoolReading
{
    const PoolSetting *setting = nullptr;
    QString value; // with its references replaced
    std::optional<AddressPool> pool; // nothing when the value cannot be read
    QString problem; // why not, for a pool that is skipped
};

std::vector<PoolReading> readPools(const FileFacts &facts);

// For each pool, the addresses in it that neither a row of the table nor an address key
// of a client section (`held`, as the server reads it) holds, ascending. A row holds the
// address the lookup shows for it, leading zeros read as decimal, so that an address is
// never called free while a row may hold it.
std::vector<std::vector<AddressRange>> freeAddresses(const std::vector<AddressPool> &pools,
                                                     const HostTable &table,
                                                     const std::vector<HeldAddress> &held = {});

// The addresses of a pool by what the server may do with them.
struct PoolCounts
{
    quint32 size = 0; // what the server may offer: the pool less its own addresses
    quint32 held = 0; // of those, held by a client section or a row
    // The held ones by the lease of their section at the time asked: an address held by
    // more than one counts as active if any lease is, else as having no lease end if any
    // holder has none (a reservation, or a row outside client sections), else expired.
    quint32 active = 0;
    quint32 expired = 0;
    quint32 noLeaseEnd = 0;
    quint32 free() const { return size - held; }
    // held / size, in percent rounded down; 100 for a pool with nothing to offer.
    int usePercent() const { return size == 0 ? 100 : int(quint64(held) * 100 / size); }
};

// A pool as the server counts it.
struct PoolStatus
{
    const PoolSetting *setting = nullptr;
    QString value; // with its references replaced
    AddressPool pool;
    PoolCounts counts;
    std::vector<AddressRange> free; // ascending
    std::vector<KeyLine> templates; // template sections that may assign addresses of it
};

struct PoolsReport
{
    std::vector<PoolStatus> pools; // in file order
    std::vector<PoolReading> skipped; // the pools that cannot be read, with the problem
    // AssociateBindsToPools=0 (or none) in [SETTINGS]: all pools are one big pool, which
    // runs out only when all of them are full; 1: each pool serves its own binding.
    bool oneBigPool = true;
    PoolCounts total; // over the addresses of all pools together
    std::vector<quint32> serverAddresses; // IPBIND_n= of [SETTINGS], never offered
};

// The pools of the file with their counts and free addresses, leases judged at `now`
// (seconds since 1970).
PoolsReport reportPools(const FileFacts &facts, const HostTable &table, qint64 now);

// When a pool is near its end, as monitoring plugins judge it: a use at or above a
// percentage, or that many free addresses or fewer.
struct PoolThresholds
{
    std::optional<int> warningPercent;
    std::optional<int> criticalPercent;
    std::optional<quint32> warningFree;
    std::optional<quint32> criticalFree;
    // The held count at which a pool of `size` reaches the warning (or critical) level:
    // the lower of the two that are given; nothing when none is.
    std::optional<quint32> heldAt(bool critical, quint32 size) const;
};

// The monitoring-plugin states, in the order of their gravity.
enum class PoolState { Ok = 0, Warning = 1, Critical = 2 };
PoolState judge(const PoolCounts &counts, const PoolThresholds &thresholds);
// "ok", "warning", "critical"
QLatin1StringView stateName(PoolState state);

// Whether a template section's address value may give a client an address of `pool`:
// its four octets match the pool's network and hosts where they are numbers, and a
// macro (%m5, %ip2) may be anything.
bool mayAssignInto(QStringView templateValue, const AddressPool &pool);

// "192.168.10.24-30, 192.168.10.32": a range within one network ends in its last octet.
QString compactRanges(const std::vector<AddressRange> &ranges);

// The state of every pool that is judged by itself and, last, of the pools as one when
// they are one big pool; what the thresholds make of them.
std::vector<PoolState> judgePools(const PoolsReport &report, const PoolThresholds &thresholds);

} // namespace kelto
