#include "core/vertex_merge_index.h"

#include <cmath>

namespace
{
constexpr std::uint32_t kEndOfCell = 0xFFFFFFFF;
// Cell numbers stay far inside the 64-bit range, so neighbours never wrap.
constexpr double kLargestCell = 1e18;
} // namespace

std::size_t cVertexMergeIndex::stCellHash::operator()(const stCell& c) const
{
    std::uint64_t h = static_cast<std::uint64_t>(c.x) * 0x9E3779B97F4A7C15ull;
    h ^= static_cast<std::uint64_t>(c.y) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
    h ^= static_cast<std::uint64_t>(c.z) * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
    return static_cast<std::size_t>(h ^ (h >> 29));
}

bool cVertexMergeIndex::CellOf(double coordinate, std::int64_t& cell) const
{
    const double q = std::floor(coordinate / m_cellWidth);
    if (!(std::fabs(q) < kLargestCell))
        return false;
    cell = static_cast<std::int64_t>(q);
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
    }
    stCell cell;
    if (!CellOf(vertex->x, cell.x) || !CellOf(vertex->y, cell.y) || !CellOf(vertex->z, cell.z))
        return false;
    const std::uint32_t entry = static_cast<std::uint32_t>(m_entries.size());
    auto [slot, inserted] = m_cells.try_emplace(cell, entry);
    m_entries.push_back({vertex, inserted ? kEndOfCell : slot->second});
    slot->second = entry;
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
        if (!CellOf(centre - tolerance, low[i]) || !CellOf(centre + tolerance, high[i]))
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
        for (std::int64_t y = low[1]; y <= high[1]; ++y)
            for (std::int64_t z = low[2]; z <= high[2]; ++z)
            {
                const auto found = m_cells.find(stCell{x, y, z});
                if (found == m_cells.end())
                    continue;
                for (std::uint32_t e = found->second; e != kEndOfCell; e = m_entries[e].next)
                    consider(m_entries[e].vertex);
            }
    return best;
}

void cVertexMergeIndex::Clear()
{
    m_cells.clear();
    m_entries.clear();
    m_cellWidth = 0.0;
}
