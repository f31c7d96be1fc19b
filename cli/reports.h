#pragma once

#include "changes.h"
#include "health.h"
#include "pools.h"
#include "servers.h"
#include "utf8output.h"

namespace kelto {

// The text reports of kelto-cli: a line per finding or pool, for a terminal, cron and
// scripts.

// The output of `check`: one line per finding, and nothing when all is well, so that cron
// mails only when there is something to say.
void writeHealthText(Utf8Output &out, const HealthReport &report);

// The output of `free`: one line per pool.
void writeFreeText(Utf8Output &out, const PoolsReport &report);

// The output of `pools`: each pool with its counts, and the total when the pools are one
// big pool, a line each.
void writePoolsText(Utf8Output &out, const PoolsReport &report);

// The output of `diff`: a line per client removed, added and changed, then per pool;
// nothing when nothing changed. "line" is a line of the new file, "old line" of the old.
void writeChangesText(Utf8Output &out, const HostTable &oldTable, const HostTable &newTable,
                      const FileChanges &changes);

// The output of `compare`: a line per finding, each naming the files and lines; nothing
// when the servers agree.
void writeServersText(Utf8Output &out, const QStringList &files,
                      const std::vector<ServerFile> &servers, const ServersReport &report);

} // namespace kelto
