// Times the scan of each file given: the best of a few runs, in milliseconds, with the
// row count, so the cost per client can be compared across sizes.
//
//   kelto-bench-scan FILE...

#include "scan.h"
#include "lookup.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

using namespace kelto;

int main(int argc, char *argv[])
{
    constexpr int Runs = 3;
    for (int i = 1; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        qint64 bestScan = std::numeric_limits<qint64>::max();
        qint64 bestMiss = std::numeric_limits<qint64>::max();
        qsizetype rows = 0;
        for (int run = 0; run < Runs; ++run) {
            QElapsedTimer timer;
            timer.start();
            const ScanResult result = scanFile(path);
            bestScan = std::min(bestScan, timer.nsecsElapsed());
            rows = result.table.size();
            timer.start();
            const LookupResult miss = lookup(result.table, QStringLiteral("xyz"));
            bestMiss = std::min(bestMiss, timer.nsecsElapsed());
            if (miss.row >= 0 || !result.isComplete())
                return 1;
        }
        std::printf("%-40s %9lld rows  scan %8.1f ms  (%.0f ns/row)  lookup miss %6.2f ms\n",
                    argv[i], qlonglong(rows), bestScan / 1e6,
                    double(bestScan) / double(std::max<qsizetype>(rows, 1)), bestMiss / 1e6);
    }
    return 0;
}
