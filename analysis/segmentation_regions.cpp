#include "analysis/segmentation_regions.h"

#include "analysis/segmentation.h"

#include <atomic>
#include <cfloat>
#include <cmath>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace
{

// Disjoint sets of triangle indices joined from several threads at once.
// A join always hangs the later root under the earlier one, so every set's
// root is its first triangle, whichever joins came first.
class cTriangleSets
{
public:
    explicit cTriangleSets(std::uint32_t count) : m_parent(count) {}

    void Reset(std::uint32_t i) { m_parent[i].store(i, std::memory_order_relaxed); }

    std::uint32_t Find(std::uint32_t x)
    {
        for (;;)
        {
            std::uint32_t parent = m_parent[x].load(std::memory_order_relaxed);
            if (parent == x)
                return x;
            const std::uint32_t grand = m_parent[parent].load(std::memory_order_relaxed);
            // Halving the path only ever points a triangle at an ancestor.
            if (grand != parent)
                m_parent[x].compare_exchange_weak(parent, grand, std::memory_order_relaxed);
            x = grand;
        }
    }

    void Join(std::uint32_t a, std::uint32_t b)
    {
        for (;;)
        {
            a = Find(a);
            b = Find(b);
            if (a == b)
                return;
            if (a < b)
                std::swap(a, b);
            std::uint32_t expected = a;
            if (m_parent[a].compare_exchange_strong(expected, b, std::memory_order_relaxed))
                return;
        }
    }

    // After the joins: the root, stored for the next reader.
    std::uint32_t Settle(std::uint32_t i)
    {
        const std::uint32_t root = Find(i);
        m_parent[i].store(root, std::memory_order_relaxed);
        return root;
    }

    std::uint32_t Root(std::uint32_t i) const { return m_parent[i].load(std::memory_order_relaxed); }

private:
    std::vector<std::atomic<std::uint32_t>> m_parent;
};

double AreaOf(const cMesh& mesh, const cMeshTriangle& t)
{
    const cVertex* corners[3];
    if (!mesh.GetCorners(t, corners))
        return 0.0;
    return TriangleArea(corners[0]->Position(), corners[1]->Position(), corners[2]->Position());
}

// The regions of one class: linked triangles of the class joined, every
// triangle settled on its region's first triangle. Null where the links are
// not symmetric (a walk over them depends on where it starts) or memory runs
// out.
std::unique_ptr<cTriangleSets> JoinRegions(cMesh& mesh, bool selectedClass)
{
    const std::uint32_t count = mesh.GetTriangleCount();
    std::vector<std::uint32_t> colours;
    std::unique_ptr<cTriangleSets> sets;
    try
    {
        colours.resize(count);
        sets = std::make_unique<cTriangleSets>(count);
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
    const auto ofClass = [selectedClass](const cMeshTriangle& t) { return IsVisibleSelected(t) == selectedClass; };

    // A link is a record pointer: while the regions are joined, each
    // triangle's colour word holds its index.
    ForEachBlockOnPool(count, [&](std::uint32_t begin, std::uint32_t end) {
        for (std::uint32_t i = begin; i < end; ++i)
        {
            cMeshTriangle& t = *mesh.GetTriangle(i);
            colours[i] = t.colour;
            t.colour = i;
            sets->Reset(i);
        }
    });
    std::atomic<bool> symmetric{true};
    ForEachBlockOnPool(count, [&](std::uint32_t begin, std::uint32_t end) {
        for (std::uint32_t i = begin; i < end; ++i)
        {
            const cMeshTriangle& t = *mesh.GetTriangle(i);
            if (!ofClass(t))
                continue;
            for (int k = 0; k < 3; ++k)
            {
                const cMeshTriangle* n = t.neighbour[k];
                if (n == nullptr)
                    continue;
                const std::uint32_t j = n->colour;
                const std::uint8_t edge = t.neighbourEdge[k];
                if (j >= count || mesh.GetTriangle(j) != n || edge > 2 || n->neighbour[edge] != &t)
                {
                    symmetric.store(false, std::memory_order_relaxed);
                    continue;
                }
                if (j > i && ofClass(*n))
                    sets->Join(i, j);
            }
        }
    });
    ForEachBlockOnPool(count, [&](std::uint32_t begin, std::uint32_t end) {
        for (std::uint32_t i = begin; i < end; ++i)
            mesh.GetTriangle(i)->colour = colours[i];
    });
    if (!symmetric.load())
        return nullptr;
    ForEachBlockOnPool(count, [&](std::uint32_t begin, std::uint32_t end) {
        for (std::uint32_t i = begin; i < end; ++i)
            sets->Settle(i);
    });
    return sets;
}

} // namespace

bool FlipSmallRegionsOnPool(cMesh& mesh, double limit, bool selectedClass)
{
    const std::uint32_t count = mesh.GetTriangleCount();
    std::vector<double> area;
    std::vector<std::uint8_t> flip;
    try
    {
        area.resize(count);
        flip.resize(count);
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    const std::unique_ptr<cTriangleSets> sets = JoinRegions(mesh, selectedClass);
    if (sets == nullptr)
        return false;
    const auto ofClass = [selectedClass](const cMeshTriangle& t) { return IsVisibleSelected(t) == selectedClass; };
    ForEachBlockOnPool(count, [&](std::uint32_t begin, std::uint32_t end) {
        for (std::uint32_t i = begin; i < end; ++i)
        {
            const cMeshTriangle& t = *mesh.GetTriangle(i);
            area[i] = ofClass(t) ? AreaOf(mesh, t) : 0.0;
        }
    });
    // Each region's area, added up at its first triangle in triangle order.
    for (std::uint32_t i = 0; i < count; ++i)
        if (const std::uint32_t root = sets->Root(i); root != i)
            area[root] += area[i];

    // Sums of the same n non-negative terms in two orders differ by less
    // than 2 n DBL_EPSILON times either; past that margin the comparison
    // with the limit is the same in any order.
    const double margin = 2.0 * double(count) * DBL_EPSILON;
    std::vector<std::vector<std::uint32_t>> nearLimit((std::size_t{count} + kPoolBlock - 1) / kPoolBlock);
    ForEachBlockOnPool(count, [&](std::uint32_t begin, std::uint32_t end) {
        for (std::uint32_t i = begin; i < end; ++i)
        {
            flip[i] = 0;
            if (sets->Root(i) != i || !ofClass(*mesh.GetTriangle(i)))
                continue;
            const double sum = area[i];
            if (std::isfinite(sum) && std::fabs(sum - limit) > margin * sum)
                flip[i] = limit >= sum;
            else
                nearLimit[begin / kPoolBlock].push_back(i);
        }
    });
    for (const std::vector<std::uint32_t>& roots : nearLimit)
        for (const std::uint32_t root : roots)
        {
            double walked = 0.0;
            MeasureTriangleRegion(mesh, mesh.GetTriangle(root), &walked);
            flip[root] = limit >= walked;
        }

    ForEachBlockOnPool(count, [&](std::uint32_t begin, std::uint32_t end) {
        for (std::uint32_t i = begin; i < end; ++i)
        {
            cMeshTriangle& t = *mesh.GetTriangle(i);
            if (!ofClass(t) || !flip[sets->Root(i)])
                continue;
            if (selectedClass)
                t.flags &= static_cast<std::uint8_t>(~kTriangleFlagSelected);
            else
                t.flags |= kTriangleFlagSelected;
        }
    });
    return true;
}

bool LabelRegionsOnPool(cMesh& mesh, std::uint32_t& labels)
{
    const std::uint32_t count = mesh.GetTriangleCount();
    // A hidden triangle starts a region but is not reached from one: where
    // there are any, the regions depend on the order of the walks.
    std::atomic<bool> hidden{false};
    ForEachBlockOnPool(count, [&](std::uint32_t begin, std::uint32_t end) {
        for (std::uint32_t i = begin; i < end; ++i)
            if ((mesh.GetTriangle(i)->flags & kTriangleFlagHidden) != 0)
                hidden.store(true, std::memory_order_relaxed);
    });
    if (hidden.load())
        return false;
    const std::unique_ptr<cTriangleSets> sets = JoinRegions(mesh, false);
    if (sets == nullptr)
        return false;
    // Labels in the order of the regions' first triangles, as the walks
    // hand them out.
    const auto isFirst = [&](std::uint32_t i) { return sets->Root(i) == i && !IsVisibleSelected(*mesh.GetTriangle(i)); };
    std::uint32_t regions = 0;
    for (std::uint32_t i = 0; i < count; ++i)
        regions += isFirst(i);
    if (regions >= kTriangleUnlabelled)
        return false; // more regions than labels: left to the walks' own way with them
    std::uint32_t next = 0;
    cMeshTriangle* last = nullptr;
    for (std::uint32_t i = 0; i < count; ++i)
        if (isFirst(i))
        {
            last = mesh.GetTriangle(i);
            last->SetLabel(next++);
        }
    ForEachBlockOnPool(count, [&](std::uint32_t begin, std::uint32_t end) {
        for (std::uint32_t i = begin; i < end; ++i)
        {
            cMeshTriangle* t = mesh.GetTriangle(i);
            if (const std::uint32_t root = sets->Root(i); root != i && !IsVisibleSelected(*t))
                t->SetLabel(mesh.GetTriangle(root)->GetLabel());
        }
    });
    // The last region's walk raises the mesh's highest label; from a
    // labelled region it reaches nothing more.
    if (last != nullptr)
        mesh.LabelConnectedTriangles(last, kTriangleFlagSelected);
    labels = next;
    return true;
}
