#include "plugin/dialogs/magic_wand.h"

#include "core/mesh.h"
#include "core/thread_pool.h"
#include "modes/mode_support.h"
#include "modes/surface_extension_mode.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

namespace
{

constexpr double kPi = 3.14159265358979323846;
// A triangle the flood took carries the scratch bit until the pass after it.
constexpr std::uint8_t kTaken = kTriangleFlagScratch;

constexpr std::size_t kBlock = std::size_t{1} << 16;

// f(triangle) for every triangle, a block of them per job of the shared
// pool (a big scan's 10M triangles took tens of milliseconds a pass on one
// thread); f touches its own triangle's record only. With seen, only the
// blocks where it saw any of the flag bits `in`.
template <class F>
void ForEachTriangleOnPool(cMesh& mesh, F&& f, const stTriangleFlagBlocks* seen = nullptr, std::uint8_t in = 0)
{
    static_assert(kBlock == kTriangleFlagBlock);
    const std::uint32_t count = mesh.GetTriangleCount();
    auto each = [&](std::size_t block)
    {
        if (seen && !(seen->any[block] & in))
            return;
        const std::size_t end = std::min<std::size_t>(count, (block + 1) * kBlock);
        for (std::size_t i = block * kBlock; i < end; ++i)
            f(*mesh.GetTriangle(std::uint32_t(i)));
    };
    ParallelForEach(SharedThreadPool(), (std::size_t{count} + kBlock - 1) / kBlock, 1, each);
}

// seen when it is of the mesh as it is (its count of triangles), else null.
const stTriangleFlagBlocks* SeenOf(const cMesh& mesh, const stTriangleFlagBlocks* seen)
{
    const std::uint32_t count = mesh.GetTriangleCount();
    const std::size_t blocks = (std::size_t{count} + kTriangleFlagBlock - 1) / kTriangleFlagBlock;
    if (seen && (seen->triangles != count || seen->any.size() != blocks || seen->all.size() != blocks))
        return nullptr;
    return seen;
}

// Clears every triangle's taken mark (with clear) and, with a save bit, sets
// that bit on exactly the visible selected triangles, a block of triangles a
// job. A flag byte is written only where it changes (the records are read,
// few written back), and a block whose flags the pick's scan saw needing
// neither (no mark, and the bit already telling the selection throughout)
// is not read at all.
void ClearTakenMarks(cMesh& mesh, bool clear, std::uint8_t saveBit, const stTriangleFlagBlocks* seen)
{
    const std::uint8_t taken = clear ? kTaken : 0;
    const std::uint32_t count = mesh.GetTriangleCount();
    const std::size_t blocks = (std::size_t{count} + kTriangleFlagBlock - 1) / kTriangleFlagBlock;
    seen = SeenOf(mesh, seen);
    constexpr std::uint8_t kShown = kTriangleFlagSelected | kTriangleFlagHidden;
    const std::uint8_t both = kTriangleFlagSelected | saveBit;
    auto each = [&](std::size_t block)
    {
        if (seen)
        {
            const std::uint8_t any = seen->any[block], all = seen->all[block];
            const bool saved = saveBit == 0 || (any & both) == 0 || ((all & both) == both && !(any & kTriangleFlagHidden)) ||
                               ((all & kTriangleFlagHidden) && !(any & saveBit));
            if (!(any & taken) && saved)
                return;
        }
        const std::size_t end = std::min<std::size_t>(count, (block + 1) * kTriangleFlagBlock);
        for (std::size_t i = block * kTriangleFlagBlock; i < end; ++i)
        {
            cMeshTriangle& t = *mesh.GetTriangle(std::uint32_t(i));
            const std::uint8_t was = t.flags;
            std::uint8_t now = std::uint8_t(was & ~taken);
            if (saveBit)
                now = (was & kShown) == kTriangleFlagSelected ? std::uint8_t(now | saveBit) : std::uint8_t(now & ~saveBit);
            if (now != was)
                t.flags = now;
        }
    };
    ParallelForEach(SharedThreadPool(), blocks, 1, each);
}

// Whether the pick's view of the flags shows no triangle selected.
bool NothingSelected(const stTriangleFlagBlocks* seen)
{
    return seen && std::none_of(seen->any.begin(), seen->any.end(),
                                [](std::uint8_t any) { return (any & kTriangleFlagSelected) != 0; });
}

// Sets vertex bit 1 where it is not set yet (vertices are shared between the
// jobs' triangles; a mark already there stays, as nothing clears it then).
void MarkVertex(cVertex& v)
{
    std::atomic_ref<std::uint32_t> flags(v.flags);
    if (!(flags.load(std::memory_order_relaxed) & 2u))
        flags.fetch_or(2u, std::memory_order_relaxed);
}

// A flood that has reached this many triangles on the calling thread goes
// on shared out on the pool.
constexpr std::uint32_t kFloodOnPoolAfter = 1u << 15;
// Triangles a job of such a flood takes from the shared stack at a time.
constexpr std::size_t kHandOut = 256;
// Triangles of a flood's stack expanded together.
constexpr std::size_t kExpandTogether = 16;

// The flood of one wand click. A triangle is taken by the walk that sets
// its taken mark (it is then given the seed's state); a walk expands the
// triangles it took. Which triangles are reached does not depend on the
// order they are taken in, so the walk can be shared out: on the pool
// every flag and vertex mark it changes is changed atomically, as other
// jobs read the flags of the same triangles.
struct stFlood
{
    cMesh& mesh;
    double limit;
    bool select;
    // A growing fill over a mesh where nothing else is selected lets the
    // selection bit be the taken mark (no mark is left to clear after it)
    // and marks each taken triangle's corners as it expands it.
    bool selectedIsTaken = false;

    std::uint8_t TakenBit() const { return selectedIsTaken ? kTriangleFlagSelected : kTaken; }

    // Takes the triangle when no walk has and gives it the seed's state;
    // true when this walk took it.
    template <bool Shared> bool Take(cMeshTriangle& t) const
    {
        const std::uint8_t mark = TakenBit();
        const auto taken = [this, mark](std::uint8_t now)
        {
            return std::uint8_t(select ? now | mark | kTriangleFlagSelected
                                       : (now | mark) & ~kTriangleFlagSelected);
        };
        if constexpr (Shared)
        {
            std::atomic_ref<std::uint8_t> flags(t.flags);
            std::uint8_t now = flags.load(std::memory_order_relaxed);
            for (;;)
            {
                if (now & mark)
                    return false;
                if (flags.compare_exchange_weak(now, taken(now), std::memory_order_relaxed))
                    return true;
            }
        }
        else
        {
            if (t.flags & mark)
                return false;
            t.flags = taken(t.flags);
            return true;
        }
    }

    // Expands the last few triangles of the stack together (listing them
    // in expanded when given); returns how many triangles it took. Their
    // neighbours' records, which lie anywhere in memory, are all asked for
    // first: one triangle's neighbours were read one after another, each
    // behind the atomic step that took the one before.
    template <bool Shared>
    std::uint32_t ExpandLast(std::vector<cMeshTriangle*>& stack, std::vector<cMeshTriangle*>* expanded) const
    {
        cMeshTriangle* last[kExpandTogether];
        const std::size_t n = std::min(stack.size(), kExpandTogether);
        std::copy(stack.end() - std::ptrdiff_t(n), stack.end(), last);
        stack.resize(stack.size() - n);
        const std::uint32_t vertices = mesh.GetVertexCount();
        for (std::size_t k = 0; k < n; ++k)
        {
            for (cMeshTriangle* next : last[k]->neighbour)
                if (next)
                    __builtin_prefetch(next, 1);
            if (selectedIsTaken)
                for (const std::uint32_t v : last[k]->vertexIndex)
                    if (v < vertices)
                        __builtin_prefetch(mesh.GetVertex(v), 1);
        }
        std::uint32_t taken = 0;
        for (std::size_t k = n; k-- > 0;)
        {
            if (expanded)
                expanded->push_back(last[k]);
            taken += Expand<Shared>(*last[k], stack);
        }
        return taken;
    }

    // The triangle's neighbours across creases below the limit that this
    // walk takes go onto the stack; returns how many. A shrinking fill
    // unmarks the triangle's corners (a growing one marks them here when the
    // selection bit is the taken mark, afterwards otherwise).
    template <bool Shared> std::uint32_t Expand(cMeshTriangle& t, std::vector<cMeshTriangle*>& stack) const
    {
        if (selectedIsTaken)
        {
            const std::uint32_t count = mesh.GetVertexCount();
            for (const std::uint32_t v : t.vertexIndex)
                if (v < count)
                    MarkVertex(*mesh.GetVertex(v));
        }
        else if (!select)
        {
            const std::uint32_t count = mesh.GetVertexCount();
            for (std::uint32_t v : t.vertexIndex)
                if (v < count)
                {
                    // Nothing marks vertices while the flood runs: a mark
                    // found clear stays clear.
                    if constexpr (Shared)
                    {
                        std::atomic_ref<std::uint32_t> flags(mesh.GetVertex(v)->flags);
                        if (flags.load(std::memory_order_relaxed) & 2u)
                            flags.fetch_and(~std::uint32_t(2), std::memory_order_relaxed);
                    }
                    else
                        mesh.GetVertex(v)->flags &= ~std::uint32_t(2);
                }
        }
        const double n[3] = {t.nx, t.ny, t.nz};
        std::uint32_t taken = 0;
        for (cMeshTriangle* next : t.neighbour)
        {
            // Hidden triangles are never entered, so a hidden region keeps
            // its state and its vertices keep meaning what they meant.
            if (!next)
                continue;
            std::uint8_t flags;
            if constexpr (Shared)
                flags = std::atomic_ref<std::uint8_t>(next->flags).load(std::memory_order_relaxed);
            else
                flags = next->flags;
            if (flags & (TakenBit() | kTriangleFlagHidden))
                continue;
            if (n[0] * double(next->nx) + n[1] * double(next->ny) + n[2] * double(next->nz) > limit &&
                Take<Shared>(*next))
            {
                stack.push_back(next);
                ++taken;
            }
        }
        return taken;
    }
};

// The rest of a flood shared out on the pool: each job walks from a stack
// of its own and hands the older half of it to the shared stack when that
// runs dry; a job out of triangles takes some from the shared stack, and
// leaves once that is empty and no job holds any. Returns the triangles
// the jobs took; with `took`, each job adds the list of the triangles it
// expanded.
std::uint32_t FloodOnPool(const stFlood& flood, std::vector<cMeshTriangle*>&& start, cThreadPool* pool,
                          std::vector<std::vector<cMeshTriangle*>>* took)
{
    struct stShared
    {
        const stFlood& flood;
        std::mutex lock;
        std::vector<cMeshTriangle*> stack; // guarded by lock
        std::uint32_t holding = 0;         // jobs holding triangles; guarded by lock
        std::atomic<bool> dry{false};      // the shared stack is empty
        std::atomic<std::uint32_t> taken{0};
    } shared{flood, {}, std::move(start)};
    auto walk = [&shared, took](std::size_t)
    {
        std::vector<cMeshTriangle*> stack, expanded;
        std::uint32_t taken = 0;
        for (;;)
        {
            {
                std::lock_guard<std::mutex> guard(shared.lock);
                if (shared.stack.empty())
                {
                    if (shared.holding == 0)
                        break;
                }
                else
                {
                    const std::size_t n = std::min(shared.stack.size(), kHandOut);
                    stack.assign(shared.stack.end() - std::ptrdiff_t(n), shared.stack.end());
                    shared.stack.resize(shared.stack.size() - n);
                    shared.dry.store(shared.stack.empty(), std::memory_order_relaxed);
                    ++shared.holding;
                }
            }
            if (stack.empty())
            {
                std::this_thread::yield();
                continue;
            }
            while (!stack.empty())
            {
                taken += shared.flood.ExpandLast<true>(stack, took ? &expanded : nullptr);
                if (stack.size() >= 2 * kHandOut && shared.dry.load(std::memory_order_relaxed))
                {
                    std::lock_guard<std::mutex> guard(shared.lock);
                    const std::size_t half = stack.size() / 2;
                    shared.stack.insert(shared.stack.end(), stack.begin(), stack.begin() + std::ptrdiff_t(half));
                    stack.erase(stack.begin(), stack.begin() + std::ptrdiff_t(half));
                    shared.dry.store(false, std::memory_order_relaxed);
                }
            }
            std::lock_guard<std::mutex> guard(shared.lock);
            --shared.holding;
        }
        shared.taken.fetch_add(taken, std::memory_order_relaxed);
        if (took)
        {
            std::lock_guard<std::mutex> guard(shared.lock);
            took->push_back(std::move(expanded));
        }
    };
    ParallelForEach(pool, std::size_t(std::max(pool->GetThreadCount(), 1)), 1, walk);
    return shared.taken.load();
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

std::uint32_t GrowMagicWandSelection(cMesh& mesh, cMeshTriangle* seed, double creaseDegrees, std::uint8_t saveBit,
                                     const stTriangleFlagBlocks* seen)
{
    if (!seed || (seed->flags & kTriangleFlagHidden))
    {
        // Nothing grows, yet the selection is saved as asked.
        if (saveBit)
            ClearTakenMarks(mesh, false, saveBit, seen);
        return 0;
    }
    const double limit = std::cos(double(ClampCreaseAngle(creaseDegrees)) * kPi / 180.0);
    const bool select = (seed->flags & kTriangleFlagSelected) != 0;
    // Scratch marks left from before are cleared, so that the mark tells
    // the triangles the flood took, and the selection is saved as asked.
    ClearTakenMarks(mesh, true, saveBit, seen);
    seen = SeenOf(mesh, seen);
    // Told that no triangle was selected when the pick read the flags (the
    // seed, aimed by the click since, aside), a growing fill takes exactly
    // the triangles it selects.
    const bool selectedIsTaken = select && NothingSelected(seen);
    const stFlood flood{mesh, limit, select, selectedIsTaken};
    // Otherwise a growing fill lists the triangles it took, to mark their
    // corners and clear their marks after it; so does a shrinking one that
    // knows which blocks held selected triangles before it, as only those
    // can hold its border.
    const bool listTaken = !selectedIsTaken && (select || seen);
    std::vector<std::vector<cMeshTriangle*>> took(1);
    std::vector<cMeshTriangle*> stack;
    stack.reserve(1024);
    flood.Take<false>(*seed);
    stack.push_back(seed);
    std::uint32_t reached = 1;
    // A flood that turns out big goes on on the pool.
    cThreadPool* pool = SharedThreadPool();
    const bool shareOut = pool != nullptr && pool->GetThreadCount() > 1;
    while (!stack.empty())
    {
        if (shareOut && reached >= kFloodOnPoolAfter)
        {
            reached += FloodOnPool(flood, std::move(stack), pool, listTaken ? &took : nullptr);
            break;
        }
        reached += flood.ExpandLast<false>(stack, listTaken ? &took[0] : nullptr);
    }
    if (selectedIsTaken)
        return reached; // no mark to clear, every corner marked
    // No taken mark outlives the fill; a grown selection's corners are
    // marked, and a deselected region's border vertices that still belong
    // to selected triangles keep their mark.
    const std::uint32_t vertexCount = mesh.GetVertexCount();
    const auto markCorners = [&](const cMeshTriangle& t)
    {
        for (std::uint32_t v : t.vertexIndex)
            if (v < vertexCount)
                MarkVertex(*mesh.GetVertex(v));
    };
    if (listTaken)
    {
        // The taken triangles alone, a block of a list per job.
        std::vector<std::pair<cMeshTriangle* const*, std::size_t>> blocks;
        for (const std::vector<cMeshTriangle*>& list : took)
            for (std::size_t at = 0; at < list.size(); at += kBlock)
                blocks.emplace_back(list.data() + at, std::min(kBlock, list.size() - at));
        // The list is known ahead: the records some places on are asked
        // for, and the corners of those a few places on, while the ones
        // before are marked (each waited on its record and its corners,
        // which lie anywhere in memory).
        constexpr std::size_t kRecordsAhead = 48, kCornersAhead = 24;
        auto clear = [&](std::size_t b)
        {
            cMeshTriangle* const* list = blocks[b].first;
            const std::size_t n = blocks[b].second;
            for (std::size_t k = 0; k < n; ++k)
            {
                if (k + kRecordsAhead < n)
                    __builtin_prefetch(list[k + kRecordsAhead], 1);
                if (select && k + kCornersAhead < n)
                    for (const std::uint32_t v : list[k + kCornersAhead]->vertexIndex)
                        if (v < vertexCount)
                            __builtin_prefetch(mesh.GetVertex(v), 1);
                cMeshTriangle& t = *list[k];
                t.flags &= std::uint8_t(~kTaken);
                if (select)
                    markCorners(t);
            }
        };
        ParallelForEach(pool, blocks.size(), 1, clear);
        if (select)
            return reached;
        // The shrinking fill selected nothing: the selected triangles left
        // lie in blocks that held some before it.
        ForEachTriangleOnPool(
            mesh,
            [&](cMeshTriangle& t)
            {
                if ((t.flags & (kTriangleFlagSelected | kTriangleFlagHidden)) == kTriangleFlagSelected)
                    markCorners(t);
            },
            seen, kTriangleFlagSelected);
        return reached;
    }
    ForEachTriangleOnPool(mesh,
                          [&](cMeshTriangle& t)
                          {
                              if (t.flags & kTaken)
                                  t.flags &= std::uint8_t(~kTaken);
                              if ((t.flags & (kTriangleFlagSelected | kTriangleFlagHidden)) == kTriangleFlagSelected)
                                  markCorners(t);
                          });
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
