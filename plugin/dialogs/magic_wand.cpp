#include "plugin/dialogs/magic_wand.h"

#include "core/mesh.h"
#include "core/thread_pool.h"
#include "modes/surface_extension_mode.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <vector>

namespace
{

constexpr double kPi = 3.14159265358979323846;
constexpr std::uint8_t kPending = kTriangleFlagScratch;

void SetVertexMarks(cMesh& mesh, const cMeshTriangle& t, bool on)
{
    const std::uint32_t count = mesh.GetVertexCount();
    for (std::uint32_t v : t.vertexIndex)
        if (v < count)
        {
            if (on)
                mesh.GetVertex(v)->flags |= 2u;
            else
                mesh.GetVertex(v)->flags &= ~std::uint32_t(2);
        }
}

// f(triangle) for every triangle, a block of them per job of the shared
// pool (a big scan's 10M triangles took tens of milliseconds a pass on one
// thread); f touches its own triangle's record only.
template <class F> void ForEachTriangleOnPool(cMesh& mesh, F&& f)
{
    constexpr std::size_t kBlock = std::size_t{1} << 16;
    const std::uint32_t count = mesh.GetTriangleCount();
    auto each = [&](std::size_t block)
    {
        const std::size_t end = std::min<std::size_t>(count, (block + 1) * kBlock);
        for (std::size_t i = block * kBlock; i < end; ++i)
            f(*mesh.GetTriangle(std::uint32_t(i)));
    };
    ParallelForEach(SharedThreadPool(), (std::size_t{count} + kBlock - 1) / kBlock, 1, each);
}

} // namespace

float ClampCreaseAngle(double degrees)
{
    if (std::isnan(degrees))
        return kDefaultCreaseAngle;
    return float(std::clamp(degrees, 0.0, double(kMaxCreaseAngle)));
}

int CreaseAngleToSlider(double degrees)
{
    const double clamped = ClampCreaseAngle(degrees);
    return std::clamp(int(clamped * 12.5), 0, kCreaseSliderMax);
}

float SliderToCreaseAngle(int position)
{
    position = std::clamp(position, 0, kCreaseSliderMax);
    return float(position) * kMaxCreaseAngle / float(kCreaseSliderMax);
}

bool MeshHoldsTriangle(cMesh& mesh, const cMeshTriangle* triangle)
{
    const std::uint32_t count = mesh.GetTriangleCount();
    for (std::uint32_t first = 0; first < count; first += kArrayChunkSize)
    {
        const cMeshTriangle* chunk = mesh.GetTriangleArray().GetChunk(first >> kArrayChunkShift);
        if (triangle >= chunk && triangle < chunk + std::min(kArrayChunkSize, count - first))
            return true;
    }
    return false;
}

std::uint32_t GrowMagicWandSelection(cMesh& mesh, cMeshTriangle* seed, double creaseDegrees)
{
    if (!seed || (seed->flags & kTriangleFlagHidden))
        return 0;
    const double limit = std::cos(double(ClampCreaseAngle(creaseDegrees)) * kPi / 180.0);
    const bool select = (seed->flags & kTriangleFlagSelected) != 0;
    ForEachTriangleOnPool(mesh, [](cMeshTriangle& t) { t.flags |= kPending; });
    std::vector<cMeshTriangle*> stack;
    stack.reserve(1024);
    stack.push_back(seed);
    seed->flags &= std::uint8_t(~kPending);
    std::uint32_t reached = 0;
    while (!stack.empty())
    {
        cMeshTriangle* t = stack.back();
        stack.pop_back();
        ++reached;
        // A grown selection's corners are marked on the pool afterwards,
        // where the reached triangles are the ones no longer pending.
        if (select)
            t->flags |= kTriangleFlagSelected;
        else
        {
            t->flags &= std::uint8_t(~kTriangleFlagSelected);
            SetVertexMarks(mesh, *t, false);
        }
        const double n[3] = {t->nx, t->ny, t->nz};
        for (cMeshTriangle* next : t->neighbour)
        {
            // Hidden triangles are never entered, so a hidden region keeps
            // its state and its vertices keep meaning what they meant.
            if (!next || !(next->flags & kPending) || (next->flags & kTriangleFlagHidden))
                continue;
            if (n[0] * double(next->nx) + n[1] * double(next->ny) + n[2] * double(next->nz) > limit)
            {
                next->flags &= std::uint8_t(~kPending);
                stack.push_back(next);
            }
        }
    }
    // No pending mark outlives the fill; a grown selection's corners are
    // marked, and a deselected region's border vertices that still belong
    // to selected triangles keep their mark.
    const std::uint32_t vertexCount = mesh.GetVertexCount();
    // Corners are shared between the jobs' triangles: their marks are set
    // atomically.
    const auto clear = [&](cMeshTriangle& t)
    {
        const bool reached = (t.flags & kPending) == 0;
        t.flags &= std::uint8_t(~kPending);
        if (select ? !reached
                   : (t.flags & (kTriangleFlagSelected | kTriangleFlagHidden)) != kTriangleFlagSelected)
            return;
        for (std::uint32_t v : t.vertexIndex)
            if (v < vertexCount)
                std::atomic_ref<std::uint32_t>(mesh.GetVertex(v)->flags)
                    .fetch_or(2u, std::memory_order_relaxed);
    };
    ForEachTriangleOnPool(mesh, clear);
    return reached;
}

void SelectAllTriangles(cMesh& mesh)
{
    mesh.ForEachTriangle([](cMeshTriangle& t) { t.flags |= kTriangleFlagSelected; });
    // A vertex of hidden triangles only is no vertex of the selection.
    RebuildSelectedVertexMarks(mesh);
}

void DeselectAllTriangles(cMesh& mesh)
{
    const std::uint32_t count = mesh.GetVertexCount();
    for (std::uint32_t i = 0; i < count; ++i)
        mesh.GetVertex(i)->flags &= ~std::uint32_t(2);
    mesh.ForEachTriangle([](cMeshTriangle& t) { t.flags &= std::uint8_t(~kTriangleFlagSelected); });
}

void SetTriangleFlag4(cMesh& mesh)
{
    mesh.ForEachTriangle([](cMeshTriangle& t) { t.flags |= kTriangleFlagScratch; });
}
