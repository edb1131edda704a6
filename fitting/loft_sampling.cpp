#include "fitting/loft_sampling.h"

#include "core/frame_math.h"
#include "core/vertex_grid.h"
#include "fitting/loft_loop_sampling.h"

#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

namespace
{

using Vec = t3DPoint<double>;

// Sections longer than this many samples are refused: the grid would not
// fit in memory anyway.
constexpr std::int64_t kMaxGridVertices = std::int64_t{1} << 28;

void StorePoint(cVertex& v, const Vec& p)
{
    v.x = static_cast<float>(p.x);
    v.y = static_cast<float>(p.y);
    v.z = static_cast<float>(p.z);
    if (std::fabs(v.x - FLT_MAX) <= FLT_EPSILON)
        v.flags |= 1u;
    else
        v.flags &= ~1u;
}

Vec UnitTangent(const Vec& v)
{
    if (std::fabs(v.x) + std::fabs(v.y) + std::fabs(v.z) < FLT_EPSILON)
        return v;
    const double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / length, v.y / length, v.z / length};
}

// The curve's point and tangent in the world at a fraction: what
// EvaluateInWorld answers, without the third direction, which the grid has
// no use for and which costs a spline a search per interpolation point.
bool SampleInWorld(const ST_ISectionCurve& curve, double fraction, Vec& point, Vec& tangent)
{
    const ST_IWire* wire = curve.GetWire();
    Vec p, t;
    if (wire == nullptr || !wire->EvaluateAtFraction(fraction, &p, &t))
        return false;
    point = curve.LocalToWorld(p);
    tangent = curve.LocalToWorldDirection(t);
    return true;
}

bool IsFinitePoint(const Vec& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// The direction in which the curve leaves one end, judged over a run of
// `run` inside that end. The end tangent of a curve through noisy scan
// points turns with their jitter over their spacing, and a border step
// longer than a thin section sent the border off the scan; over the run the
// jitter averages out. A curve at least twice the run long gives its bend
// too: the direction is the end tangent of the least-squares parabola
// through its points on the run, so a border continues a round section as
// smoothly as its own tangent would. A shorter curve's bend is no better
// known than its noise: the step follows the chord of the run.
Vec OutwardDirection(const ST_ISectionCurve& curve, const Vec& end, bool atStart, double run)
{
    constexpr int kSteps = 64;
    // Offsets q from the end at chord distances s, and the sums of the
    // parabola q(s) = a s + b s^2 fitted to them.
    double s2 = 0.0, s3 = 0.0, s4 = 0.0;
    Vec sq{0.0, 0.0, 0.0}, s2q{0.0, 0.0, 0.0}, farthest = end;
    for (int k = 1; k <= kSteps; ++k)
    {
        Vec p, t;
        const double fraction = static_cast<double>(k) / kSteps;
        if (!SampleInWorld(curve, atStart ? fraction : 1.0 - fraction, p, t))
            continue;
        const Vec q{p.x - end.x, p.y - end.y, p.z - end.z};
        const double s = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
        s2 += s * s, s3 += s * s * s, s4 += s * s * s * s;
        sq = {sq.x + s * q.x, sq.y + s * q.y, sq.z + s * q.z};
        s2q = {s2q.x + s * s * q.x, s2q.y + s * s * q.y, s2q.z + s * s * q.z};
        farthest = p;
        if (s >= run)
            break;
    }
    const ST_IWire* wire = curve.GetWire();
    const double det = s2 * s4 - s3 * s3;
    if (wire != nullptr && wire->GetLength() >= 2.0 * run && det > 1e-12 * s2 * s4 && std::isfinite(det))
        // The end leaves inwards along a, so outwards along -a.
        return UnitTangent({(s2q.x * s3 - sq.x * s4) / det, (s2q.y * s3 - sq.y * s4) / det,
                            (s2q.z * s3 - sq.z * s4) / det});
    return UnitTangent({end.x - farthest.x, end.y - farthest.y, end.z - farthest.z});
}

// Puts the curve through the points (world coordinates) and moves the two
// outer vertices d beyond its ends, each in the direction the curve leaves
// that end over a run of d.
void ExtendLine(ST_ISectionCurve& curve, const tPolyline<cVertex>& inner, cVertex& first, cVertex& last, double d)
{
    curve.SetClosed(false);
    curve.SetMergeMode(0);
    curve.SetSmoothing(-1.0f);
    curve.SetId(1);
    double identity[12];
    MakeIdentity3x4(identity);
    if (!curve.FitToPolyline(identity, inner, 0.0, 0))
        return;
    Vec p0, t0, p1, t1;
    if (!SampleInWorld(curve, 0.0, p0, t0) || !SampleInWorld(curve, 1.0, p1, t1))
        return;
    t0 = OutwardDirection(curve, p0, true, d);
    t1 = OutwardDirection(curve, p1, false, d);
    StorePoint(first, {p0.x + d * t0.x, p0.y + d * t0.y, p0.z + d * t0.z});
    StorePoint(last, {p1.x + d * t1.x, p1.y + d * t1.y, p1.z + d * t1.z});
}

// Extends the rows first .. last past the first and the last inner column.
void ExtendRows(cVertexGrid& grid, ST_ISectionCurve& templateCurve, double distance, std::uint32_t first,
                std::uint32_t last)
{
    const std::uint32_t rows = grid.GetRows();
    const std::uint32_t cols = grid.GetCols();
    auto at = [&](std::uint32_t r, std::uint32_t c) -> cVertex& { return *grid.GetVertex(c * rows + r); };
    for (std::uint32_t r = first; r <= last; ++r)
    {
        tPolyline<cVertex> inner;
        for (std::uint32_t c = 1; c + 1 < cols; ++c)
            inner.AddVertex(at(r, c));
        ExtendLine(templateCurve, inner, at(r, 0), at(r, cols - 1), distance);
    }
}

// Every section is closed: the loft is a tube.
bool AllLoops(const stLoftSections& source)
{
    for (const LoftSection& section : source.sections)
        if (section.curve && !section.curve->IsClosed())
            return false;
    return true;
}

} // namespace

void ExtendGridBorder(cVertexGrid& grid, ST_ISectionCurve& templateCurve, double distance)
{
    const std::uint32_t rows = grid.GetRows();
    const std::uint32_t cols = grid.GetCols();
    if (rows < 3 || cols < 3)
        return;
    auto at = [&](std::uint32_t r, std::uint32_t c) -> cVertex& { return *grid.GetVertex(c * rows + r); };
    ExtendRows(grid, templateCurve, distance, 1, rows - 2);
    for (std::uint32_t c = 0; c < cols; ++c)
    {
        tPolyline<cVertex> inner;
        for (std::uint32_t r = 1; r + 1 < rows; ++r)
            inner.AddVertex(at(r, c));
        ExtendLine(templateCurve, inner, at(0, c), at(rows - 1, c), distance);
    }
}

bool SampleLoftToGrid(const ST_ISectionCurve* guide, const stLoftSections& source, stLoftSections* destination)
{
    if (source.sections.size() < 2)
        return false;
    const double guideLength = guide != nullptr && guide->GetWire() != nullptr ? guide->GetWire()->GetLength() : 0.0;
    double sum = 0.0;
    std::uint32_t withWire = 0;
    for (const LoftSection& section : source.sections)
        if (section.curve && section.curve->GetWire() != nullptr)
        {
            sum += section.curve->GetWire()->GetLength();
            ++withWire;
        }
    const double meanLength = withWire > 0 ? sum / withWire : 0.0;
    const double length = std::max(meanLength, guideLength);
    const std::uint32_t border = source.expand > FLT_EPSILON ? 1u : 0u;

    const std::uint32_t k = CountValidSections(source);
    const std::int32_t m = source.sampling;
    // Loops have no ends to grow past: pushed along their tangents, the ends
    // would cross over the seam and stick out of the tube.
    const bool loops = AllLoops(source);
    if (k < 2 || m < (loops ? 3 : 2))
        return false;
    const std::int64_t rows = m + (loops ? 0 : 2 * static_cast<std::int64_t>(border));
    const std::int64_t cols = k + 2 * static_cast<std::int64_t>(border);
    if (rows * cols > kMaxGridVertices)
        return false;
    cVertexGrid grid;
    if (!grid.SetSize(static_cast<std::uint32_t>(rows), static_cast<std::uint32_t>(cols), true) ||
        grid.GetRows() != rows || grid.GetCols() != cols)
        return false;

    std::vector<const ST_ISectionCurve*> valid;
    for (const LoftSection& section : source.sections)
        if (section.curve)
            valid.push_back(section.curve.get());
    const ST_ISectionCurve* first = valid.front();
    if (loops)
    {
        std::vector<std::vector<Vec>> samples;
        if (!SampleAlignedLoops(valid, m, samples))
            return false;
        for (std::uint32_t s = 0; s < k; ++s)
            for (std::int32_t j = 0; j < m; ++j)
                StorePoint(*grid.GetVertex((s + border) * static_cast<std::uint32_t>(rows) + j), samples[s][j]);
    }
    std::uint32_t column = border;
    for (const LoftSection& section : source.sections)
    {
        if (!section.curve || loops)
            continue;
        for (std::int32_t j = 0; j < m; ++j)
        {
            Vec p, t;
            if (!SampleInWorld(*section.curve, static_cast<double>(j) / static_cast<double>(m - 1), p, t) ||
                !IsFinitePoint(p))
                return false;
            StorePoint(*grid.GetVertex(column * static_cast<std::uint32_t>(rows) + border + j), p);
        }
        ++column;
    }

    std::unique_ptr<ST_ISectionCurve> templateCurve = first->Clone();
    if (!templateCurve)
        return false;
    if (border != 0 && loops)
        ExtendRows(grid, *templateCurve, length * source.expand * 0.5, 0, static_cast<std::uint32_t>(rows) - 1);
    else if (border != 0)
        ExtendGridBorder(grid, *templateCurve, length * source.expand * 0.5);
    if (destination == nullptr)
        return false;

    DeleteEntryObjects(destination->sections);
    destination->sections.clear();
    destination->ResetSettings();
    double identity[12];
    MakeIdentity3x4(identity);
    for (std::uint32_t c = 0; c < cols; ++c)
    {
        std::unique_ptr<ST_ISectionCurve> curve = templateCurve->Clone();
        if (!curve)
            continue;
        curve->SetClosed(loops);
        curve->SetMergeMode(0);
        curve->SetSmoothing(-1.0f);
        tPolyline<cVertex> points;
        for (std::uint32_t r = 0; r < rows; ++r)
            points.AddVertex(*grid.GetVertex(c * static_cast<std::uint32_t>(rows) + r));
        // A loop's curve runs back to its first point: the curve through
        // the points then is the loop, and nothing is left for the loft to
        // guess across a gap.
        if (loops)
            points.AddVertex(*grid.GetVertex(c * static_cast<std::uint32_t>(rows)));
        curve->SetId(1);
        curve->FitToPolyline(identity, points, 0.0, 0);
        LoftSection entry;
        entry.curve = std::move(curve);
        entry.position = static_cast<double>(c) / static_cast<double>(cols - 1);
        destination->sections.push_back(std::move(entry));
    }
    return true;
}
