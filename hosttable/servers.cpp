#include "servers.h"

#include "ipv4.h"
#include "mac.h"

#include <algorithm>
#include <tuple>

namespace kelto {

namespace {

constexpr quint32 HostMask = 0xFF;

// A row with a MAC and a readable address: what the findings about clients compare.
struct Holding
{
    quint32 address = 0;
    quint64 mac = 0; // a key of the comparison's MacKeys
    ServerRow at;
};

struct ReadPool
{
    ServerPool at;
    AddressPool pool;
};

// Each file's pools that can be read; the others go to `skipped`.
std::vector<std::vector<ReadPool>> poolsOf(const std::vector<ServerFile> &files,
                                           std::vector<ServerPool> &skipped)
{
    std::vector<std::vector<ReadPool>> pools(files.size());
    for (size_t f = 0; f < files.size(); ++f) {
        for (const PoolReading &reading : readPools(*files[f].facts)) {
            if (reading.pool)
                pools[f].push_back({{f, reading.setting}, *reading.pool});
            else
                skipped.push_back({f, reading.setting});
        }
    }
    return pools;
}

// What the findings about clients read of the files, in one pass over their rows.
struct FileRows
{
    std::vector<Holding> holdings; // the rows with a MAC and a readable address
    // Every address each file holds, sorted: its rows' (leading zeros read as decimal, as
    // the pools read them) and its client sections' address keys as the server reads them.
    std::vector<std::vector<quint32>> held;
};

FileRows readRows(const std::vector<ServerFile> &files, MacKeys &macKeys)
{
    FileRows rows;
    rows.held.resize(files.size());
    for (size_t f = 0; f < files.size(); ++f) {
        std::vector<quint32> &held = rows.held[f];
        files[f].table->forEachRow([&](qsizetype i, const HostRow &row, bool) {
            HostRow::ShownAddressBuffer buffer;
            const DottedAddress read = readDottedAddress(row.shownAddress(buffer));
            if (!read.hasValue())
                return;
            held.push_back(read.value);
            if (!row.mac().isEmpty())
                rows.holdings.push_back({read.value, macKeys.keyOf(row.mac()), {f, i, 0}});
        });
        for (const HeldAddress &address : files[f].facts->heldAddresses)
            held.push_back(address.address);
        std::sort(held.begin(), held.end());
    }
    return rows;
}

// The runs of holdings that share `key`, where some two of them in different files
// differ in `other`. With rows of two files and two values of `other` among them, two
// rows of different files always differ in it.
template <typename Key, typename Other, typename OnRun>
void forEachRunAcrossFiles(std::vector<Holding> &holdings, Key key, Other other, OnRun onRun)
{
    std::sort(holdings.begin(), holdings.end(), [&](const Holding &a, const Holding &b) {
        return std::tuple(key(a), a.at.file, a.at.row) < std::tuple(key(b), b.at.file, b.at.row);
    });
    for (auto run = holdings.begin(); run != holdings.end();) {
        const auto end = std::find_if(run, holdings.end(),
                                      [&](const Holding &h) { return key(h) != key(*run); });
        const bool files
            = std::any_of(run, end, [&](const Holding &h) { return h.at.file != run->at.file; });
        const bool others
            = std::any_of(run, end, [&](const Holding &h) { return other(h) != other(*run); });
        if (files && others) {
            std::vector<ServerRow> rows;
            for (auto h = run; h != end; ++h)
                rows.push_back(h->at);
            onRun(*run, std::move(rows));
        }
        run = end;
    }
}

std::vector<PoolOverlap> overlapsOf(const std::vector<std::vector<ReadPool>> &pools)
{
    std::vector<PoolOverlap> overlaps;
    for (size_t f = 0; f < pools.size(); ++f) {
        for (const ReadPool &first : pools[f]) {
            for (size_t g = f + 1; g < pools.size(); ++g) {
                for (const ReadPool &second : pools[g]) {
                    const auto both = first.pool.hosts & second.pool.hosts;
                    if (first.pool.network == second.pool.network && both.any())
                        overlaps.push_back(
                            {first.at, second.at, rangesOf(first.pool.network, both)});
                }
            }
        }
    }
    return overlaps;
}

// The rows that hold an address of another file's pool that the other file holds nowhere.
std::vector<AddressInOtherPool> inOtherPools(const std::vector<Holding> &holdings,
                                             const std::vector<std::vector<ReadPool>> &pools,
                                             const std::vector<std::vector<quint32>> &held)
{
    std::vector<AddressInOtherPool> found;
    for (const Holding &holding : holdings) {
        for (size_t f = 0; f < pools.size(); ++f) {
            if (f == holding.at.file)
                continue;
            const auto pool
                = std::find_if(pools[f].begin(), pools[f].end(), [&](const ReadPool &p) {
                      return p.pool.network == (holding.address & ~HostMask)
                             && p.pool.hosts.test(holding.address & HostMask);
                  });
            if (pool != pools[f].end()
                && !std::binary_search(held[f].begin(), held[f].end(), holding.address))
                found.push_back({holding.at, holding.address, pool->at});
        }
    }
    std::sort(found.begin(), found.end(),
              [](const AddressInOtherPool &a, const AddressInOtherPool &b) {
                  return std::tuple(a.address, a.row.file, a.row.row, a.pool.file)
                         < std::tuple(b.address, b.row.file, b.row.row, b.pool.file);
              });
    return found;
}

// The lines of the rows that the findings name, file by file.
void setLines(const std::vector<ServerFile> &files, ServersReport &report)
{
    std::vector<std::vector<ServerRow *>> rows(files.size());
    for (AddressAcrossServers &finding : report.sharedAddresses) {
        for (ServerRow &row : finding.rows)
            rows[row.file].push_back(&row);
    }
    for (MacAcrossServers &finding : report.macsWithOtherAddresses) {
        for (ServerRow &row : finding.rows)
            rows[row.file].push_back(&row);
    }
    for (AddressInOtherPool &finding : report.addressesInOtherPools)
        rows[finding.row.file].push_back(&finding.row);
    for (size_t f = 0; f < files.size(); ++f)
        files[f].table->setClientLines(rows[f]);
}

} // namespace

ServersReport compareServers(const std::vector<ServerFile> &files)
{
    ServersReport report;
    const std::vector<std::vector<ReadPool>> pools = poolsOf(files, report.skippedPools);
    report.overlappingPools = overlapsOf(pools);

    MacKeys macKeys;
    FileRows rows = readRows(files, macKeys);
    std::vector<Holding> &holdings = rows.holdings;
    report.addressesInOtherPools = inOtherPools(holdings, pools, rows.held);
    const auto address = [](const Holding &h) { return h.address; };
    const auto mac = [](const Holding &h) { return h.mac; };
    forEachRunAcrossFiles(holdings, address, mac,
                          [&](const Holding &first, std::vector<ServerRow> rows) {
                              report.sharedAddresses.push_back({first.address, std::move(rows)});
                          });
    forEachRunAcrossFiles(
        holdings, mac, address, [&](const Holding &first, std::vector<ServerRow> rows) {
            report.macsWithOtherAddresses.push_back({macKeys.textOf(first.mac), std::move(rows)});
        });
    setLines(files, report);
    return report;
}

} // namespace kelto
