#include "repeatedkeys.h"

#include "configfile.h"
#include "vectorscan.h"

#include <algorithm>
#include <bit>
#include <utility>

namespace kelto {

namespace {

// Room for `count` keys with the table at most half full, so that probes stay short.
size_t tableSizeFor(size_t count)
{
    return std::bit_ceil(std::max<size_t>(2 * count, 16));
}

} // namespace

RepeatedKeys::RepeatedKeys(size_t count)
{
    allocate(tableSizeFor(count));
}

void RepeatedKeys::allocate(size_t size)
{
    m_slots.clear();
    reserveWithHugePages(m_slots, size);
    m_slots.resize(size, Slot{0, Empty});
    m_mask = size - 1;
}

// Where the search for `key` starts. The multiplication spreads keys that differ only in
// a few bits (MACs of one vendor) over the whole table.
size_t RepeatedKeys::homeSlot(quint64 key) const
{
    return size_t((key * 0x9E3779B97F4A7C15ULL) >> 32) & m_mask;
}

// The slot holding `key`, or the empty one where it belongs.
size_t RepeatedKeys::slotFor(quint64 key) const
{
    size_t i = homeSlot(key);
    while (m_slots[i].value != Empty && m_slots[i].key != key)
        i = (i + 1) & m_mask;
    return i;
}

void RepeatedKeys::grow()
{
    const std::vector<Slot> old = std::exchange(m_slots, {});
    allocate(2 * old.size());
    for (const Slot &slot : old) {
        if (slot.value != Empty)
            m_slots[slotFor(slot.key)] = slot;
    }
}

void RepeatedKeys::add(quint64 key, qsizetype item)
{
    // The slot of this key is fetched from memory while the key before it goes in.
    vectorscan::prefetch(&m_slots[homeSlot(key)]);
    if (m_pending)
        insert(m_pending->key, m_pending->item);
    m_pending = Pending{key, item};
}

std::vector<RepeatedKeys::Group> RepeatedKeys::takeGroups()
{
    if (m_pending)
        insert(m_pending->key, m_pending->item);
    m_pending.reset();
    return std::move(m_groups);
}

void RepeatedKeys::insert(quint64 key, qsizetype item)
{
    Slot *slot = &m_slots[slotFor(key)];
    if (slot->value == Empty) {
        if (2 * (m_used + 1) > m_slots.size()) {
            grow();
            slot = &m_slots[slotFor(key)];
        }
        *slot = {key, qint64(item)};
        ++m_used;
    } else if (slot->value >= 0) {
        m_groups.push_back({key, {qsizetype(slot->value), item}});
        slot->value = GroupMark - qint64(m_groups.size() - 1);
    } else {
        m_groups[size_t(GroupMark - slot->value)].items.push_back(item);
    }
}

} // namespace kelto
