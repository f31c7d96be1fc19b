#include "hugepages.h"

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace kelto {

void adviseHugePages(void *begin, std::size_t bytes)
{
#ifdef Q_OS_LINUX
    // The advice takes whole pages: those that lie entirely within the range.
    const auto pageSize = quintptr(::sysconf(_SC_PAGESIZE));
    const auto address = quintptr(begin);
    const quintptr first = (address + pageSize - 1) & ~(pageSize - 1);
    const quintptr end = (address + bytes) & ~(pageSize - 1);
    if (end > first)
        ::madvise(static_cast<char *>(begin) + (first - address), end - first, MADV_HUGEPAGE);
#else
    Q_UNUSED(begin);
    Q_UNUSED(bytes);
#endif
}

} // namespace kelto
