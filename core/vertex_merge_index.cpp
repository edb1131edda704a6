#include "core/vertex_merge_index.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace
{
constexpr std::uint32_t kEndOfCell = 0xFFFFFFFF;
// Cell numbers stay far inside the 64-bit range, so neighbours never wrap.
constexpr double kLargestCell = 1e18;
constexpr std::size_t kFirstSlotCount = 1024;
// Tables up to this many slots (a cut's few thousand crossing points) survive
// Clear for the next filling; larger ones are freed.
constexpr std::size_t kKeptSlotCount = std::size_t{1} << 15;
constexpr std::size_t kKeptCellCount = kKeptSlotCount / 4;
// Searches mostly probe empty cells: a quarter-full table answers those after
// one or two slots. Past this many cells (large imports) the table is let
// fill to half, which bounds its memory at 16 bytes a cell.
constexpr std::size_t kSparseCellCount = std::size_t{1} << 20;

// Slots wanted for this many cells.
std::size_t SlotsFor(std::size_t cells)
{
    return cells < kSparseCellCount ? 4 * cells : 2 * cells;
}

constexpr std::uint64_t kHashX = 0x9E3779B97F4A7C15ull;
constexpr std::uint64_t kHashY = 0xC2B2AE3D27D4EB4Full;
constexpr std::uint64_t kHashZ = 0x165667B19E3779F9ull;

// Each axis is multiplied on its own, so that a search combines the eight
// cells of its box from six products.
std::uint64_t CombineHash(std::uint64_t hx, std::uint64_t hy, std::uint64_t hz)
{
    const std::uint64_t h = hx ^ hy ^ hz;
    return (h ^ (h >> 31)) * kHashX;
}

std::uint64_t HashCell(std::int64_t x, std::int64_t y, std::int64_t z)
{
    return CombineHash(static_cast<std::uint64_t>(x) * kHashX, static_cast<std::uint64_t>(y) * kHashY,
                       static_cast<std::uint64_t>(z) * kHashZ);
}

// Never 0, which marks a free slot.
std::uint32_t TagOf(std::uint64_t hash)
{
    return static_cast<std::uint32_t>(hash) | 1u;
}

// floor(q) as a cell number; false when it lies too far out (or q is NaN).
// Past 2^53 every double is a whole number, so the limit may be tested on q.
bool FloorCell(double q, std::int64_t& cell)
{
    if (!(std::fabs(q) < kLargestCell))
        return false;
    std::int64_t c = static_cast<std::int64_t>(q); // toward zero
    if (static_cast<double>(c) > q)
        --c;
    cell = c;
    return true;
}
} // namespace

bool cVertexMergeIndex::CellOfPoint(const float p[3], float tolerance, std::int64_t cell[3])
{
    if (!(tolerance > 0.0f) || !std::isfinite(tolerance))
        return false;
    // As Insert sets the cell width and CellOf rounds.
    const double inverse = 1.0 / (2.0 * static_cast<double>(tolerance));
    for (int i = 0; i < 3; ++i)
        if (!FloorCell(static_cast<double>(p[i]) * inverse, cell[i]))
            return false;
    return true;
}

bool cVertexMergeIndex::CellOf(double coordinate, std::int64_t& cell) const
{
    // Multiplying by the inverse rounds monotonically like the division it
    // replaces, and both the insertion and the search use it, so a point's
    // cell always lies between the cells of its box's bounds.
    return FloorCell(coordinate * m_inverseCellWidth, cell);
}

inline std::size_t cVertexMergeIndex::Probe(const stCell& cell, std::uint64_t hash) const
{
    const std::size_t mask = m_slots.size() - 1;
    const std::uint32_t tag = TagOf(hash);
    std::size_t slot = static_cast<std::size_t>(hash >> m_slotShift);
    for (;;)
    {
        const stSlot s = m_slots[slot];
        if (s.tag == 0 || (s.tag == tag && m_cells[s.cell].cell == cell))
            return slot;
        slot = (slot + 1) & mask;
    }
}

bool cVertexMergeIndex::Grow()
{
    std::size_t count = m_slots.empty() ? kFirstSlotCount : m_slots.size() * 2;
    while (count < SlotsFor(m_cells.size() + 1))
        count *= 2;
    try
    {
        std::vector<stSlot> slots(count, stSlot{0, 0});
        m_slots.swap(slots);
    }
    catch (const std::bad_alloc&)
    {
        return false; // the old table stays as it was
    }
    int shift = 64;
    for (std::size_t n = count; n > 1; n >>= 1)
        --shift;
    m_slotShift = shift;
    for (std::uint32_t i = 0; i < m_cells.size(); ++i)
    {
        const stCell& cell = m_cells[i].cell;
        const std::uint64_t hash = HashCell(cell.x, cell.y, cell.z);
        m_slots[Probe(cell, hash)] = stSlot{TagOf(hash), i};
    }
    return true;
}

bool cVertexMergeIndex::Insert(const cVertex* vertex, float tolerance)
{
    if (m_entries.empty())
    {
        if (!(tolerance > 0.0f) || !std::isfinite(tolerance))
            return false;
        // Twice the tolerance: the box of a later search then spans two cells
        // on each axis (eight lookups) instead of three (twenty-seven).
        m_cellWidth = 2.0 * static_cast<double>(tolerance);
        m_inverseCellWidth = 1.0 / m_cellWidth;
    }
    stCell cell;
    if (!CellOf(vertex->x, cell.x) || !CellOf(vertex->y, cell.y) || !CellOf(vertex->z, cell.z))
        return false;
    if (SlotsFor(m_cells.size() + 1) > m_slots.size() && !Grow())
        return false;
    const std::uint32_t entry = static_cast<std::uint32_t>(m_entries.size());
    const std::uint64_t hash = HashCell(cell.x, cell.y, cell.z);
    const std::size_t index = Probe(cell, hash);
    try
    {
        if (m_entries.size() == m_entries.capacity())
            m_entries.reserve(std::max<std::size_t>(64, 2 * m_entries.capacity()));
        if (m_slots[index].tag == 0)
            m_cells.push_back({cell, kEndOfCell});
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    stSlot& slot = m_slots[index];
    if (slot.tag == 0)
        slot = stSlot{TagOf(hash), static_cast<std::uint32_t>(m_cells.size() - 1)};
    stCellRecord& record = m_cells[slot.cell];
    m_entries.push_back({vertex, record.first});
    record.first = entry;
    return true;
}

const cVertex* cVertexMergeIndex::Find(const float p[3], float tolerance) const
{
    if (m_entries.empty() || !(tolerance > 0.0f))
        return nullptr;
    std::int64_t low[3];
    std::int64_t high[3];
    for (int i = 0; i < 3; ++i)
    {
        // Every point that passes the float box test below lies strictly
        // between p - tolerance and p + tolerance; rounding both bounds in
        // double (monotonic) keeps its cell inside this range.
        const double centre = p[i];
        if (!FloorCell((centre - tolerance) * m_inverseCellWidth, low[i]) ||
            !FloorCell((centre + tolerance) * m_inverseCellWidth, high[i]))
            return nullptr;
    }

    const cVertex* best = nullptr;
    auto consider = [&best, p, tolerance](const cVertex* v)
    {
        if (std::fabs(v->x - p[0]) < tolerance && std::fabs(v->y - p[1]) < tolerance &&
            std::fabs(v->z - p[2]) < tolerance && (best == nullptr || v->index < best->index))
            best = v;
    };

    // A tolerance much wider than the cells would mean very many cells; then
    // looking at every entry is cheaper.
    const double cellsInBox = static_cast<double>(high[0] - low[0] + 1) *
                              static_cast<double>(high[1] - low[1] + 1) *
                              static_cast<double>(high[2] - low[2] + 1);
    if (cellsInBox > static_cast<double>(m_cells.size()))
    {
        for (const stEntry& entry : m_entries)
            consider(entry.vertex);
        return best;
    }
    for (std::int64_t x = low[0]; x <= high[0]; ++x)
    {
        const std::uint64_t hx = static_cast<std::uint64_t>(x) * kHashX;
        for (std::int64_t y = low[1]; y <= high[1]; ++y)
        {
            const std::uint64_t hy = static_cast<std::uint64_t>(y) * kHashY;
            for (std::int64_t z = low[2]; z <= high[2]; ++z)
            {
                const stCell cell{x, y, z};
                const std::uint64_t hash = CombineHash(hx, hy, static_cast<std::uint64_t>(z) * kHashZ);
                const stSlot& slot = m_slots[Probe(cell, hash)];
                if (slot.tag == 0)
                    continue;
                for (std::uint32_t e = m_cells[slot.cell].first; e != kEndOfCell; e = m_entries[e].next)
                    consider(m_entries[e].vertex);
            }
        }
    }
    return best;
}

void cVertexMergeIndex::Clear()
{
    m_cellWidth = 0.0;
    m_inverseCellWidth = 0.0;
    if (m_slots.size() > kKeptSlotCount)
    {
        std::vector<stSlot>().swap(m_slots);
        std::vector<stCellRecord>().swap(m_cells);
        std::vector<stEntry>().swap(m_entries);
        m_slotShift = 64;
        return;
    }
    std::fill(m_slots.begin(), m_slots.end(), stSlot{0, 0});
    m_cells.clear();
    if (m_entries.capacity() > 4 * kKeptCellCount)
        std::vector<stEntry>().swap(m_entries);
    else
        m_entries.clear();
}
