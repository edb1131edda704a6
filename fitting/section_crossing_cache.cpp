#include "fitting/section_crossing_cache.h"

#include <algorithm>
#include <new>

namespace
{
constexpr std::size_t kFirstSlotCount = 1024;
// Tables up to this many slots (1.5 MB) are kept for the next cut.
constexpr std::size_t kKeptSlotCount = std::size_t{1} << 16;
} // namespace

std::size_t cSectionCrossingCache::SlotOf(std::uint64_t key) const
{
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> m_slotShift);
    while (m_slots[slot].key != kFree && m_slots[slot].key != key)
        slot = (slot + 1) & mask;
    return slot;
}

void cSectionCrossingCache::Clear()
{
    m_count = 0;
    if (m_slots.size() > kKeptSlotCount)
    {
        std::vector<stSlot>().swap(m_slots);
        m_slotShift = 64;
    }
    else
        for (stSlot& s : m_slots)
            s.key = kFree;
}

const cSectionCrossingCache::stCrossing* cSectionCrossingCache::Find(std::uint64_t key) const
{
    if (m_count == 0)
        return nullptr;
    const stSlot& slot = m_slots[SlotOf(key)];
    return slot.key == key ? &slot.crossing : nullptr;
}

bool cSectionCrossingCache::Grow()
{
    const std::size_t count = m_slots.empty() ? kFirstSlotCount : m_slots.size() * 2;
    std::vector<stSlot> old;
    try
    {
        old.reserve(m_count);
        for (const stSlot& s : m_slots)
            if (s.key != kFree)
                old.push_back(s);
        std::vector<stSlot> slots(count, stSlot{kFree, {}});
        m_slots.swap(slots);
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    int shift = 64;
    for (std::size_t n = count; n > 1; n >>= 1)
        --shift;
    m_slotShift = shift;
    for (const stSlot& s : old)
        m_slots[SlotOf(s.key)] = s;
    return true;
}

void cSectionCrossingCache::Insert(std::uint64_t key, const float point[3], std::uint32_t index)
{
    if (2 * (m_count + 1) > m_slots.size() && !Grow())
        return;
    stSlot& slot = m_slots[SlotOf(key)];
    if (slot.key == key)
        return;
    slot.key = key;
    std::copy(point, point + 3, slot.crossing.point);
    slot.crossing.index = index;
    ++m_count;
}
