#pragma once

#include <QtGlobal>

#include <optional>
#include <vector>

namespace kelto {

// Finds the keys that come more than once in a stream of (key, item) pairs, and the
// items of each, in one pass: a flat hash table maps every key to the first item that
// had it, or to its group once a second item comes. In a configuration file nearly every
// key is unique, so the table is touched once per item and only repeated keys cost more;
// sorting all pairs costs more. A key goes in at the next add, its slot fetched from
// memory meanwhile, so that the table's cache misses overlap instead of adding up.
class RepeatedKeys
{
public:
    struct Group
    {
        quint64 key;
        std::vector<qsizetype> items; // in the order they were added
    };

    // Room for `count` distinct keys without growing; more are taken too.
    explicit RepeatedKeys(size_t count);

    void add(quint64 key, qsizetype item);

    // The groups, in the order in which their second item was added.
    std::vector<Group> takeGroups();

private:
    struct Pending
    {
        quint64 key;
        qsizetype item;
    };

    void allocate(size_t size); // an empty table of `size` slots, a power of two
    size_t homeSlot(quint64 key) const;
    size_t slotFor(quint64 key) const;
    void grow();
    void insert(quint64 key, qsizetype item);

    // value: Empty, an item (>= 0), or the group of the key as GroupMark - index.
    struct Slot
    {
        quint64 key;
        qint64 value;
    };
    static constexpr qint64 Empty = -1;
    static constexpr qint64 GroupMark = -2;

    std::vector<Slot> m_slots;
    size_t m_mask = 0;
    size_t m_used = 0;
    std::optional<Pending> m_pending; // added, and waiting for its slot to be fetched
    std::vector<Group> m_groups;
};

} // namespace kelto
