#include "fieldstore.h"

#include "hugepages.h"

#include <algorithm>
#include <bit>

namespace kelto {

void FieldStore::Free::operator()(char16_t *chars) const
{
    ::operator delete[](chars, alignment);
}

void FieldStore::startBlock(qsizetype atLeast)
{
    const qsizetype size = std::max(
        atLeast,
        m_blocks.empty() ? FirstBlockSize : std::min(2 * m_blocks.back().size, LargestBlockSize));
    const auto bytes = size_t(size) * sizeof(char16_t);
    // Aligned to its size, up to 2 MiB, so that a large block can be one huge page.
    const auto alignment
        = std::align_val_t(std::min<size_t>(std::bit_floor(bytes), size_t(1) << 21));
    // Not value-initialised: only what is appended is ever read.
    auto *chars = static_cast<char16_t *>(::operator new[](bytes, alignment));
    adviseHugePages(chars, bytes);
    m_blocks.push_back({std::unique_ptr<char16_t[], Free>(chars, Free{alignment}), size});
    m_used = 0;
}

} // namespace kelto
