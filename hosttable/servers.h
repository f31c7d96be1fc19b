#pragma once

#include "filefacts.h"
#include "hosttable.h"
#include "pools.h"

#include <QString>

#include <vector>

namespace kelto {

// Where the files of two or more servers disagree. Servers that share a network with
// split pools never tell each other what they gave, so an address that one of them holds
// for a client, and the other may offer or holds for another, goes to two machines.
// The same findings within one file are the health check's.
//
// Only rows with a MAC take part in the findings about MACs and addresses: a row without
// one names no client that another server could know.

// The table of one server's file, a complete scan with the facts of its pools.
struct ServerFile
{
    const HostTable *table = nullptr;
    const FileFacts *facts = nullptr;
};

// A row of one of the files, by the file's place in the list.
struct ServerRow
{
    size_t file = 0;
    qsizetype row = 0;
    qsizetype line = 0; // of its MAC header
};

// A pool setting of one of the files.
struct ServerPool
{
    size_t file = 0;
    const PoolSetting *setting = nullptr;
};

// Two servers' pools that share addresses: both may offer them.
struct PoolOverlap
{
    ServerPool first;
    ServerPool second; // of a later file
    std::vector<AddressRange> addresses;
};

// An address held for different MACs on different servers: every row of every file that
// holds it, by file, then in table order.
struct AddressAcrossServers
{
    quint32 address = 0;
    std::vector<ServerRow> rows;
};

// A MAC holding different addresses on different servers: every row of it, by file,
// then in table order.
struct MacAcrossServers
{
    QString mac; // as the server writes a MAC header, or as compared
    std::vector<ServerRow> rows;
};

// A row holding an address of another server's pool, which that server does not know to
// be held and may offer to another client.
struct AddressInOtherPool
{
    ServerRow row;
    quint32 address = 0;
    ServerPool pool;
};

struct ServersReport
{
    std::vector<PoolOverlap> overlappingPools; // by the first file, then file order
    std::vector<AddressAcrossServers> sharedAddresses; // ascending
    std::vector<MacAcrossServers> macsWithOtherAddresses; // ascending MAC
    std::vector<AddressInOtherPool> addressesInOtherPools; // by address, then file
    std::vector<ServerPool> skippedPools; // pools that cannot be read, in file order
    bool isEmpty() const
    {
        return overlappingPools.empty() && sharedAddresses.empty() && macsWithOtherAddresses.empty()
               && addressesInOtherPools.empty();
    }
};

ServersReport compareServers(const std::vector<ServerFile> &files);

} // namespace kelto
