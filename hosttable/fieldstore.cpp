#include "fieldstore.h"

namespace kelto {

void FieldStore::startBlock()
{
    // Not value-initialised: only what is appended is ever read.
    m_blocks.push_back(std::make_unique_for_overwrite<char16_t[]>(size_t(BlockSize)));
    m_used = 0;
}

} // namespace kelto
