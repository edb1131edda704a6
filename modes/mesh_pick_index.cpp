#include "modes/mesh_pick_index.h"

#include "core/mesh.h"
#include "core/thread_pool.h"
#include "modes/mode_support.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace
{

// Triangles handed to one job of the pool.
constexpr std::uint32_t kTrianglesPerJob = 1u << 16;

// Spreads the low 10 bits of v to every third bit.
std::uint32_t Spread(std::uint32_t v)
{
    v &= 0x3FF;
    v = (v | v << 16) & 0x030000FF;
    v = (v | v << 8) & 0x0300F00F;
    v = (v | v << 4) & 0x030C30C3;
    v = (v | v << 2) & 0x09249249;
    return v;
}

struct Grow
{
    float min[3] = {FLT_MAX, FLT_MAX, FLT_MAX};
    float max[3] = {-FLT_MAX, -FLT_MAX, -FLT_MAX};
    void Add(const float p[3])
    {
        for (int k = 0; k < 3; ++k)
        {
            min[k] = std::min(min[k], p[k]);
            max[k] = std::max(max[k], p[k]);
        }
    }
    void Add(const float lo[3], const float hi[3])
    {
        Add(lo);
        Add(hi);
    }
};

// Whether the view-plane projection of a box, grown by a margin that covers
// the scan's barycentric tolerance and its rounding, holds (x, y); if so,
// *nearest receives a depth no point of the box exceeds (grown likewise).
bool ProjectionHolds(const float lo[3], const float hi[3], double x, double y, const double m[12],
                     const float centre[3], double* nearest)
{
    if (lo[0] > hi[0])
        return false; // empty
    double mid[3], half[3];
    // Float positions round by a few parts in 1e8 of their size: hit
    // points and depths computed from them may stray that far from the box.
    double size = 0.0;
    for (int k = 0; k < 3; ++k)
    {
        mid[k] = 0.5 * (double(lo[k]) + hi[k]) - centre[k];
        half[k] = 0.5 * (double(hi[k]) - lo[k]);
        size = std::max({size, std::fabs(double(lo[k])), std::fabs(double(hi[k])), std::fabs(double(centre[k]))});
    }
    for (int r = 0; r < 3; ++r)
    {
        const double* row = m + 4 * r;
        const double c = row[0] * mid[0] + row[1] * mid[1] + row[2] * mid[2] + row[3];
        const double e = std::fabs(row[0]) * half[0] + std::fabs(row[1]) * half[1] + std::fabs(row[2]) * half[2];
        const double margin = 1e-2 * e + 1e-5 * (std::fabs(c) + e) + 1e-6 * size + 1e-30;
        if (r == 2)
        {
            *nearest = c + e + margin;
            break;
        }
        const double q = r == 0 ? x : y;
        if (q < c - e - margin || q > c + e + margin)
            return false;
    }
    return true;
}

// Sorts entries (Morton code above, triangle number below) as std::sort
// would: they come in triangle order, so a stable sort by the code alone
// (least significant digits first, 11 bits a pass) gives the same order.
void SortByCode(std::vector<std::uint64_t>& keyed)
{
    constexpr int kDigitBits = 11;
    constexpr std::size_t kDigits = std::size_t{1} << kDigitBits;
    std::vector<std::uint64_t> other(keyed.size());
    std::vector<std::size_t> offset(kDigits + 1);
    for (int shift = 32; shift < 64; shift += kDigitBits)
    {
        std::fill(offset.begin(), offset.end(), 0);
        for (const std::uint64_t entry : keyed)
            ++offset[((entry >> shift) & (kDigits - 1)) + 1];
        if (std::find(offset.begin() + 1, offset.end(), keyed.size()) != offset.end())
            continue; // every entry has the same digit here
        for (std::size_t d = 0; d < kDigits; ++d)
            offset[d + 1] += offset[d];
        for (const std::uint64_t entry : keyed)
            other[offset[(entry >> shift) & (kDigits - 1)]++] = entry;
        keyed.swap(other);
    }
}

} // namespace

void cMeshPickIndex::Clear()
{
    m_mesh = nullptr;
    m_triangleCount = m_vertexCount = 0;
    m_order.clear();
    m_order.shrink_to_fit();
    m_levels.clear();
}

bool cMeshPickIndex::IsBuiltFor(const cMesh& mesh) const
{
    return m_mesh == &mesh && m_triangleCount == mesh.GetTriangleCount() && m_vertexCount == mesh.GetVertexCount();
}

std::size_t cMeshPickIndex::GetMemoryBytes() const
{
    std::size_t bytes = m_order.capacity() * sizeof(std::uint32_t);
    for (const auto& level : m_levels)
        bytes += level.capacity() * sizeof(Box);
    return bytes;
}

void cMeshPickIndex::Build(const cMesh& mesh)
{
    Clear();
    const std::uint32_t count = mesh.GetTriangleCount();
    const std::uint32_t vertexCount = mesh.GetVertexCount();
    // Centres and the box they span; triangles with a bad corner are left
    // out, as the scan skips them.
    std::vector<float> centres(std::size_t(count) * 3);
    std::vector<std::uint8_t> usable(count, 0);
    struct stCentres
    {
        const cMesh* mesh;
        std::uint32_t count, vertexCount;
        float* centres;
        std::uint8_t* usable;
    } centreJob{&mesh, count, vertexCount, centres.data(), usable.data()};
    const std::uint32_t centreJobs = (count + kTrianglesPerJob - 1) / kTrianglesPerJob;
    ParallelFor(
        SharedThreadPool(), centreJobs,
        [](void* context, std::uint32_t job) {
            const auto& c = *static_cast<stCentres*>(context);
            const std::uint32_t end = std::min(c.count, (job + 1) * kTrianglesPerJob);
            for (std::uint32_t i = job * kTrianglesPerJob; i < end; ++i)
            {
                const cMeshTriangle* t = c.mesh->GetTriangle(i);
                if (t->vertexIndex[0] >= c.vertexCount || t->vertexIndex[1] >= c.vertexCount ||
                    t->vertexIndex[2] >= c.vertexCount)
                    continue;
                float* centre = c.centres + std::size_t(i) * 3;
                centre[0] = centre[1] = centre[2] = 0.0f;
                for (std::uint32_t index : t->vertexIndex)
                {
                    const cVertex* v = c.mesh->GetVertex(index);
                    centre[0] += v->x / 3.0f, centre[1] += v->y / 3.0f, centre[2] += v->z / 3.0f;
                }
                c.usable[i] = 1;
            }
        },
        &centreJob);
    std::vector<std::uint64_t> keyed;
    keyed.reserve(count);
    Grow all;
    for (std::uint32_t i = 0; i < count; ++i)
        if (usable[i])
        {
            all.Add(&centres[std::size_t(i) * 3]);
            keyed.push_back(i);
        }
    usable.clear();
    usable.shrink_to_fit();
    float scale[3];
    for (int k = 0; k < 3; ++k)
    {
        const float extent = all.max[k] - all.min[k];
        scale[k] = extent > 0.0f && std::isfinite(extent) ? 1023.0f / extent : 0.0f;
    }
    for (std::uint64_t& entry : keyed)
    {
        const float* c = &centres[std::size_t(entry) * 3];
        std::uint32_t q[3];
        for (int k = 0; k < 3; ++k)
        {
            const float f = (c[k] - all.min[k]) * scale[k];
            q[k] = f >= 0.0f && f <= 1023.0f ? std::uint32_t(f) : 0u;
        }
        const std::uint64_t code = Spread(q[0]) | Spread(q[1]) << 1 | Spread(q[2]) << 2;
        entry |= code << 32;
    }
    centres.clear();
    centres.shrink_to_fit();
    SortByCode(keyed);

    m_order.resize(keyed.size());
    for (std::size_t i = 0; i < keyed.size(); ++i)
        m_order[i] = std::uint32_t(keyed[i]);
    keyed.clear();
    keyed.shrink_to_fit();

    const std::size_t groups = (m_order.size() + kGroupSize - 1) / kGroupSize;
    std::vector<Box> level(groups);
    struct stGroups
    {
        const cMesh* mesh;
        const std::vector<std::uint32_t>* order;
        Box* boxes;
        std::size_t groups;
    } groupJob{&mesh, &m_order, level.data(), groups};
    constexpr std::size_t kGroupsPerJob = kTrianglesPerJob / kGroupSize;
    ParallelFor(
        SharedThreadPool(), std::uint32_t((groups + kGroupsPerJob - 1) / kGroupsPerJob),
        [](void* context, std::uint32_t job) {
            const auto& c = *static_cast<stGroups*>(context);
            const std::vector<std::uint32_t>& order = *c.order;
            for (std::size_t g = job * kGroupsPerJob; g < std::min(c.groups, (job + 1) * kGroupsPerJob); ++g)
            {
                Grow box;
                const std::size_t end = std::min(order.size(), (g + 1) * kGroupSize);
                for (std::size_t i = g * kGroupSize; i < end; ++i)
                    for (std::uint32_t index : c.mesh->GetTriangle(order[i])->vertexIndex)
                        box.Add(c.mesh->GetVertex(index)->Position());
                c.boxes[g] = Box{{box.min[0], box.min[1], box.min[2]}, {box.max[0], box.max[1], box.max[2]}};
            }
        },
        &groupJob);
    m_levels.push_back(std::move(level));
    while (m_levels.back().size() > kFanout)
    {
        const std::vector<Box>& below = m_levels.back();
        std::vector<Box> above((below.size() + kFanout - 1) / kFanout);
        for (std::size_t b = 0; b < above.size(); ++b)
        {
            Grow box;
            const std::size_t end = std::min(below.size(), (b + 1) * kFanout);
            for (std::size_t k = b * kFanout; k < end; ++k)
                box.Add(below[k].min, below[k].max);
            above[b] = Box{{box.min[0], box.min[1], box.min[2]}, {box.max[0], box.max[1], box.max[2]}};
        }
        m_levels.push_back(std::move(above));
    }
    m_mesh = &mesh;
    m_triangleCount = count;
    m_vertexCount = vertexCount;
}

cVertex cMeshPickIndex::Pick(const cMesh& mesh, float x, float y, const double m[12], const float centre[3],
                             const cMeshTriangle** hitTriangle) const
{
    if (!IsBuiltFor(mesh))
        return PickMeshPointUnderCursor(mesh, x, y, m, centre, hitTriangle);
    cVertex result;
    result.x = FLT_MAX;
    result.flags = kPickedNothing;
    double bestDepth = -FLT_MAX;
    std::uint32_t bestIndex = 0xFFFFFFFFu;
    const cMeshTriangle* best = nullptr;
    // Depth-first over the boxes, the children nearest to the viewer first;
    // a box that lies wholly behind the best hit so far cannot hold a hit
    // the scan would keep (equal depths are still visited, for the tie).
    struct Entry
    {
        std::uint32_t level;
        std::size_t index;
        double nearest;
    };
    std::vector<Entry> stack;
    Entry children[kFanout];
    auto pushHolding = [&](std::uint32_t level, std::size_t first, std::size_t end)
    {
        std::size_t n = 0;
        for (std::size_t k = first; k < end; ++k)
        {
            const Box& box = m_levels[level][k];
            double nearest = 0.0;
            if (ProjectionHolds(box.min, box.max, x, y, m, centre, &nearest))
                children[n++] = Entry{level, k, nearest};
        }
        // The nearest child is popped first.
        std::sort(children, children + n, [](const Entry& a, const Entry& b) { return a.nearest < b.nearest; });
        stack.insert(stack.end(), children, children + n);
    };
    if (!m_levels.empty())
        pushHolding(std::uint32_t(m_levels.size() - 1), 0, m_levels.back().size());
    while (!stack.empty())
    {
        const Entry e = stack.back();
        stack.pop_back();
        if (best && e.nearest < bestDepth)
            continue;
        if (e.level > 0)
        {
            pushHolding(e.level - 1, e.index * kFanout,
                        std::min(m_levels[e.level - 1].size(), (e.index + 1) * kFanout));
            continue;
        }
        const std::size_t g = e.index;
        const std::size_t end = std::min(m_order.size(), (g + 1) * kGroupSize);
        for (std::size_t k = g * kGroupSize; k < end; ++k)
        {
            const std::uint32_t i = m_order[k];
            const cMeshTriangle* t = mesh.GetTriangle(i);
            float p[3];
            double depth = 0.0;
            if (!PickTrianglePoint(mesh, *t, x, y, m, centre, p, &depth))
                continue;
            // The scan in index order keeps the first of equal depths.
            if (depth > bestDepth || (depth == bestDepth && best && i < bestIndex))
            {
                bestDepth = depth;
                bestIndex = i;
                best = t;
                SetPickedPoint(result, mesh, *t, p);
            }
        }
    }
    if (best && hitTriangle)
        *hitTriangle = best;
    return result;
}
