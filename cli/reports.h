#pragma once

#include "health.h"
#include "pools.h"
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

} // namespace kelto
