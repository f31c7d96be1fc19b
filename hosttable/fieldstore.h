#pragma once

#include <QStringView>

#include <memory>
#include <vector>

namespace kelto {

// Where the host table keeps the text of its fields: blocks of a fixed size, filled one
// after the other and never moved, so that growing the table copies nothing and the
// views handed out stay valid. The fields of one row always share a block.
class FieldStore
{
public:
    using Position = qsizetype;

    // Stores the pieces one after the other; returns the position of the first.
    template <size_t N> Position append(const QStringView (&pieces)[N]);

    // The `length` characters stored at `position`.
    QStringView at(Position position, qsizetype length) const
    {
        return QStringView(m_blocks[size_t(position >> BlockBits)].get() + (position & BlockMask),
                           length);
    }

private:
    static constexpr int BlockBits = 16; // 64 Ki characters, 128 KiB
    static constexpr qsizetype BlockSize = qsizetype(1) << BlockBits;
    static constexpr qsizetype BlockMask = BlockSize - 1;

    void startBlock();

    std::vector<std::unique_ptr<char16_t[]>> m_blocks;
    qsizetype m_used = BlockSize; // in the last block
};

template <size_t N> FieldStore::Position FieldStore::append(const QStringView (&pieces)[N])
{
    qsizetype length = 0;
    for (const QStringView piece : pieces)
        length += piece.size();
    Q_ASSERT(length <= BlockSize);
    if (m_used + length > BlockSize)
        startBlock();
    const Position position = (Position(m_blocks.size() - 1) << BlockBits) + m_used;
    char16_t *out = m_blocks.back().get() + m_used;
    for (const QStringView piece : pieces)
        out = std::copy_n(reinterpret_cast<const char16_t *>(piece.utf16()), piece.size(), out);
    m_used += length;
    return position;
}

} // namespace kelto
