#include "analysis/segmentation.h"

#include "analysis/segmentation_regions.h"
#include "core/bounding_box.h"
#include "core/thread_pool.h"
#include "core/vector_math.h"
#include "core/walk_stack.h"

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <memory>
#include <new>
#include <numeric>
#include <utility>
#include <vector>

namespace
{

constexpr std::uint32_t kAngleProgressStep = 500;
template <class F> void ForEachVertexOnPool(cMesh& mesh, F&& f)
{
    ForEachBlockOnPool(mesh.GetVertexCount(), [&](std::uint32_t begin, std::uint32_t end) {
        for (std::uint32_t i = begin; i < end; ++i)
            f(*mesh.GetVertex(i));
    });
}

template <class F> void ForEachTriangleOnPool(cMesh& mesh, F&& f)
{
    ForEachBlockOnPool(mesh.GetTriangleCount(), [&](std::uint32_t begin, std::uint32_t end) {
        for (std::uint32_t i = begin; i < end; ++i)
            f(*mesh.GetTriangle(i));
    });
}
constexpr std::uint32_t kSmoothProgressStep = 1000;

float ValueOf(const cVertex& v)
{
    return v.GetScalar();
}

// The triangles of one connected region of the seed's class that carry the
// scratch bit, which the walk consumes; optionally their area. With a limit
// the walk stops measuring and listing members once the area has passed it:
// areas are never negative, so such a region stays past it.
std::uint32_t WalkRegion(cMesh& mesh, cMeshTriangle* seed, double* area, std::vector<cMeshTriangle*>* members,
                         const double* limit = nullptr)
{
    if (area != nullptr)
        *area = 0.0;
    if (seed == nullptr)
        return 0;
    const bool seedClass = IsVisibleSelected(*seed);
    bool measuring = true;
    std::uint32_t count = 0;
    tWalkStack<cMeshTriangle> stack;
    stack.Push(seed);
    while (!stack.IsEmpty())
    {
        cMeshTriangle* t = stack.Pop();
        if ((t->flags & kTriangleFlagScratch) == 0)
            continue;
        ++count;
        if (area != nullptr && measuring)
        {
            const cVertex* corners[3];
            if (mesh.GetCorners(*t, corners))
                *area += TriangleArea(corners[0]->Position(), corners[1]->Position(), corners[2]->Position());
        }
        if (members != nullptr && measuring)
            members->push_back(t);
        if (limit != nullptr && area != nullptr && measuring && !(*limit >= *area))
        {
            measuring = false;
            if (members != nullptr)
                members->clear();
        }
        t->flags &= static_cast<std::uint8_t>(~kTriangleFlagScratch);
        for (cMeshTriangle* n : t->neighbour)
            if (n != nullptr && (n->flags & kTriangleFlagScratch) != 0 && IsVisibleSelected(*n) == seedClass)
                stack.Push(n);
    }
    return count;
}

// The angles between the corner normals of a triangle: ab, bc, ca.
void TriangleAngles(const cVertex* const c[3], float out[3])
{
    out[0] = static_cast<float>(AngleBetweenVectors(c[0]->Normal(), c[1]->Normal()));
    out[1] = static_cast<float>(AngleBetweenVectors(c[1]->Normal(), c[2]->Normal()));
    out[2] = static_cast<float>(AngleBetweenVectors(c[2]->Normal(), c[0]->Normal()));
}

constexpr std::uint32_t kAngleBlock = 1u << 20;
constexpr std::uint32_t kAngleJob = 1u << 14;

// Raises a largest angle found so far. Angles lie in [+0, pi] (never NaN
// nor -0: the measure clamps the cosine) and the start is -FLT_MAX, so the
// largest is the same value, bit for bit, in whatever order the triangles
// of several threads offer theirs.
void RaiseTo(float& slot, float value)
{
    std::atomic_ref<float> largest(slot);
    float seen = largest.load(std::memory_order_relaxed);
    while (seen < value && !largest.compare_exchange_weak(seen, value, std::memory_order_relaxed))
    {
    }
}

// Lowers a least cosine found so far. Cosines are never NaN (the measure
// clamps them), so the least is the same value in whatever order the
// triangles of several threads offer theirs.
void LowerTo(double& slot, double value)
{
    std::atomic_ref<double> least(slot);
    double seen = least.load(std::memory_order_relaxed);
    while (value < seen && !least.compare_exchange_weak(seen, value, std::memory_order_relaxed))
    {
    }
}

// A vertex's least cosine before any edge is measured, and the mark of a
// vertex whose angles are measured one by one.
constexpr double kNoCosine = HUGE_VAL;
constexpr double kMeasureAgain = -HUGE_VAL;
// In a vertex's unit normal, the first of its doubles where the normal is
// too short to be made unit: no unit's coordinate is near it.
constexpr double kNotUnit = 4.0;

// Calls each(i, t, c, job) for every triangle whose corners c are all in
// the mesh, a job of triangles at a time on the pool, each job's from its
// last triangle back; `job` is what start() made for the job (on the
// job's stack), and job.Finish() ends it. ahead(t) hears each triangle kLookAhead triangles
// before its turn, to ask for what it will read.
template <class Start, class Each, class Ahead>
void ForEachMeasuredTriangle(const cMesh& mesh, IProcProgress* progress, Start&& start, Each&& each, Ahead&& ahead)
{
    const std::uint32_t triangleCount = mesh.GetTriangleCount();
    for (std::uint32_t first = 0; first < triangleCount; first += kAngleBlock)
    {
        // The null progress of the pass hears a position at every 500th
        // triangle it has passed.
        progress->SetPosition(static_cast<float>(first - first % kAngleProgressStep));
        const std::uint32_t last = std::min(triangleCount, first + kAngleBlock);
        auto job = [&](std::size_t j) {
            auto state = start();
            const auto begin = static_cast<std::uint32_t>(first + j * kAngleJob);
            for (std::uint32_t i = std::min(last, begin + kAngleJob); i-- > begin;)
            {
                if (i >= begin + kLookAhead)
                    ahead(*mesh.GetTriangle(i - kLookAhead));
                const cMeshTriangle& t = *mesh.GetTriangle(i);
                const cVertex* c[3];
                if (mesh.GetCorners(t, c))
                    each(i, t, c, state);
            }
            state.Finish();
        };
        ParallelForEach(SharedThreadPool(), (last - first + kAngleJob - 1) / kAngleJob, 1, job);
    }
}

void RaiseTo(std::uint32_t& slot, std::uint32_t value);

// A job's offers of least cosines and ring triangles to its vertices,
// gathered in a small table by vertex (the corners of a job's triangles
// come back) and passed on to the shared arrays, an atomic step each, only
// when the vertex's slot is wanted for another or the job ends: an atomic
// step waits for its line to come and stops the loads after it, and most
// offers then take none. A least and a latest are the same whatever order
// and grouping the offers come in.
class cVertexOffers
{
public:
    cVertexOffers(double* least, std::uint32_t* ringFrom) : m_least(least), m_ringFrom(ringFrom) {}
    cVertexOffers(const cVertexOffers&) = delete;
    cVertexOffers& operator=(const cVertexOffers&) = delete;

    void Offer(std::uint32_t vertex, double cosine, std::uint32_t from)
    {
        stSlot& slot = m_slots[vertex & (kSlots - 1)];
        if (slot.vertex != vertex)
        {
            PassOn(slot);
            slot = {vertex, from, cosine};
            // The shared slots it will be passed on to, asked for now: a
            // scan's corners lie anywhere in memory, and the atomic steps
            // waited for their lines.
            __builtin_prefetch(m_least + vertex, 1);
            if (m_ringFrom != nullptr)
                __builtin_prefetch(m_ringFrom + vertex, 1);
            return;
        }
        slot.least = std::min(slot.least, cosine);
        slot.from = std::max(slot.from, from);
    }

    void Finish()
    {
        for (stSlot& slot : m_slots)
            PassOn(slot);
    }

private:
    static constexpr std::uint32_t kSlots = 4096;
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
    struct stSlot
    {
        std::uint32_t vertex = kEmpty;
        std::uint32_t from = 0;
        double least = 0.0;
    };

    void PassOn(stSlot& slot)
    {
        if (slot.vertex == kEmpty)
            return;
        LowerTo(m_least[slot.vertex], slot.least);
        if (m_ringFrom != nullptr)
            RaiseTo(m_ringFrom[slot.vertex], slot.from);
        slot.vertex = kEmpty;
    }

    double* m_least;
    std::uint32_t* m_ringFrom;
    stSlot m_slots[kSlots];
};

// A job that has nothing to finish.
struct stPlainJob
{
    void Finish() {}
};

// The largest normal angle at each vertex, each edge's angle going to both
// its ends. The arc cosine only falls as the cosine grows, so the largest
// angle is the arc cosine of the least cosine: the edges lower their ends'
// least cosines, and each vertex takes one arc cosine instead of one per
// edge. The library's arc cosine is within an ulp of the true one, so an
// edge's angle lies at most two ulps above its vertex's; rounded to float
// it is no greater unless the vertex's angle lies within four ulps below a
// float's rounding boundary. Those vertices, one in a hundred million or
// so, have their edges' angles measured and raised one by one again.
// Where `ringFrom` is given, the same pass raises each vertex's to one past
// the last triangle that uses it, for the smoothing. Each job gathers its
// offers to the vertices first (cVertexOffers). Where `units` is given, it
// holds every vertex's normal made unit as UnitForCosine makes it (three
// doubles each, the first kNotUnit where it is too short), and the corners'
// units are read there instead of being made from their records' normals
// at each of the six or so triangles round a vertex.
void MeasureLargestAngles(const cMesh& mesh, const double* units, double* least, float* largest,
                          std::uint32_t* ringFrom, IProcProgress* progress)
{
    const std::uint32_t count = mesh.GetVertexCount();
    const auto offers = [&] { return cVertexOffers(least, ringFrom); };
    const auto measure = [&](std::uint32_t i, const cMeshTriangle& t, const cVertex* const c[3],
                             cVertexOffers& job) {
        // Each edge is measured from both its triangles, without reading the
        // one across: a least cosine is the same whichever edges offer it
        // and how often. Each corner's unit is the vertex's own, made once.
        double own[3][3];
        const double* unit[3];
        bool isUnit[3];
        for (int k = 0; k < 3; ++k)
        {
            if (units != nullptr)
            {
                unit[k] = units + 3 * std::size_t{t.vertexIndex[k]};
                isUnit[k] = unit[k][0] != kNotUnit;
                continue;
            }
            isUnit[k] = UnitForCosine(c[k]->Normal(), own[k]);
            unit[k] = own[k];
        }
        double cosine[3];
        for (int k = 0; k < 3; ++k)
        {
            const int next = (k + 1) % 3;
            // Where either normal is too short, the cosine is 2 and clamped.
            cosine[k] = isUnit[k] && isUnit[next] ? CosineOfUnits(unit[k], unit[next]) : 1.0;
        }
        for (int k = 0; k < 3; ++k)
            job.Offer(t.vertexIndex[k], std::min(cosine[k], cosine[(k + 2) % 3]), i + 1);
    };
    ForEachMeasuredTriangle(mesh, progress, offers, measure, [&](const cMeshTriangle& t) {
        if (units == nullptr)
            PrefetchCorners(mesh, t, offsetof(cVertex, nx));
        else
            for (const std::uint32_t v : t.vertexIndex)
                if (v < count)
                {
                    // A unit's three doubles may cross into the next line.
                    const double* unit = units + 3 * std::size_t{v};
                    __builtin_prefetch(unit);
                    __builtin_prefetch(unit + 2);
                }
    });
    const std::uint32_t vertexCount = count;
    std::vector<std::uint8_t> again((std::size_t{vertexCount} + kPoolBlock - 1) / kPoolBlock, 0);
    ForEachBlockOnPool(vertexCount, [&](std::uint32_t begin, std::uint32_t end) {
        for (std::uint32_t i = begin; i < end; ++i)
        {
            largest[i] = -FLT_MAX;
            if (least[i] == kNoCosine)
                continue;
            if (!AngleOfLeastCosine(least[i], largest[i]))
            {
                largest[i] = -FLT_MAX;
                least[i] = kMeasureAgain;
                again[begin / kPoolBlock] = 1;
            }
        }
    });
    if (std::find(again.begin(), again.end(), 1) == again.end())
        return;
    const auto plain = [] { return stPlainJob{}; };
    ForEachMeasuredTriangle(mesh, progress, plain, [&](std::uint32_t, const cMeshTriangle& t, const cVertex* const c[3], stPlainJob&) {
        for (int k = 0; k < 3; ++k)
        {
            const std::uint32_t ends[2] = {t.vertexIndex[k], t.vertexIndex[(k + 1) % 3]};
            if (least[ends[0]] != kMeasureAgain && least[ends[1]] != kMeasureAgain)
                continue;
            const auto angle = static_cast<float>(AngleBetweenVectors(c[k]->Normal(), c[(k + 1) % 3]->Normal()));
            for (const std::uint32_t end : ends)
                if (least[end] == kMeasureAgain)
                    RaiseTo(largest[end], angle);
        }
    }, [](const cMeshTriangle&) {});
}

constexpr std::uint32_t kSmoothJob = 1u << 14;

struct stSmoothing
{
    cMesh* mesh;
    std::uint32_t count;
    // The values before the pass, by vertex index: the rings read them here
    // rather than in the vertex records, which the pass writes.
    std::unique_ptr<float[]> before;
    // Per vertex: one past the triangle its ring is seen from (0: none
    // uses it).
    std::unique_ptr<std::uint32_t[]> from;
};

// Raises a vertex's ring triangle to a later one.
void RaiseTo(std::uint32_t& slot, std::uint32_t value)
{
    std::atomic_ref<std::uint32_t> last(slot);
    std::uint32_t seen = last.load(std::memory_order_relaxed);
    while (seen < value && !last.compare_exchange_weak(seen, value, std::memory_order_relaxed))
    {
    }
}

// The mean of the ring's values that are not -FLT_MAX, into the record of
// each vertex whose ring is seen from one of the job's triangles (the ring
// is read from the values before smoothing, which no job writes). The
// rings go in the order of the triangles they are seen from, so that
// neighbouring rings find their triangles still in the caches.
void SmoothRings(void* context, std::uint32_t job)
{
    auto& smoothing = *static_cast<stSmoothing*>(context);
    const std::uint32_t count = smoothing.count;
    const std::uint32_t triangleCount = smoothing.mesh->GetTriangleCount();
    for (std::uint32_t i = job * kSmoothJob; i < std::min(triangleCount, (job + 1) * kSmoothJob); ++i)
    {
        cMeshTriangle* t = smoothing.mesh->GetTriangle(i);
        for (std::uint8_t corner = 0; corner < 3; ++corner)
        {
            const std::uint32_t vertex = t->vertexIndex[corner];
            // The ring is seen from the vertex's first corner there.
            if (vertex >= count || smoothing.from[vertex] != i + 1 || t->CornerOf(vertex) != corner)
                continue;
            bool isBorder = false;
            double sum = 0.0;
            std::uint32_t n = 0;
            smoothing.mesh->VisitVertexRing(corner, t, isBorder, [&](const cMeshTriangle* ringTriangle, int k) {
                const float value = smoothing.before[ringTriangle->vertexIndex[k]];
                if (value == -FLT_MAX)
                    return;
                sum += value;
                ++n;
            });
            smoothing.mesh->GetVertex(vertex)->SetScalar(n > 0 ? static_cast<float>(sum / n) : -FLT_MAX);
        }
    }
}

// The greatest and the least of a block's values other than +-FLT_MAX. A
// block widens its range in a local and stores it once at its end: the
// ranges of neighbouring blocks share cache lines, and threads writing them
// value by value took every line from each other.
using tValueRange = std::pair<double, double>;

std::vector<tValueRange> EmptyRanges(std::uint32_t vertexCount)
{
    return std::vector<tValueRange>((std::size_t{vertexCount} + kPoolBlock - 1) / kPoolBlock, {-FLT_MAX, FLT_MAX});
}

void Widen(tValueRange& range, float value)
{
    if (value == FLT_MAX || value == -FLT_MAX)
        return;
    range.first = std::max(range.first, static_cast<double>(value));
    range.second = std::min(range.second, static_cast<double>(value));
}

// Maps the values onto 0..scale by the range of the blocks' ranges, taken
// in order (a largest and a smallest value are the same however the values
// are grouped), into the vertices and, where given, into `copy` by vertex
// index. Vertex i's value is valueOf(i, vertex).
template <class ValueOfVertex>
void MapValues(cMesh& mesh, double scale, const std::vector<tValueRange>& ranges, float* copy,
               ValueOfVertex&& valueOf)
{
    double maximum = -FLT_MAX;
    double minimum = FLT_MAX;
    for (const auto& [high, low] : ranges)
    {
        maximum = std::max(maximum, high);
        minimum = std::min(minimum, low);
    }
    const bool counted = maximum >= minimum;
    const double low = std::max(0.0, minimum);
    const double range = maximum - low;
    // Every counted value the same: no scale to spread them over. What the
    // angle pass found sharp stays at the top.
    const bool flat = counted && !(range > 0.0);
    ForEachBlockOnPool(mesh.GetVertexCount(), [&](std::uint32_t begin, std::uint32_t end) {
        for (std::uint32_t i = begin; i < end; ++i)
        {
            cVertex& v = *mesh.GetVertex(i);
            const float of = valueOf(i, v);
            float mapped;
            if (flat)
                mapped = of == FLT_MAX ? static_cast<float>(scale) : 0.0f;
            else
            {
                double value = of;
                if (value > maximum)
                    value = maximum;
                if (value < low)
                    value = low;
                mapped = static_cast<float>((value - low) * scale / range);
            }
            v.SetScalar(mapped);
            if (copy != nullptr)
                copy[i] = mapped;
        }
    });
}

} // namespace

bool AngleOfLeastCosine(double least, float& angle)
{
    const double arc = std::acos(least);
    const double above = arc + 4.0 * (std::nextafter(arc, HUGE_VAL) - arc);
    angle = static_cast<float>(arc);
    return static_cast<float>(above) == angle;
}

void ComputeSegmentationValues(cMesh& mesh)
{
    const std::uint32_t vertexCount = mesh.GetVertexCount();
    IProcProgress* progress = cProcProgressNull::Shared();
    progress->SetPassCount(2);
    const std::uint32_t triangleCount = mesh.GetTriangleCount();
    progress->SetRange(0.0f, static_cast<float>(triangleCount));
    // Per vertex, its largest angle and its least cosine, and for the
    // smoothing its value before and the triangle its ring is seen from,
    // their fresh pages first written on the pool. The angles' pass also
    // finds the rings' triangles, the values' pass their range, and the
    // normalisation hands the smoothing its values.
    std::unique_ptr<float[]> largest;
    std::unique_ptr<double[]> least;
    stSmoothing smoothing{&mesh, vertexCount, {}, {}};
    try
    {
        largest.reset(new float[vertexCount]);
        least.reset(new double[vertexCount]);
        smoothing.before.reset(new float[vertexCount]);
        smoothing.from.reset(new std::uint32_t[vertexCount]);
    }
    catch (const std::bad_alloc&)
    {
        largest.reset();
        least.reset();
    }
    if (largest != nullptr && least != nullptr)
    {
        // The vertices' unit normals side by side, where there is room for
        // them: each vertex's is made once instead of at every triangle
        // round it (a square root and three divisions), and the angles'
        // pass reads it from less memory than the vertex's record takes.
        std::unique_ptr<double[]> units;
        try
        {
            units.reset(new double[3 * std::size_t{vertexCount}]);
        }
        catch (const std::bad_alloc&)
        {
        }
        ForEachBlockOnPool(vertexCount, [&](std::uint32_t begin, std::uint32_t end) {
            std::fill(least.get() + begin, least.get() + end, kNoCosine);
            std::fill(smoothing.from.get() + begin, smoothing.from.get() + end, 0u);
            if (units != nullptr)
                for (std::uint32_t i = begin; i < end; ++i)
                    if (!UnitForCosine(mesh.GetVertex(i)->Normal(), units.get() + 3 * std::size_t{i}))
                        units[3 * std::size_t{i}] = kNotUnit;
        });
        MeasureLargestAngles(mesh, units.get(), least.get(), largest.get(), smoothing.from.get(), progress);
        units.reset();
        least.reset();
        // A vertex's value before the mapping: its largest angle, or FLT_MAX
        // past the limit. The range is found from the angles alone, and the
        // mapping's one pass over the vertex records writes each vertex's
        // index and mapped value.
        const float* const angles = largest.get();
        const auto sharpOrAngle = [angles](std::uint32_t i) {
            return angles[i] > kSharpAngleLimit ? FLT_MAX : angles[i];
        };
        std::vector<tValueRange> ranges = EmptyRanges(vertexCount);
        ForEachBlockOnPool(vertexCount, [&](std::uint32_t begin, std::uint32_t end) {
            tValueRange range = ranges[begin / kPoolBlock];
            for (std::uint32_t i = begin; i < end; ++i)
                Widen(range, sharpOrAngle(i));
            ranges[begin / kPoolBlock] = range;
        });
        MapValues(mesh, kSegmentationValueScale, ranges, smoothing.before.get(), [&](std::uint32_t i, cVertex& v) {
            v.index = i;
            return sharpOrAngle(i);
        });
        largest.reset();
        progress->SetPosition(progress->GetRangeEnd());
        ParallelFor(SharedThreadPool(), (triangleCount + kSmoothJob - 1) / kSmoothJob, SmoothRings, &smoothing);
        return;
    }
    smoothing = {};
    {
        // Without room for the angles: every triangle in turn, in the
        // vertices' own slots.
        ForEachVertexOnPool(mesh, [&mesh](cVertex& v) { v.SetScalar(-FLT_MAX); });
        for (std::uint32_t i = 0; i < vertexCount; ++i)
            mesh.GetVertex(i)->index = i;
        for (std::uint32_t i = 0; i < triangleCount; ++i)
        {
            if (i % kAngleProgressStep == 0)
                progress->SetPosition(static_cast<float>(i));
            cVertex* c[3];
            if (!mesh.GetCorners(*mesh.GetTriangle(i), c))
                continue;
            float a[3];
            TriangleAngles(c, a);
            const float ab = a[0], bc = a[1], ca = a[2];
            c[0]->SetScalar(std::max({ValueOf(*c[0]), ab, ca}));
            c[1]->SetScalar(std::max({ValueOf(*c[1]), ab, bc}));
            c[2]->SetScalar(std::max({ValueOf(*c[2]), bc, ca}));
        }
        ForEachVertexOnPool(mesh, [](cVertex& v) {
            if (ValueOf(v) > kSharpAngleLimit)
                v.SetScalar(FLT_MAX);
        });
    }
    NormalizeVertexValues(mesh, kSegmentationValueScale);
    progress->SetPosition(progress->GetRangeEnd());
    SmoothVertexValues(mesh, progress);
}

void NormalizeVertexValues(cMesh& mesh, double scale)
{
    std::vector<tValueRange> ranges = EmptyRanges(mesh.GetVertexCount());
    ForEachBlockOnPool(mesh.GetVertexCount(), [&](std::uint32_t begin, std::uint32_t end) {
        tValueRange range = ranges[begin / kPoolBlock];
        for (std::uint32_t i = begin; i < end; ++i)
            Widen(range, ValueOf(*mesh.GetVertex(i)));
        ranges[begin / kPoolBlock] = range;
    });
    MapValues(mesh, scale, ranges, nullptr, [](std::uint32_t, const cVertex& v) { return ValueOf(v); });
}

void SmoothVertexValues(cMesh& mesh, IProcProgress* progress)
{
    const std::uint32_t vertexCount = mesh.GetVertexCount();
    if (vertexCount == 0)
        return;
    progress = ProgressOrNull(progress);
    stSmoothing smoothing{&mesh, vertexCount, {}, {}};
    try
    {
        smoothing.before.reset(new float[vertexCount]);
        smoothing.from.reset(new std::uint32_t[vertexCount]);
    }
    catch (const std::bad_alloc&)
    {
        return;
    }
    // Their fresh pages are first written on the pool.
    ForEachBlockOnPool(vertexCount, [&](std::uint32_t begin, std::uint32_t end) {
        for (std::uint32_t i = begin; i < end; ++i)
        {
            smoothing.before[i] = ValueOf(*mesh.GetVertex(i));
            smoothing.from[i] = 0;
        }
    });

    // Each vertex takes the ring seen from the last triangle (in index order)
    // that uses it, at its first corner there, so that every ring is
    // collected once instead of once per incident triangle. The last
    // triangles are found a block at a time on the pool (the latest is the
    // same whatever the order), then the rings, each vertex's on its own.
    const std::uint32_t triangleCount = mesh.GetTriangleCount();
    progress->SetRange(0.0f, static_cast<float>(triangleCount));
    for (std::uint32_t first = 0; first < triangleCount; first += kAngleBlock)
    {
        // The progress hears a position at every 1000th triangle passed.
        progress->SetPosition(static_cast<float>(first - first % kSmoothProgressStep));
        const std::uint32_t last = std::min(triangleCount, first + kAngleBlock);
        // Each job walks its triangles backwards: a vertex it meets again
        // has its job's latest already, and is only read.
        auto take = [&](std::size_t job) {
            const auto begin = static_cast<std::uint32_t>(first + job * kSmoothJob);
            for (std::uint32_t t = std::min(last, begin + kSmoothJob); t-- > begin;)
            {
                const cMeshTriangle& triangle = *mesh.GetTriangle(t);
                const cVertex* corners[3];
                if (mesh.GetCorners(triangle, corners))
                    for (const std::uint32_t vertex : triangle.vertexIndex)
                        RaiseTo(smoothing.from[vertex], t + 1);
            }
        };
        ParallelForEach(SharedThreadPool(), (last - first + kSmoothJob - 1) / kSmoothJob, 1, take);
    }
    ParallelFor(SharedThreadPool(), (triangleCount + kSmoothJob - 1) / kSmoothJob, SmoothRings, &smoothing);
}

bool MarkSharpTriangles(cMesh& mesh, float threshold, const stMarkingAlso& also)
{
    const std::uint32_t count = mesh.GetTriangleCount();
    const std::size_t blocks = (std::size_t{count} + kPoolBlock - 1) / kPoolBlock;
    // Per block: bit 0 whether it marks a triangle, bit 1 whether one was
    // marked before.
    std::vector<std::uint8_t> marked(blocks, 0);
    std::vector<std::uint32_t>* const counts = also.cleanUp != nullptr ? &also.cleanUp->selectedPerBlock : nullptr;
    // The selected ones are listed a block at a time into a scratch list,
    // then moved together.
    std::unique_ptr<std::uint32_t[]> scratch;
    if (counts != nullptr)
    {
        counts->assign(blocks, 0);
        also.cleanUp->selected.clear();
        try
        {
            scratch.reset(new std::uint32_t[count]);
        }
        catch (const std::bad_alloc&)
        {
        }
    }
    const auto keep = static_cast<std::uint8_t>(~(also.clear | kTriangleFlagSelected));
    const auto scratchBit = counts != nullptr ? kTriangleFlagScratch : std::uint8_t{0};
    ForEachBlockOnPool(count, [&](std::uint32_t begin, std::uint32_t end) {
        bool any = false, before = false;
        std::uint32_t selected = 0;
        for (std::uint32_t i = begin; i < end; ++i)
        {
            cMeshTriangle& t = *mesh.GetTriangle(i);
            before = before || IsVisibleSelected(t);
            const cVertex* c[3];
            const bool sharp = mesh.GetCorners(t, c) && ValueOf(*c[0]) > threshold && ValueOf(*c[1]) > threshold &&
                               ValueOf(*c[2]) > threshold;
            t.flags = static_cast<std::uint8_t>((t.flags & keep) | scratchBit | (sharp ? kTriangleFlagSelected : 0));
            any = any || sharp;
            if (IsVisibleSelected(t))
            {
                if (scratch != nullptr)
                    scratch[begin + selected] = i;
                ++selected;
            }
        }
        marked[begin / kPoolBlock] = static_cast<std::uint8_t>((any ? 1 : 0) | (before ? 2 : 0));
        if (counts != nullptr)
            (*counts)[begin / kPoolBlock] = selected;
    });
    if (scratch != nullptr)
    {
        std::vector<std::uint32_t> starts(blocks + 1, 0);
        for (std::size_t b = 0; b < blocks; ++b)
            starts[b + 1] = starts[b] + (*counts)[b];
        try
        {
            also.cleanUp->selected.resize(starts[blocks]);
            ForEachBlockOnPool(count, [&](std::uint32_t begin, std::uint32_t) {
                const std::size_t b = begin / kPoolBlock;
                std::copy_n(&scratch[begin], (*counts)[b], also.cleanUp->selected.begin() + std::ptrdiff_t(starts[b]));
            });
        }
        catch (const std::bad_alloc&)
        {
            also.cleanUp->selected.clear();
        }
    }
    if (also.wasMarked != nullptr &&
        std::any_of(marked.begin(), marked.end(), [](std::uint8_t m) { return (m & 2) != 0; }))
        *also.wasMarked = true;
    return std::any_of(marked.begin(), marked.end(), [](std::uint8_t m) { return (m & 1) != 0; });
}

std::uint32_t MeasureTriangleRegion(cMesh& mesh, cMeshTriangle* seed, double* area)
{
    return WalkRegion(mesh, seed, area, nullptr);
}

void RemoveSmallRegions(cMesh& mesh, double limit, const stCleanUpReadied* readied, bool refreshVertices)
{
    const std::vector<std::uint32_t>* selectedPerBlock = readied != nullptr ? &readied->selectedPerBlock : nullptr;
    // The vertex bits are set again in the last pass over the triangles.
    if (refreshVertices)
        ForEachVertexOnPool(mesh, [](cVertex& v) { v.flags &= ~kVertexFlagInSelection; });
    if (limit == 0.0 || limit == FLT_MAX)
    {
        if (selectedPerBlock != nullptr || refreshVertices)
            ForEachTriangleOnPool(mesh, [&](cMeshTriangle& t) {
                t.flags &= static_cast<std::uint8_t>(~kTriangleFlagScratch);
                if (refreshVertices)
                    MarkCornersInSelection(mesh, t);
            });
        return;
    }
    std::vector<cMeshTriangle*> region;
    // Small selected islands first, then small unselected ones; each region
    // is walked once (the walk clears its scratch bits).
    const std::uint32_t count = mesh.GetTriangleCount();
    const std::size_t blocks = (std::size_t{count} + kPoolBlock - 1) / kPoolBlock;
    // Bit 2 set on every triangle and the triangles of the pass's class
    // counted per block: by a pass of their own, or by the last pass of the
    // pool's flips before.
    std::vector<std::uint32_t> ofClass(blocks, 0);
    bool prepared = false;
    // The marking's list of the selected ones, where it has them all.
    const std::vector<std::uint32_t>* readyList = nullptr;
    if (selectedPerBlock != nullptr && selectedPerBlock->size() == blocks)
    {
        ofClass = *selectedPerBlock;
        prepared = true;
        if (readied->selected.size() == std::accumulate(ofClass.begin(), ofClass.end(), std::uint64_t{0}))
            readyList = &readied->selected;
    }
    bool scratchCleared = false;
    for (const bool selectedPass : {true, false})
    {
        if (!prepared)
        {
            std::fill(ofClass.begin(), ofClass.end(), 0);
            ForEachBlockOnPool(count, [&](std::uint32_t begin, std::uint32_t end) {
                // Counted in a local (the counts of neighbouring blocks
                // share cache lines) and stored once.
                std::uint32_t n = 0;
                for (std::uint32_t i = begin; i < end; ++i)
                {
                    cMeshTriangle& t = *mesh.GetTriangle(i);
                    t.flags |= kTriangleFlagScratch;
                    n += IsVisibleSelected(t) == selectedPass;
                }
                ofClass[begin / kPoolBlock] = n;
            });
        }
        prepared = false;
        // The pool finds the regions in a few passes over every triangle; a
        // walk visits only the triangles of the class, which pays when they
        // are few.
        const std::uint64_t walked = std::accumulate(ofClass.begin(), ofClass.end(), std::uint64_t{0});
        // Flips on the pool (by flipOnPool(after), false where it could not)
        // and what comes after them: the next class prepared, or the
        // scratch bits cleared.
        const auto flippedOnPool = [&](auto&& flipOnPool) {
            stAfterFlip after;
            std::vector<std::uint32_t> nextCounts;
            if (selectedPass)
            {
                nextCounts.assign(blocks, 0);
                after.nextClassCounts = &nextCounts;
                after.nextClass = false;
                // Bit 2 is on every triangle before the first class.
                after.classCounts = &ofClass;
            }
            else
            {
                after.clearScratch = true;
                after.markSelectedVertices = refreshVertices;
            }
            if (!flipOnPool(after))
                return false;
            if (selectedPass)
            {
                ofClass = std::move(nextCounts);
                prepared = true;
            }
            else
                scratchCleared = true;
            return true;
        };
        if (count >= kRegionsOnPoolFrom && walked >= count / 3 &&
            flippedOnPool([&](stAfterFlip after) { return FlipSmallRegionsOnPool(mesh, limit, selectedPass, after); }))
            continue;
        const auto walkFrom = [&](std::uint32_t i) {
            cMeshTriangle* t = mesh.GetTriangle(i);
            if ((t->flags & kTriangleFlagScratch) == 0 || IsVisibleSelected(*t) != selectedPass)
                return;
            region.clear();
            double area = 0.0;
            try
            {
                WalkRegion(mesh, t, &area, &region, &limit);
            }
            catch (const std::bad_alloc&)
            {
                return; // the region is left as it is
            }
            if (!(limit >= area))
                return;
            for (cMeshTriangle* member : region)
            {
                if (selectedPass)
                    member->flags &= static_cast<std::uint8_t>(~kTriangleFlagSelected);
                else
                    member->flags |= kTriangleFlagSelected;
            }
        };
        // The walks start from the triangles of the class in index order. A
        // walk changes the class only of triangles it takes, which no later
        // walk starts from, so the class's triangles can be listed first, on
        // the pool, and the list walked instead of every triangle. The
        // marking may have listed the first class already.
        if (selectedPass && readyList != nullptr)
        {
            if (count >= kRegionsOnPoolFrom && flippedOnPool([&](stAfterFlip after) {
                    return FlipSmallListedRegionsOnPool(mesh, limit, selectedPass, *readyList, after);
                }))
                continue;
            for (const std::uint32_t i : *readyList)
                walkFrom(i);
            continue;
        }
        std::vector<std::vector<std::uint32_t>> seeds;
        try
        {
            seeds.resize(ofClass.size());
            for (std::size_t block = 0; block < seeds.size(); ++block)
                seeds[block].reserve(ofClass[block]);
        }
        catch (const std::bad_alloc&)
        {
            seeds.clear();
        }
        if (seeds.size() == ofClass.size())
        {
            // Each block's list has room for its count: the jobs allocate
            // nothing.
            ForEachBlockOnPool(count, [&](std::uint32_t begin, std::uint32_t end) {
                // Filled as a local and moved back (neither allocates): the
                // list objects of neighbouring blocks share cache lines.
                std::vector<std::uint32_t> list = std::move(seeds[begin / kPoolBlock]);
                for (std::uint32_t i = begin; i < end; ++i)
                    if (IsVisibleSelected(*mesh.GetTriangle(i)) == selectedPass)
                        list.push_back(i);
                seeds[begin / kPoolBlock] = std::move(list);
            });
            // On a big mesh the class's regions are found on the pool over
            // the list alone; walking them one after another took longer.
            if (count >= kRegionsOnPoolFrom && flippedOnPool([&](stAfterFlip after) {
                    std::vector<std::uint32_t> listed;
                    try
                    {
                        listed.reserve(walked);
                    }
                    catch (const std::bad_alloc&)
                    {
                        return false;
                    }
                    for (const std::vector<std::uint32_t>& list : seeds)
                        listed.insert(listed.end(), list.begin(), list.end());
                    return FlipSmallListedRegionsOnPool(mesh, limit, selectedPass, listed, after);
                }))
                continue;
            for (const std::vector<std::uint32_t>& list : seeds)
                for (const std::uint32_t i : list)
                    walkFrom(i);
        }
        else
        {
            for (std::uint32_t i = 0; i < count; ++i)
                walkFrom(i);
        }
    }
    if (!scratchCleared)
        ForEachTriangleOnPool(mesh, [&](cMeshTriangle& t) {
            t.flags &= static_cast<std::uint8_t>(~kTriangleFlagScratch);
            if (refreshVertices)
                MarkCornersInSelection(mesh, t);
        });
}

double SegmentationAreaLimit(const float box[6])
{
    if (!IsValidBoundingBox3f(box))
        return 0.0;
    // A length compared with areas would clean up every region of a part
    // modelled in metres and nothing of one in micrometres, and in
    // millimetres it is too small to take the facet strips and noise scraps
    // that a finer mesh of the same faces frees from the band.
    const double side = BoxMaxExtent(box) / kCleanUpDivisor;
    return side * side;
}

void RefreshSelectedVertices(cMesh& mesh)
{
    ForEachVertexOnPool(mesh, [](cVertex& v) { v.flags &= ~kVertexFlagInSelection; });
    ForEachTriangleOnPool(mesh, [&mesh](cMeshTriangle& t) { MarkCornersInSelection(mesh, t); });
}
