#include "shapes/section_vertex_search.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace
{

constexpr std::uint32_t kLeafSize = 8;

} // namespace

cSectionVertexSearch::cSectionVertexSearch(const tPolyline<cVertex>& section)
{
    m_points.reserve(section.vertices.size());
    std::int32_t i = 0;
    for (const cVertex& v : section.vertices)
    {
        // A vertex with a coordinate that is not finite is never nearer than
        // any other distance, so it can never be the answer.
        if (std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z))
            m_points.push_back({{double(v.x), double(v.y), double(v.z)}, i});
        ++i;
    }
    // Vertices at one position answer with their lowest index; keeping only
    // that one also keeps a pile of repeated vertices from slowing every
    // search near it.
    std::sort(m_points.begin(), m_points.end(), [](const stPoint& a, const stPoint& b) {
        if (a.x[0] != b.x[0])
            return a.x[0] < b.x[0];
        if (a.x[1] != b.x[1])
            return a.x[1] < b.x[1];
        if (a.x[2] != b.x[2])
            return a.x[2] < b.x[2];
        return a.index < b.index;
    });
    m_points.erase(std::unique(m_points.begin(), m_points.end(),
                               [](const stPoint& a, const stPoint& b) {
                                   return a.x[0] == b.x[0] && a.x[1] == b.x[1] && a.x[2] == b.x[2];
                               }),
                   m_points.end());
    if (!m_points.empty())
    {
        m_nodes.reserve(2 * m_points.size() / kLeafSize + 1);
        Build(0, static_cast<std::uint32_t>(m_points.size()));
    }
}

std::uint32_t cSectionVertexSearch::Build(std::uint32_t first, std::uint32_t last)
{
    const std::uint32_t at = static_cast<std::uint32_t>(m_nodes.size());
    m_nodes.push_back({first, last});
    if (last - first <= kLeafSize)
        return at;
    double low[3] = {DBL_MAX, DBL_MAX, DBL_MAX}, high[3] = {-DBL_MAX, -DBL_MAX, -DBL_MAX};
    for (std::uint32_t i = first; i < last; ++i)
        for (int k = 0; k < 3; ++k)
        {
            low[k] = std::min(low[k], m_points[i].x[k]);
            high[k] = std::max(high[k], m_points[i].x[k]);
        }
    int axis = 0;
    for (int k = 1; k < 3; ++k)
        if (high[k] - low[k] > high[axis] - low[axis])
            axis = k;
    const std::uint32_t middle = first + (last - first) / 2;
    std::nth_element(m_points.begin() + first, m_points.begin() + middle, m_points.begin() + last,
                     [axis](const stPoint& a, const stPoint& b) { return a.x[axis] < b.x[axis]; });
    // Points below the middle lie at or below the split, the others at or
    // above it, so the split plane bounds either side's distance.
    const double split = m_points[middle].x[axis];
    const std::uint32_t lower = Build(first, middle);
    const std::uint32_t upper = Build(middle, last);
    stNode& node = m_nodes[at];
    node.axis = axis;
    node.split = split;
    node.lower = lower;
    node.upper = upper;
    return at;
}

void cSectionVertexSearch::Search(std::uint32_t at, const double q[3], double& best, std::int32_t& found) const
{
    const stNode& node = m_nodes[at];
    if (node.lower == 0)
    {
        for (std::uint32_t i = node.first; i < node.last; ++i)
        {
            const stPoint& p = m_points[i];
            const double dx = p.x[0] - q[0], dy = p.x[1] - q[1], dz = p.x[2] - q[2];
            const double d2 = dx * dx + dy * dy + dz * dz;
            if (d2 < best || (d2 == best && p.index < found))
            {
                best = d2;
                found = p.index;
            }
        }
        return;
    }
    const double offset = q[node.axis] - node.split;
    const bool below = offset < 0.0;
    Search(below ? node.lower : node.upper, q, best, found);
    // Equally near vertices on the far side may still have a lower index.
    if (offset * offset <= best)
        Search(below ? node.upper : node.lower, q, best, found);
}

std::int32_t cSectionVertexSearch::Nearest(const float p[3]) const
{
    if (m_nodes.empty() || !std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
        return -1;
    const double q[3] = {double(p[0]), double(p[1]), double(p[2])};
    double best = DBL_MAX;
    std::int32_t found = -1;
    Search(0, q, best, found);
    return found;
}
