#pragma once

#include "filefacts.h"
#include "health.h"
#include "hosttable.h"

#include <QString>

#include <optional>
#include <vector>

namespace kelto {

// What changed between two versions of the configuration file: the clients added,
// removed and changed, and the address pools of [SETTINGS].
//
// A client is a row of the host table, known by the MAC of its client section, which is
// compared as the health check compares MACs (00-1A-2B-33-44-55 is 00-1a-2b-33-44-55). A
// row without MAC is known by its address and host name, so it is never changed, only
// removed or added.

// A row of one version, with the line its client stands on (see
// HostTable::clientLines()).
struct ClientRow
{
    qsizetype row = 0;
    qsizetype line = 0;
};

// A client in both versions whose row shows something else.
struct ChangedClient
{
    ClientRow before;
    ClientRow after;
    bool address = false;
    bool hostName = false;
    bool leaseEnd = false;
};

// A pool setting (IPPOOL_n=) added, removed, or given addresses of its own.
struct PoolChange
{
    const PoolSetting *oldSetting = nullptr; // none for a pool added
    const PoolSetting *newSetting = nullptr; // none for a pool removed
    QString oldValue; // with its references replaced
    QString newValue;
};

struct FileChanges
{
    std::vector<ClientRow> added; // rows of the new table, in table order
    std::vector<ClientRow> removed; // rows of the old table, in table order
    std::vector<ChangedClient> changed; // in the order of the new table
    std::vector<PoolChange> pools; // in the order of the new file, then the removed ones
    bool isEmpty() const
    {
        return added.empty() && removed.empty() && changed.empty() && pools.empty();
    }
};

// Two versions of a file, each a complete scan with the facts of its pools. Rows are
// paired by client; where a client has more rows in one version than in the other (a
// MAC heading more than one section), the rows that show the same are paired first,
// the others in table order.
FileChanges diffFiles(const HostTable &oldTable, const FileFacts &oldFacts,
                      const HostTable &newTable, const FileFacts &newFacts);

// The clients added since `old`, which is all that a window marking new rows needs.
RowList addedClients(const HostTable &old, const HostTable &now);

// A text that names a row's client in any table: its MAC as compared, or its address
// and host name for a row without MAC.
QString clientName(const HostTable &table, qsizetype row);

// The row of `table` whose client `name` (from clientName()) names, first in table
// order; nothing when no row has it.
std::optional<qsizetype> findClient(const HostTable &table, const QString &name);

} // namespace kelto
