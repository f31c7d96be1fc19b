// kelto-bench-vendors [FOLDER]: the time to read the IEEE registry's lists (best of
// twenty) and the memory they keep, measured as the growth of the resident set.

#include "vendors.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

// The resident set of this process in bytes, from /proc (Linux).
qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    constexpr qint64 PageBytes = 4096;
    return fields.size() > 1 ? fields[1].toLongLong() * PageBytes : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    const QString folder = kelto::vendorListFolder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString());
    const qint64 before = residentBytes();
    const kelto::VendorRegistry kept = kelto::VendorRegistry::readFolder(folder);
    const qint64 after = residentBytes();
    qint64 bestNs = std::numeric_limits<qint64>::max();
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer timer;
        timer.start();
        const kelto::VendorRegistry registry = kelto::VendorRegistry::readFolder(folder);
        bestNs = std::min(bestNs, timer.nsecsElapsed());
    }
    std::printf("%lld assignments from %s: read in %.1f ms, keeping %.1f MB\n",
                static_cast<long long>(kept.size()), qPrintable(folder), double(bestNs) / 1e6,
                double(after - before) / 1e6);
    return kept.isEmpty() ? 1 : 0;
}
