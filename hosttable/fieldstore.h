#pragma once

#include <QStringView>

#include <memory>
#include <new>
#include <vector>

namespace kelto {

// Where the host table keeps the text of its fields: blocks filled one after the other
// and never moved, so that growing the table copies nothing and the views handed out
// stay valid. The fields of one row always share a block. Blocks start small, so that
// a small file costs little, and grow to 2 MiB, which the system may back with huge
// pages.
class FieldStore
{
public:
    // The block in the high 32 bits, the offset in it in the low 32.
    using Position = qsizetype;

    // Stores the pieces one after the other; returns the position of the first.
    template <size_t N> Position append(const QStringView (&pieces)[N]);

    // The `length` characters stored at `position`.
    QStringView at(Position position, qsizetype length) const
    {
        return QStringView(m_blocks[size_t(position >> 32)].chars.get() + (position & 0xFFFF'FFFF),
                           length);
    }

private:
    static constexpr qsizetype FirstBlockSize = qsizetype(1) << 12; // characters
    static constexpr qsizetype LargestBlockSize = qsizetype(1) << 20;

    struct Free
    {
        std::align_val_t alignment;
        void operator()(char16_t *chars) const;
    };
    struct Block
    {
        std::unique_ptr<char16_t[], Free> chars;
        qsizetype size = 0;
    };

    void startBlock(qsizetype atLeast);

    std::vector<Block> m_blocks;
    qsizetype m_used = 0; // in the last block
};

template <size_t N> FieldStore::Position FieldStore::append(const QStringView (&pieces)[N])
{
    qsizetype length = 0;
    for (const QStringView piece : pieces)
        length += piece.size();
    if (m_blocks.empty() || m_used + length > m_blocks.back().size)
        startBlock(length);
    const Position position = (Position(m_blocks.size() - 1) << 32) + m_used;
    char16_t *out = m_blocks.back().chars.get() + m_used;
    for (const QStringView piece : pieces)
        out = std::copy_n(reinterpret_cast<const char16_t *>(piece.utf16()), piece.size(), out);
    m_used += length;
    return position;
}

} // namespace kelto
