#pragma once

#include <cstddef>
#include <vector>

namespace kelto {

// Asks the system to back the pages within [begin, begin + bytes) with huge pages where
// it can (Linux); elsewhere nothing happens. A table of a million rows fills a hundred
// megabytes and more, first touched page by page: with huge pages the tens of
// thousands of page faults that costs become a few dozen.
void adviseHugePages(void *begin, std::size_t bytes);

// Room for `n` elements in `v`, advised to be backed with huge pages.
template <typename T> void reserveWithHugePages(std::vector<T> &v, std::size_t n)
{
    v.reserve(n);
    adviseHugePages(v.data(), v.capacity() * sizeof(T));
}

} // namespace kelto
