#include "fitting/section_merge.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <utility>
#include <vector>

#include "core/bounding_box.h"
#include "core/rb_tree.h"
#include "core/vector_math.h"
#include "fitting/circle_fit.h"
#include "fitting/line_fit.h"
#include "fitting/marching_squares.h"
#include "fitting/polyline_simplify.h"

namespace
{

// Outline cell edges are these fractions of the section's extent.
constexpr float kOutlineDivisors[5] = {5.0f, 10.0f, 20.0f, 30.0f, 40.0f};
// A thin section's cell is measured on at least this fraction of its longer
// extent, so that a straight or nearly straight section keeps a usable cell.
constexpr float kThinSectionRatio = 100.0f;
// Merged points are thinned with this tolerance and no chord limit.
constexpr float kMergeSimplifyTolerance = 1e-4f;

// A vertex ordered along the outline by its scalar slot; a record with a key
// equal to an earlier one goes before it.
struct stVInfo
{
    cVertex vertex;
};

} // namespace

template <> struct tRBOrder<stVInfo>
{
    static int Compare(const stVInfo& a, const stVInfo& b)
    {
        const float ka = a.vertex.GetScalar(), kb = b.vertex.GetScalar();
        if (ka < kb)
            return -1;
        return kb < ka ? 1 : 0;
    }
    static constexpr bool kUnique = false;
};

namespace
{

// Every vertex of the collection in its polyline's frame, in order.
std::vector<cVertex> CollectLocalVertices(const tSectionPolylines& collection)
{
    std::vector<cVertex> vertices;
    for (const tFramePolyline<cVertex>& polyline : collection.items)
        for (std::uint32_t i = 0; i < polyline.GetVertexCount(); ++i)
            vertices.push_back(polyline.GetVertexInFrame(i));
    return vertices;
}

tFitPointQueue MakeFitPoints(const std::vector<cVertex>& vertices)
{
    tFitPointQueue points;
    for (const cVertex& v : vertices)
    {
        stFitPoint p;
        for (int k = 0; k < 3; ++k)
            p.position[k] = v.Position()[k];
        p.normal[0] = 1.0f;
        p.active = 1;
        p.residual = FLT_MAX;
        points.push_back(p);
    }
    return points;
}

// Up to this many points with equal keys, the merge keeps the exact order of
// the exchange sort that section curves were always merged with (its
// quadratic cost stays in the milliseconds); beyond it, and whenever every
// key differs, a stable sort gives the same order for distinct keys.
constexpr std::size_t kExchangeOrderLimit = 4096;

// Ascending keys; a key that is not a number goes after every number.
bool KeyBefore(double a, double b)
{
    return a < b || (!std::isnan(a) && std::isnan(b));
}

// The exchange sort: for every position, every later entry with a smaller key
// is swapped into it. Equal keys end up in the order this swapping leaves
// them in, which is not their input order.
void ExchangeSort(std::vector<std::pair<double, cVertex>>& keyed)
{
    const std::size_t n = keyed.size();
    for (std::size_t i = 0; i + 1 < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j)
            if (KeyBefore(keyed[j].first, keyed[i].first))
                std::swap(keyed[i], keyed[j]);
}

bool HasEqualKeys(const std::vector<std::pair<double, cVertex>>& keyed)
{
    std::vector<double> keys;
    keys.reserve(keyed.size());
    for (const auto& entry : keyed)
        keys.push_back(entry.first);
    std::sort(keys.begin(), keys.end(), KeyBefore);
    for (std::size_t i = 1; i < keys.size(); ++i)
        if (!KeyBefore(keys[i - 1], keys[i]))
            return true;
    return false;
}

// Replaces the output by the vertices in ascending key order (a key that is
// not a number goes last), then thins it.
void StoreSortedAndSimplify(std::vector<std::pair<double, cVertex>>& keyed, tPolyline<cVertex>& output)
{
    if (keyed.size() <= kExchangeOrderLimit && HasEqualKeys(keyed))
        ExchangeSort(keyed);
    else
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto& a, const auto& b) { return KeyBefore(a.first, b.first); });
    output.Clear();
    for (const auto& entry : keyed)
        output.AddVertex(entry.second);
    SimplifyPolyline(output, kMergeSimplifyTolerance, FLT_MAX);
}

void UnitOrAsIs(double v[3])
{
    NormaliseVector3d(v);
}

} // namespace

std::int32_t FindLongestPolyline(const tSectionPolylines& collection)
{
    std::int32_t best = -1;
    double bestLength = 0.0;
    for (std::uint32_t i = 0; i < collection.GetCount(); ++i)
    {
        const double length = collection[i].GetLength();
        if (length > bestLength)
        {
            bestLength = length;
            best = static_cast<std::int32_t>(i);
        }
    }
    return best;
}

float OutlineCellSize(std::int32_t mode, float dx, float dy)
{
    const std::int32_t k = std::min(std::max(mode - kMergeOutline, 0), 4);
    const float divisor = kOutlineDivisors[k];
    const float smaller = std::min(dx, dy);
    const float larger = std::max(dx, dy);
    if (!(larger > 0.0f) || !std::isfinite(larger))
        return 0.0f;
    const float size = std::max(smaller, larger / kThinSectionRatio);
    // The edge is cut down to two decimals; a part too small for that keeps
    // its exact fraction instead of losing its cell altogether.
    float cell = std::trunc(size / divisor * 100.0f) / 100.0f;
    if (cell <= FLT_EPSILON)
        cell = size / divisor;
    if (OutlineCellLimit() > 0)
        cell = std::max(cell, larger / static_cast<float>(OutlineCellLimit()));
    return cell > FLT_EPSILON ? cell : 0.0f;
}

std::int32_t& OutlineCellLimit()
{
    thread_local std::int32_t limit = 0;
    return limit;
}

void ProjectOntoOutline(cVertex& vertex, const tPolyline<cVertex>& outline)
{
    vertex.SetScalar(0.0f);
    const std::uint32_t n = outline.GetVertexCount();
    if (n < 2)
        return;
    double best = DBL_MAX;
    double position = 0.0;
    for (std::uint32_t i = 0; i + 1 < n; ++i)
    {
        const cVertex& a = *outline.GetVertex(i);
        const cVertex& b = *outline.GetVertex(i + 1);
        const double abx = static_cast<double>(b.x) - a.x;
        const double aby = static_cast<double>(b.y) - a.y;
        const double lengthSquared = abx * abx + aby * aby;
        // A zero-length segment is its start point.
        const double t = lengthSquared > 0.0
                             ? ((static_cast<double>(vertex.x) - a.x) * abx + (static_cast<double>(vertex.y) - a.y) * aby) /
                                   lengthSquared
                             : 0.0;
        const double clamped = std::clamp(t, 0.0, 1.0);
        const double qx = a.x + clamped * abx;
        const double qy = a.y + clamped * aby;
        const double ex = vertex.x - qx, ey = vertex.y - qy, ez = vertex.z;
        const double distance = std::sqrt(ex * ex + ey * ey + ez * ez);
        if (distance < best)
        {
            best = distance;
            position = a.GetScalar() + std::sqrt(lengthSquared) * clamped;
        }
    }
    vertex.SetScalar(static_cast<float>(position));
}

void ReorderAlongOutline(tSectionPolylines collection, tPolyline<cVertex>& outline)
{
    tPolyline<cVertex> work = outline;
    double along = 0.0;
    for (std::uint32_t i = 0; i < work.GetVertexCount(); ++i)
    {
        if (i > 0)
            along += PointDistance(work.GetVertex(i - 1)->Position(), work.GetVertex(i)->Position());
        work.GetVertex(i)->SetScalar(static_cast<float>(along));
    }
    outline.Clear();

    tRBTree<stVInfo> ordered;
    for (const tFramePolyline<cVertex>& polyline : collection.items)
    {
        for (std::uint32_t i = 0; i < polyline.GetVertexCount(); ++i)
        {
            stVInfo info{polyline.GetVertexInFrame(i)};
            ProjectOntoOutline(info.vertex, work);
            ordered.Insert(info);
        }
    }
    for (auto* node = ordered.First(); node != nullptr; node = ordered.Next(node))
        outline.AddVertex(node->value.vertex);
}

void MergePolylinesByLines(tSectionPolylines collection, tPolyline<cVertex>& output)
{
    const std::vector<cVertex> vertices = CollectLocalVertices(collection);
    cLineFit fit(MakeFitPoints(vertices));
    fit.ActivateAllPoints();
    double origin[3] = {0.0, 0.0, 0.0};
    double direction[3] = {1.0, 0.0, 0.0};
    fit.Fit(origin, direction);
    double start[3], end[3];
    fit.GetExtent(origin, direction, start, end);

    std::vector<std::pair<double, cVertex>> keyed;
    keyed.reserve(vertices.size());
    for (const cVertex& v : vertices)
    {
        const double rel[3] = {v.x - origin[0], v.y - origin[1], v.z - origin[2]};
        const double along = Dot3d(rel, direction);
        double offset[3];
        for (int k = 0; k < 3; ++k)
            offset[k] = origin[k] + along * direction[k] - start[k];
        keyed.emplace_back(std::sqrt(Dot3d(offset, offset)), v);
    }
    StoreSortedAndSimplify(keyed, output);
}

void MergePolylinesByArcs(const tSectionPolylines& collection, tPolyline<cVertex>& output)
{
    const std::vector<cVertex> vertices = CollectLocalVertices(collection);
    cCircleFit fit(MakeFitPoints(vertices));
    fit.ActivateAllPoints();
    double centre[3] = {0.0, 0.0, 0.0};
    double radius = 0.0;
    if (fit.Fit(centre, radius))
        fit.Refine(centre, radius);
    double middle[3], start[3], end[3];
    fit.GetArcEnds(centre, radius, middle, start, end);
    // Angles are measured from the middle of the arc, so that they stay
    // within (-pi, pi) for every arc short of a full circle.
    double reference[3] = {middle[0] - centre[0], middle[1] - centre[1], middle[2] - centre[2]};
    UnitOrAsIs(reference);

    std::vector<std::pair<double, cVertex>> keyed;
    keyed.reserve(vertices.size());
    for (const cVertex& v : vertices)
    {
        double w[3] = {v.x - centre[0], v.y - centre[1], v.z - centre[2]};
        UnitOrAsIs(w);
        double angle = std::acos(std::clamp(Dot3d(reference, w), -1.0, 1.0));
        if (reference[0] * w[1] - reference[1] * w[0] < 0.0)
            angle = -angle;
        keyed.emplace_back(angle, v);
    }
    StoreSortedAndSimplify(keyed, output);
}

void MergeSectionPolylines(std::int32_t mode, const tSectionPolylines& collection, tPolyline<cVertex>& output)
{
    if (collection.IsEmpty())
    {
        output.Clear();
        return;
    }
    if (mode <= kMergeLongest)
    {
        const std::int32_t longest = FindLongestPolyline(collection);
        if (longest < 0)
            return;
        const tFramePolyline<cVertex>& piece = collection[static_cast<std::uint32_t>(longest)];
        output = static_cast<const tPolyline<cVertex>&>(piece);
        for (std::uint32_t i = 0; i < piece.GetVertexCount(); ++i)
            *output.GetVertex(i) = piece.GetVertexInFrame(i);
        output.boxValid = 0;
        return;
    }
    if (mode == kMergeByArc)
    {
        MergePolylinesByArcs(collection, output);
        return;
    }
    if (mode == kMergeByLine)
    {
        MergePolylinesByLines(collection, output);
        return;
    }

    output.Clear();
    float box[6];
    MakeEmptyBox3f(box);
    for (const tFramePolyline<cVertex>& polyline : collection.items)
    {
        float local[6];
        polyline.GetLocalBoundingBox(local);
        if (polyline.IsEmpty())
            continue;
        GrowBox3f(box, local);
        GrowBox3f(box, local + 3);
    }
    const float cell = OutlineCellSize(mode, box[3] - box[0], box[4] - box[1]);
    if (cell <= 0.0f)
        return;
    cMarchingSquares squares(cell);
    if (!squares.EncodePolylines(collection))
        return;
    squares.ClearContourStore();
    tSectionPolylines outlines;
    if (squares.GetCutCellCount() > 0)
        squares.Polygonize(outlines);
    const std::int32_t chosen = outlines.GetCount() == 1 ? 0 : FindLongestPolyline(outlines);
    if (chosen < 0)
        return;
    output = static_cast<const tPolyline<cVertex>&>(outlines[static_cast<std::uint32_t>(chosen)]);
    ReorderAlongOutline(collection, output);
}
