#pragma once

#include "health.h"
#include "output.h"
#include "pools.h"

#include <vector>

namespace kelto {

// The output of `check`: one line per finding (nothing when all is well, so that cron
// mails only when there is something to say), or one JSON object streamed as it is
// written (a large file can have tens of thousands of findings).
void writeHealthText(Utf8Output &out, const HealthReport &report);
void writeHealthJson(Utf8Output &out, const QString &file, const HealthReport &report);

// A pool of the file with its free addresses.
struct PoolReport
{
    const PoolSetting *setting = nullptr;
    QString value; // with its references replaced
    std::vector<AddressRange> free;
    std::vector<KeyLine> templates; // template sections that may assign addresses of it
    quint32 freeCount() const;
};

// The output of `free`: one line per pool, or one JSON object.
void writeFreeText(Utf8Output &out, const std::vector<PoolReport> &pools);
void writeFreeJson(Utf8Output &out, const QString &file, const std::vector<PoolReport> &pools);

} // namespace kelto
