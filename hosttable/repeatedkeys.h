#pragma once

#include <QtGlobal>

#include <array>
#include <vector>

namespace kelto {

// Finds the keys that come more than once in a stream of (key, item) pairs, and the
// items of each, in one pass: a flat hash table maps every key to the first item that
// had it, or to its group once a second item comes. In a configuration file nearly every
// key is unique, so the table is touched once per item and only repeated keys cost more;
// sorting all pairs costs more. Keys wait a few adds in a queue while their slot is
// fetched from memory, so that the table's cache misses overlap instead of adding up.
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
    static constexpr size_t QueueLength = 16; // a power of two

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
    std::array<Pending, QueueLength> m_queue;
    size_t m_queued = 0; // added in all; the queue holds the last min(m_queued, QueueLength)
    size_t m_inserted = 0;
    std::vector<Group> m_groups;
};

} // namespace kelto
