#include "analysis/segmentation_regions.h"

#include "analysis/segmentation.h"

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstddef>
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
    // The parents are left unset: every one is Reset before any join.
    explicit cTriangleSets(std::uint32_t count) : m_parent(new std::uint32_t[count]) {}

    void Reset(std::uint32_t i) { Parent(i).store(i, std::memory_order_relaxed); }

    std::uint32_t Find(std::uint32_t x)
    {
        for (;;)
        {
            std::uint32_t parent = Parent(x).load(std::memory_order_relaxed);
            if (parent == x)
                return x;
            const std::uint32_t grand = Parent(parent).load(std::memory_order_relaxed);
            // Halving the path only ever points a triangle at an ancestor.
            if (grand != parent)
                Parent(x).compare_exchange_weak(parent, grand, std::memory_order_relaxed);
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
            if (Parent(a).compare_exchange_strong(expected, b, std::memory_order_relaxed))
                return;
        }
    }

    // The same, for one job's joins of triangles of its own range whose
    // parents no other thread reads or writes meanwhile: plain loads and
    // stores instead of atomic steps.
    std::uint32_t FindOwn(std::uint32_t x)
    {
        while (m_parent[x] != x)
        {
            const std::uint32_t grand = m_parent[m_parent[x]];
            m_parent[x] = grand;
            x = grand;
        }
        return x;
    }
    void JoinOwn(std::uint32_t a, std::uint32_t b)
    {
        a = FindOwn(a);
        b = FindOwn(b);
        if (a < b)
            std::swap(a, b);
        m_parent[a] = b;
    }

    // After the joins: the root, stored for the next reader.
    std::uint32_t Settle(std::uint32_t i)
    {
        const std::uint32_t root = Find(i);
        Parent(i).store(root, std::memory_order_relaxed);
        return root;
    }

    std::uint32_t Root(std::uint32_t i) const { return m_parent[i]; }

private:
    std::atomic_ref<std::uint32_t> Parent(std::uint32_t i) { return std::atomic_ref<std::uint32_t>(m_parent[i]); }

    // Fresh pages of a big mesh's array are first touched on the pool, in
    // the resets, instead of cleared on one thread.
    std::unique_ptr<std::uint32_t[]> m_parent;
};

// The sets of [0, size) joined on the pool: each block of kPoolBlock
// places resets its own and hears links(begin, end, join) call join(p, q)
// for every link of its places p to a later place q; the links between its
// own places it joins alone (cTriangleSets::JoinOwn), and the links to later
// blocks' places (a few: a scan's neighbours lie near in the mesh's order as
// a rule) are kept and joined once every block is done. The roots are each
// set's first place whatever the order of the joins. False where memory for
// the kept links runs out.
template <class Links> bool JoinInBlocks(cTriangleSets& sets, std::uint32_t size, Links&& links)
{
    std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>> across(
        (std::size_t{size} + kPoolBlock - 1) / kPoolBlock);
    std::atomic<bool> roomy{true};
    ForEachBlockOnPool(size, [&](std::uint32_t begin, std::uint32_t end) {
        for (std::uint32_t p = begin; p < end; ++p)
            sets.Reset(p);
        // Filled as a local and moved back: the lists of neighbouring
        // blocks share cache lines.
        std::vector<std::pair<std::uint32_t, std::uint32_t>> later;
        links(begin, end, [&](std::uint32_t p, std::uint32_t q) {
            if (q < end)
                sets.JoinOwn(p, q);
            else
                try
                {
                    later.emplace_back(p, q);
                }
                catch (const std::bad_alloc&)
                {
                    roomy.store(false, std::memory_order_relaxed);
                }
        });
        across[begin / kPoolBlock] = std::move(later);
    });
    if (!roomy.load())
        return false;
    ForEachBlockOnPool(size, [&](std::uint32_t begin, std::uint32_t) {
        for (const auto& [p, q] : across[begin / kPoolBlock])
            sets.Join(p, q);
    });
    return true;
}

double AreaOf(const cMesh& mesh, const cMeshTriangle& t)
{
    const cVertex* corners[3];
    if (!mesh.GetCorners(t, corners))
        return 0.0;
    return TriangleArea(corners[0]->Position(), corners[1]->Position(), corners[2]->Position());
}

// The regions of one class: linked triangles of the class joined, every
// triangle settled on its region's first triangle. ofClass[i] gets 1 for
// each triangle of the class, else 0, before settled(i, root) hears each
// triangle's root as it settles, from the job of the triangle's block of
// kPoolBlock. A link's triangle is told by its record's place in the mesh's
// chunks, so no triangle record is written. Null where the links are not
// symmetric (a walk over them depends on where it starts) or where memory
// runs out.
template <class Settled>
std::unique_ptr<cTriangleSets> JoinRegions(cMesh& mesh, bool selectedClass, std::uint8_t* ofClass, Settled&& settled)
{
    const std::uint32_t count = mesh.GetTriangleCount();
    std::unique_ptr<cTriangleSets> joined;
    std::unique_ptr<cTriangleIndexer> indexer;
    try
    {
        joined = std::make_unique<cTriangleSets>(count);
        indexer = std::make_unique<cTriangleIndexer>(mesh, count);
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
    cTriangleSets* const sets = joined.get();
    std::atomic<bool> symmetric{true};
    const bool roomy = JoinInBlocks(*sets, count, [&](std::uint32_t begin, std::uint32_t end, auto&& join) {
        for (std::uint32_t i = begin; i < end; ++i)
        {
            if (i + kLookAhead < end)
                PrefetchLinked(*mesh.GetTriangle(i + kLookAhead));
            const cMeshTriangle& t = *mesh.GetTriangle(i);
            ofClass[i] = IsVisibleSelected(t) == selectedClass;
            if (!ofClass[i])
                continue;
            for (int k = 0; k < 3; ++k)
            {
                const cMeshTriangle* n = t.neighbour[k];
                if (n == nullptr)
                    continue;
                const std::uint32_t j = indexer->Index(n, i);
                const std::uint8_t edge = t.neighbourEdge[k];
                if (j == cTriangleIndexer::kNone || edge > 2 || n->neighbour[edge] != &t)
                {
                    symmetric.store(false, std::memory_order_relaxed);
                    continue;
                }
                if (j > i && IsVisibleSelected(*n) == selectedClass)
                    join(i, j);
            }
        }
    });
    if (!symmetric.load() || !roomy)
        return nullptr;
    // The joins are done: every triangle settles on its root.
    ForEachBlockOnPool(count, [&](std::uint32_t begin, std::uint32_t end) {
        for (std::uint32_t i = begin; i < end; ++i)
            settled(i, sets->Settle(i));
    });
    return joined;
}

// The place of triangle j, a later one than that at place p, in the list
// of a class (ascending triangle indices): a linked triangle lies near in
// the list as a rule, so the search steps on from p by doubling strides,
// then halves the last one. The list's size where j is not in it.
std::uint32_t PlaceAfter(const std::vector<std::uint32_t>& listed, std::uint32_t p, std::uint32_t j)
{
    const auto size = static_cast<std::uint32_t>(listed.size());
    // [low, high) holds j's place if the list has it.
    std::uint32_t low = p + 1, high = size;
    for (std::uint64_t stride = 1; p + stride < size; stride *= 2)
    {
        const auto at = static_cast<std::uint32_t>(p + stride);
        if (listed[at] >= j)
        {
            high = at + 1;
            break;
        }
        low = at + 1;
    }
    const auto it = std::lower_bound(listed.begin() + low, listed.begin() + high, j);
    return it != listed.begin() + high && *it == j ? static_cast<std::uint32_t>(it - listed.begin()) : size;
}

// The regions of one class among its listed triangles (every triangle of
// the class, in index order), joined by place in the list: a link's
// triangle is told by its record's place in the mesh's chunks and found in
// the list near the place of the triangle it leaves, so no triangle record
// is written. settled(p, root) hears each place's root as it settles, from
// the job of its block of kPoolBlock places. Null where a link between
// triangles of the class does not lead to a listed triangle and back (a
// walk over them depends on where it starts) or memory runs out.
template <class Settled>
std::unique_ptr<cTriangleSets> JoinListedRegions(cMesh& mesh, const std::vector<std::uint32_t>& listed,
                                                 bool selectedClass, Settled&& settled)
{
    const auto size = static_cast<std::uint32_t>(listed.size());
    if (listed.size() != size)
        return nullptr;
    std::unique_ptr<cTriangleSets> sets;
    std::unique_ptr<cTriangleIndexer> indexer;
    try
    {
        sets = std::make_unique<cTriangleSets>(size);
        indexer = std::make_unique<cTriangleIndexer>(mesh, mesh.GetTriangleCount());
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
    const auto at = [&](std::uint32_t p) { return mesh.GetTriangle(listed[p]); };
    std::atomic<bool> symmetric{true};
    const bool roomy = JoinInBlocks(*sets, size, [&](std::uint32_t begin, std::uint32_t end, auto&& join) {
        for (std::uint32_t p = begin; p < end; ++p)
        {
            if (p + kLookAhead < end)
                PrefetchLinked(*at(p + kLookAhead));
            const std::uint32_t i = listed[p];
            const cMeshTriangle* t = mesh.GetTriangle(i);
            for (int k = 0; k < 3; ++k)
            {
                const cMeshTriangle* n = t->neighbour[k];
                if (n == nullptr || IsVisibleSelected(*n) != selectedClass)
                    continue;
                const std::uint32_t j = indexer->Index(n, i);
                const std::uint8_t edge = t->neighbourEdge[k];
                if (j == cTriangleIndexer::kNone || edge > 2 || n->neighbour[edge] != t)
                {
                    symmetric.store(false, std::memory_order_relaxed);
                    continue;
                }
                if (j <= i)
                    continue;
                // A later triangle of the class: the other end joins
                // nothing, so this one finds it in the list.
                const std::uint32_t q = PlaceAfter(listed, p, j);
                if (q == size)
                    symmetric.store(false, std::memory_order_relaxed);
                else
                    join(p, q);
            }
        }
    });
    if (!symmetric.load() || !roomy)
        return nullptr;
    // Every listed triangle settles on its root, the region's first
    // triangle (the list is in triangle order).
    ForEachBlockOnPool(size, [&](std::uint32_t begin, std::uint32_t end) {
        for (std::uint32_t p = begin; p < end; ++p)
            settled(p, sets->Settle(p));
    });
    return sets;
}

constexpr std::uint8_t kClassRoot = 2;

// Sums of the same n non-negative terms in two orders differ by less than
// 2 n DBL_EPSILON times either: the margin for `terms` terms.
double OrderMargin(std::uint32_t terms)
{
    return 2.0 * double(terms) * DBL_EPSILON;
}

// Whether a region of which some terms sum to `sum` is larger than the
// limit however its terms are added up, the others as well (none is
// negative): past the margin the comparison is the same in any order.
bool ClearlyAboveLimit(double sum, double limit, double margin)
{
    return std::isfinite(sum) && std::fabs(sum - limit) > margin * sum && !(limit >= sum);
}

// Adds each region's area up at its root (cleared before), a run of
// triangles of the same region at a time, on the pool: classTriangle(p)
// is the triangle at place p of [0, size) of the sets, null where it is not
// of the class. Which order the terms go in does not matter: a region whose
// sum lies near enough to the limit for the order to tip the comparison is
// walked (DecideFlips). A region whose sum so far is clearly above the limit
// stays whatever its other terms add: its root's flip is decided (0) there,
// and the jobs add no more of its triangles' areas.
template <class ClassTriangle>
void AddRegionAreas(const cMesh& mesh, std::uint32_t size, const cTriangleSets& sets, double* area, std::uint8_t* flip,
                    double limit, double margin, ClassTriangle&& classTriangle)
{
    constexpr std::uint32_t kNoRoot = 0xFFFFFFFFu;
    // How many terms a run takes between looks at whether it is decided.
    constexpr std::uint32_t kLookEvery = 1024;
    const auto decided = [&](std::uint32_t root) {
        return std::atomic_ref<std::uint8_t>(flip[root]).load(std::memory_order_relaxed) != kClassRoot;
    };
    ForEachBlockOnPool(size, [&](std::uint32_t begin, std::uint32_t end) {
        std::uint32_t runRoot = kNoRoot, skipRoot = kNoRoot, terms = 0;
        double run = 0.0;
        // Adds the run at its root; decides the region where that makes it
        // clearly larger than the limit.
        const auto flush = [&] {
            if (run != 0.0)
            {
                const double sum = std::atomic_ref<double>(area[runRoot]).fetch_add(run, std::memory_order_relaxed) + run;
                if (ClearlyAboveLimit(sum, limit, margin))
                    std::atomic_ref<std::uint8_t>(flip[runRoot]).store(0, std::memory_order_relaxed);
            }
            run = 0.0;
        };
        for (std::uint32_t p = begin; p < end; ++p)
        {
            const std::uint32_t root = sets.Root(p);
            if (root == skipRoot)
                continue;
            const cMeshTriangle* t = classTriangle(p);
            if (t == nullptr)
                continue;
            if (root != runRoot)
            {
                flush();
                runRoot = root;
                terms = 0;
                if (decided(root))
                {
                    skipRoot = root;
                    continue;
                }
            }
            run += AreaOf(mesh, *t);
            if (++terms % kLookEvery == 0 && (ClearlyAboveLimit(run, limit, margin) || decided(runRoot)))
            {
                flush();
                std::atomic_ref<std::uint8_t>(flip[runRoot]).store(0, std::memory_order_relaxed);
                skipRoot = runRoot;
            }
        }
        if (runRoot != kNoRoot)
            flush();
    });
}

// Decides at each root of the class still undecided (flip kClassRoot, its
// region's area at area) whether its region flips: 1 where its area is at
// most the limit, else 0. Past the margin the comparison with the limit is
// the same in any order, and a region within it is walked from its root
// (root(p), a triangle carrying bit 2) as the walks add it up. True where
// a region was walked (which took bit 2 from its triangles).
template <class Root>
bool DecideFlips(cMesh& mesh, std::uint32_t size, double margin, std::uint8_t* flip, const double* area, double limit,
                 Root&& root)
{
    std::vector<std::vector<std::uint32_t>> nearLimit((std::size_t{size} + kPoolBlock - 1) / kPoolBlock);
    ForEachBlockOnPool(size, [&](std::uint32_t begin, std::uint32_t end) {
        for (std::uint32_t i = begin; i < end; ++i)
        {
            if (flip[i] != kClassRoot)
                continue;
            flip[i] = 0;
            const double sum = area[i];
            if (std::isfinite(sum) && std::fabs(sum - limit) > margin * sum)
                flip[i] = limit >= sum;
            else
                nearLimit[begin / kPoolBlock].push_back(i);
        }
    });
    bool any = false;
    for (const std::vector<std::uint32_t>& roots : nearLimit)
        for (const std::uint32_t i : roots)
        {
            double walked = 0.0;
            MeasureTriangleRegion(mesh, root(i), &walked);
            flip[i] = limit >= walked;
            any = true;
        }
    return any;
}

// Flips a triangle of the class out of it: selected ones lose bit 0, the
// others gain it.
void FlipClass(cMeshTriangle& t, bool selectedClass)
{
    if (selectedClass)
        t.flags &= static_cast<std::uint8_t>(~kTriangleFlagSelected);
    else
        t.flags |= kTriangleFlagSelected;
}

// What the caller does next to a triangle after the flips; `next` counts
// the next class's triangles. A flag byte that already says what it should
// is left unwritten: most of the triangles still carry bit 2 from before
// the flips, and a pass that only reads their records does not write them
// all back to memory.
void AfterFlip(cMesh& mesh, cMeshTriangle& t, const stAfterFlip& after, std::uint32_t& next)
{
    const bool scratch = (t.flags & kTriangleFlagScratch) != 0;
    if (after.nextClassCounts != nullptr)
    {
        if (!scratch)
            t.flags |= kTriangleFlagScratch;
        next += IsVisibleSelected(t) == after.nextClass;
    }
    else if (after.clearScratch && scratch)
        t.flags &= static_cast<std::uint8_t>(~kTriangleFlagScratch);
    if (after.markSelectedVertices)
        MarkCornersInSelection(mesh, t);
}

} // namespace

cTriangleIndexer::cTriangleIndexer(const cMesh& mesh, std::uint32_t count) : m_count(count)
{
    const tArray<cMeshTriangle>& triangles = mesh.GetTriangleArray();
    const std::uint32_t chunks = count == 0 ? 0 : ((count - 1) >> kArrayChunkShift) + 1;
    m_chunks.resize(chunks);
    for (std::uint32_t c = 0; c < chunks; ++c)
        m_chunks[c] = {Address(triangles.GetChunk(c)), c};
    m_sorted = m_chunks;
    std::sort(m_sorted.begin(), m_sorted.end());
}

bool FlipSmallRegionsOnPool(cMesh& mesh, double limit, bool selectedClass, stAfterFlip after)
{
    const std::uint32_t count = mesh.GetTriangleCount();
    // Both are written on the pool before they are read: the area of each
    // region at its root (its first triangle); whether to flip the region,
    // at every triangle (kClassRoot at the roots of the class until that is
    // decided, so that the decision reads bytes, not triangle records).
    std::unique_ptr<double[]> area;
    std::unique_ptr<std::uint8_t[]> flip;
    try
    {
        area.reset(new double[count]);
        flip.reset(new std::uint8_t[count]);
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    // Each region's area is added up at its root (cleared as the triangles
    // settle), a run of triangles of the same region at a time. Which order
    // the terms go in does not matter: a region whose sum lies near enough
    // to the limit for the order to tip the comparison is walked below.
    const auto ofClass = [selectedClass](const cMeshTriangle& t) { return IsVisibleSelected(t) == selectedClass; };
    // flip[i] tells first whether triangle i is of the class.
    const std::unique_ptr<cTriangleSets> joined = JoinRegions(mesh, selectedClass, flip.get(), [&](std::uint32_t i, std::uint32_t root) {
        const bool classRoot = root == i && flip[i] != 0;
        if (classRoot)
            area[i] = 0.0;
        flip[i] = classRoot ? kClassRoot : 0;
    });
    if (joined == nullptr)
        return false;
    const cTriangleSets* const sets = joined.get();
    const double margin = OrderMargin(count);
    AddRegionAreas(mesh, count, *sets, area.get(), flip.get(), limit, margin, [&](std::uint32_t i) {
        const cMeshTriangle* t = mesh.GetTriangle(i);
        return ofClass(*t) ? t : nullptr;
    });
    DecideFlips(mesh, count, margin, flip.get(), area.get(), limit, [&](std::uint32_t i) { return mesh.GetTriangle(i); });

    // The flips and what the caller does next to every triangle.
    ForEachBlockOnPool(count, [&](std::uint32_t begin, std::uint32_t end) {
        std::uint32_t next = 0;
        for (std::uint32_t i = begin; i < end; ++i)
        {
            cMeshTriangle& t = *mesh.GetTriangle(i);
            if (ofClass(t) && flip[sets->Root(i)])
                FlipClass(t, selectedClass);
            AfterFlip(mesh, t, after, next);
        }
        if (after.nextClassCounts != nullptr)
            (*after.nextClassCounts)[begin / kPoolBlock] = next;
    });
    return true;
}

bool FlipSmallListedRegionsOnPool(cMesh& mesh, double limit, bool selectedClass,
                                  const std::vector<std::uint32_t>& listed, stAfterFlip after)
{
    const auto size = static_cast<std::uint32_t>(listed.size());
    if (listed.size() != size)
        return false;
    // By place in the list: its region's area at its root and whether to
    // flip the region.
    std::unique_ptr<double[]> area;
    std::unique_ptr<std::uint8_t[]> flip;
    try
    {
        area.reset(new double[size]);
        flip.reset(new std::uint8_t[size]);
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    const auto at = [&](std::uint32_t p) { return mesh.GetTriangle(listed[p]); };
    const std::unique_ptr<cTriangleSets> sets =
        JoinListedRegions(mesh, listed, selectedClass, [&](std::uint32_t p, std::uint32_t root) {
            if (root == p)
                area[p] = 0.0;
            flip[p] = root == p ? kClassRoot : 0;
        });
    if (sets == nullptr)
        return false;
    const double margin = OrderMargin(size);
    AddRegionAreas(mesh, size, *sets, area.get(), flip.get(), limit, margin, at);
    const bool walked = DecideFlips(mesh, size, margin, flip.get(), area.get(), limit, at);
    // The flips, counted per block of triangles where the next class's
    // counts can follow from them.
    const std::uint32_t count = mesh.GetTriangleCount();
    const std::size_t blocks = (std::size_t{count} + kPoolBlock - 1) / kPoolBlock;
    const bool countFlips = after.nextClassCounts != nullptr && after.classCounts != nullptr &&
                            after.classCounts->size() == blocks && after.nextClass != selectedClass && !walked &&
                            !after.clearScratch && !after.markSelectedVertices;
    std::vector<std::uint32_t> flipped(countFlips ? blocks : 0, 0);
    ForEachBlockOnPool(size, [&](std::uint32_t begin, std::uint32_t end) {
        std::uint32_t block = 0, run = 0;
        const auto addRun = [&] {
            if (run != 0)
                std::atomic_ref<std::uint32_t>(flipped[block]).fetch_add(run, std::memory_order_relaxed);
            run = 0;
        };
        for (std::uint32_t p = begin; p < end; ++p)
            if (flip[sets->Root(p)])
            {
                FlipClass(*at(p), selectedClass);
                if (!countFlips)
                    continue;
                if (listed[p] / kPoolBlock != block)
                {
                    addRun();
                    block = listed[p] / kPoolBlock;
                }
                ++run;
            }
        if (countFlips)
            addRun();
    });
    if (countFlips)
    {
        // Every triangle still carries bit 2, and a flipped triangle of the
        // class joins the next one: what the pass below would find.
        for (std::size_t b = 0; b < blocks; ++b)
        {
            const auto inBlock = static_cast<std::uint32_t>(std::min<std::size_t>(kPoolBlock, count - b * kPoolBlock));
            (*after.nextClassCounts)[b] = inBlock - (*after.classCounts)[b] + flipped[b];
        }
        return true;
    }
    if (after.nextClassCounts != nullptr || after.clearScratch || after.markSelectedVertices)
        ForEachBlockOnPool(mesh.GetTriangleCount(), [&](std::uint32_t begin, std::uint32_t end) {
            std::uint32_t next = 0;
            for (std::uint32_t i = begin; i < end; ++i)
                AfterFlip(mesh, *mesh.GetTriangle(i), after, next);
            if (after.nextClassCounts != nullptr)
                (*after.nextClassCounts)[begin / kPoolBlock] = next;
        });
    return true;
}

namespace
{

// The labels' first pass: the triangles outside the band listed in index
// order (into `listed`), in one pass that also leaves the band's colour
// words unlabelled (the listed ones are written once, with their labels)
// and looks for hidden triangles: each block lists its own into its part
// of a scratch list, then the blocks' lists are moved together. A hidden
// triangle starts a region but is not reached from one: where there are
// any, the regions depend on the order of the walks. False, with every
// colour word unlabelled, where a triangle is hidden or memory runs out.
bool ListOutsideTheBand(cMesh& mesh, std::vector<std::uint32_t>& listed)
{
    const std::uint32_t unlabelled = 0xFFFFFFFFu;
    const std::uint32_t count = mesh.GetTriangleCount();
    const std::size_t blocks = (std::size_t{count} + kPoolBlock - 1) / kPoolBlock;
    std::vector<std::uint32_t> inBlock(blocks + 1, 0);
    std::unique_ptr<std::uint32_t[]> scratch;
    try
    {
        scratch.reset(new std::uint32_t[count]);
    }
    catch (const std::bad_alloc&)
    {
        ForEachBlockOnPool(count, [&](std::uint32_t begin, std::uint32_t end) {
            for (std::uint32_t i = begin; i < end; ++i)
                mesh.GetTriangle(i)->colour = unlabelled;
        });
        return false;
    }
    std::atomic<bool> hidden{false};
    ForEachBlockOnPool(count, [&](std::uint32_t begin, std::uint32_t end) {
        std::uint32_t n = 0;
        for (std::uint32_t i = begin; i < end; ++i)
        {
            cMeshTriangle& t = *mesh.GetTriangle(i);
            if ((t.flags & kTriangleFlagHidden) != 0)
                hidden.store(true, std::memory_order_relaxed);
            if (IsVisibleSelected(t))
                t.colour = unlabelled;
            else
                scratch[begin + n++] = i;
        }
        inBlock[begin / kPoolBlock + 1] = n;
    });
    for (std::size_t b = 0; b < blocks; ++b)
        inBlock[b + 1] += inBlock[b];
    bool roomForList = true;
    try
    {
        if (!hidden.load())
            listed.resize(inBlock[blocks]);
    }
    catch (const std::bad_alloc&)
    {
        roomForList = false;
    }
    if (hidden.load() || !roomForList)
    {
        // The listed ones' colour words unlabelled too.
        ForEachBlockOnPool(count, [&](std::uint32_t begin, std::uint32_t) {
            const std::uint32_t b = begin / kPoolBlock;
            for (std::uint32_t k = 0; k < inBlock[b + 1] - inBlock[b]; ++k)
                mesh.GetTriangle(scratch[begin + k])->colour = unlabelled;
        });
        return false;
    }
    ForEachBlockOnPool(count, [&](std::uint32_t begin, std::uint32_t) {
        const std::uint32_t b = begin / kPoolBlock;
        std::copy_n(&scratch[begin], inBlock[b + 1] - inBlock[b], listed.begin() + std::ptrdiff_t(inBlock[b]));
    });
    return true;
}

} // namespace

bool LabelRegionsOnPool(cMesh& mesh, std::uint32_t& labels, std::vector<std::uint32_t>* outside,
                        stOutsideListed* listedAlready)
{
    const std::uint32_t unlabelled = 0xFFFFFFFFu;
    std::vector<std::uint32_t> listed;
    if (listedAlready != nullptr)
    {
        listed = std::move(listedAlready->outside);
        if (listedAlready->hidden)
        {
            ForEachBlockOnPool(static_cast<std::uint32_t>(listed.size()), [&](std::uint32_t begin, std::uint32_t end) {
                for (std::uint32_t p = begin; p < end; ++p)
                    mesh.GetTriangle(listed[p])->colour = unlabelled;
            });
            return false;
        }
    }
    else if (!ListOutsideTheBand(mesh, listed))
        return false;
    const auto size = static_cast<std::uint32_t>(listed.size());
    const auto at = [&](std::uint32_t p) { return mesh.GetTriangle(listed[p]); };
    // Labels go in the order of the regions' first triangles, as the walks
    // hand them out: each block of places counts its first triangles as
    // they settle (a block settles in one job), then labels them from where
    // the blocks before it end.
    std::vector<std::uint32_t> firsts((std::size_t{size} + kPoolBlock - 1) / kPoolBlock, 0);
    const std::unique_ptr<cTriangleSets> sets = JoinListedRegions(mesh, listed, false, [&](std::uint32_t p, std::uint32_t root) {
        if (root == p)
            ++firsts[p / kPoolBlock];
    });
    // Where the walks are left to label, the listed ones' colour words are
    // unlabelled too.
    const auto unlabelListed = [&] {
        ForEachBlockOnPool(size, [&](std::uint32_t begin, std::uint32_t end) {
            for (std::uint32_t p = begin; p < end; ++p)
                at(p)->colour = unlabelled;
        });
    };
    if (sets == nullptr)
    {
        unlabelListed();
        return false;
    }
    std::uint64_t regions = 0;
    std::size_t lastBlock = firsts.size();
    for (std::size_t b = 0; b < firsts.size(); ++b)
    {
        const std::uint32_t n = firsts[b];
        firsts[b] = static_cast<std::uint32_t>(std::min<std::uint64_t>(regions, kTriangleUnlabelled));
        regions += n;
        if (n != 0)
            lastBlock = b;
    }
    if (regions >= kTriangleUnlabelled)
    {
        unlabelListed();
        return false; // more regions than labels: left to the walks' own way with them
    }
    // A listed triangle's colour word becomes an unlabelled word given its
    // label, whatever it held before.
    const auto labelled = [&](std::uint32_t label) {
        return (unlabelled & ~kTriangleColourMask) | (label & kTriangleColourMask);
    };
    ForEachBlockOnPool(size, [&](std::uint32_t begin, std::uint32_t end) {
        std::uint32_t next = firsts[begin / kPoolBlock];
        for (std::uint32_t p = begin; p < end; ++p)
            if (sets->Root(p) == p)
                at(p)->colour = labelled(next++);
    });
    // The last region's first triangle: the last one of the last block
    // that has any.
    cMeshTriangle* last = nullptr;
    if (lastBlock < firsts.size())
        for (auto p = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, (lastBlock + 1) * kPoolBlock));
             last == nullptr;)
        {
            --p;
            if (sets->Root(p) == p)
                last = at(p);
        }
    ForEachBlockOnPool(size, [&](std::uint32_t begin, std::uint32_t end) {
        for (std::uint32_t p = begin; p < end; ++p)
            if (const std::uint32_t root = sets->Root(p); root != p)
                at(p)->colour = labelled(at(root)->GetLabel());
    });
    // The last region's walk raises the mesh's highest label; from a
    // labelled region it reaches nothing more.
    if (last != nullptr)
        mesh.LabelConnectedTriangles(last, kTriangleFlagSelected);
    labels = static_cast<std::uint32_t>(regions);
    if (outside != nullptr)
        *outside = std::move(listed);
    return true;
}
