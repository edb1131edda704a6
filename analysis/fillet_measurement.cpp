#include "analysis/fillet_measurement.h"

#include "core/frame_math.h"
#include "fitting/circle_fit.h"
#include "fitting/mesh_plane_sectioner.h"
#include "platform/geometry/curve.h"
#include "shapes/section_curve_geometry.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <vector>

namespace
{

// A closed cut comes back with its first point repeated at the end.
constexpr double kSeamSquared = 1e-8;
// The least number of points the first, blind guess of the stretch holds,
// so that the first circle is not fitted to noise alone.
constexpr std::size_t kLeastFirstRun = 7;
// Rounds of "fit, then reach as far as the circle says" before giving up on
// the stretch settling; it settles in two or three.
constexpr int kMaxReachRounds = 12;
// How much better than a straight line a circle must fit a stretch for its
// bend to count as the fillet's and not the noise's.
constexpr double kClearBend = 4.0;
// An end point of the stretch lies off the arc when farther from the circle
// of the others than this many times their spread, and than this fraction of
// the radius (the rounding of exact points far from the origin).
constexpr double kOffArcSpread = 4.0;
constexpr double kOffArcRounding = 1e-4;
// The farthest apart, as a fraction of the radius, that points on the arc
// may lie for its radius: a chord that long lies 2% of the radius inside.
constexpr double kLargestArcStep = 0.4;
// How much wider the circle of one side of the edge point must be than the
// other's for that side to count as a face beside the arc.
constexpr double kSideRadiusRatio = 2.0;
// How much the circle of the arc's side must change when that side reaches
// a whole radius for the shorter stretch to count as unsettled.
constexpr double kUnsettledArc = 0.2;
// How far apart, in the cut's longest steps (the widest triangles it
// crosses), the ends of two pieces of one cut may lie for a hole in the scan
// to be what parts them: a missed point takes the triangles around it.
constexpr double kHoleGapSteps = 4.0;

double Distance2D(const t3DPoint<float>& p)
{
    return std::hypot(static_cast<double>(p.x), static_cast<double>(p.y));
}

// The Part's pair of fits on the same points: the smaller radius of the two
// that succeed, with the centre of that fit.
bool FitStretch(const std::vector<t3DPoint<float>>& local, const std::vector<std::uint32_t>& run, double tolerance,
                double centre[3], double& radius)
{
    tFitPointQueue points;
    for (std::uint32_t i : run)
    {
        stFitPoint record;
        record.position[0] = local[i].x;
        record.position[1] = local[i].y;
        record.position[2] = local[i].z;
        record.active = 1;
        record.residual = FLT_MAX;
        points.push_back(record);
    }
    cCircleFit fit(points);
    bool any = false;
    radius = FLT_MAX;
    double c[3];
    double r = FLT_MAX;
    if (fit.FitRobust(c, r, tolerance) && std::isfinite(r))
    {
        any = true;
        radius = r;
        std::copy(c, c + 3, centre);
    }
    if (fit.FitConsensus(c, r, tolerance) && std::isfinite(r) && r < radius)
    {
        any = true;
        radius = r;
        std::copy(c, c + 3, centre);
    }
    return any;
}

// Root mean square distance of the stretch from the circle and from its best
// straight line (the smaller principal spread of the points).
void StretchSpreads(const std::vector<t3DPoint<float>>& local, const std::vector<std::uint32_t>& run,
                    const double centre[3], double radius, double& circleRms, double& lineRms)
{
    double mx = 0.0, my = 0.0, sum = 0.0;
    for (std::uint32_t i : run)
    {
        mx += local[i].x;
        my += local[i].y;
        const double e = std::hypot(local[i].x - centre[0], local[i].y - centre[1]) - radius;
        sum += e * e;
    }
    const double n = static_cast<double>(run.size());
    mx /= n;
    my /= n;
    double sxx = 0.0, syy = 0.0, sxy = 0.0;
    for (std::uint32_t i : run)
    {
        const double dx = local[i].x - mx, dy = local[i].y - my;
        sxx += dx * dx;
        syy += dy * dy;
        sxy += dx * dy;
    }
    sxx /= n;
    syy /= n;
    sxy /= n;
    const double half = 0.5 * (sxx + syy);
    const double smallest = half - std::sqrt(std::max(0.0, 0.25 * (sxx - syy) * (sxx - syy) + sxy * sxy));
    circleRms = std::sqrt(sum / n);
    lineRms = std::sqrt(std::max(0.0, smallest));
}

// A stretch so short that its bend hides in the noise gives a circle of the
// noise: the circle must explain the points clearly better than a line does.
bool BendsClearly(const std::vector<t3DPoint<float>>& local, const std::vector<std::uint32_t>& run,
                  const double centre[3], double radius)
{
    double circleRms = 0.0, lineRms = 0.0;
    StretchSpreads(local, run, centre, radius, circleRms, lineRms);
    return lineRms >= kClearBend * circleRms;
}

double ResidualOf(const t3DPoint<float>& p, const double centre[3], double radius)
{
    return std::fabs(std::hypot(p.x - centre[0], p.y - centre[1]) - radius);
}

// How the points of a stretch lie about a circle: their spread about it
// counted as a fit's noise (less the three points any circle passes
// through), and the chord error of their
// spacing (how far inside the circle the cut of a tessellated round takes
// its points on the chords, a fraction of it: a face's point one spacing past
// the arc's end lies that far off).
struct stArcSpread
{
    double noise = 0.0;
    double chord = 0.0;
};

stArcSpread SpreadAbout(const std::vector<t3DPoint<float>>& local, const std::vector<std::uint32_t>& arc,
                        const double centre[3], double radius)
{
    double squares = 0.0, length = 0.0;
    for (std::size_t k = 0; k < arc.size(); ++k)
    {
        const double e = ResidualOf(local[arc[k]], centre, radius);
        squares += e * e;
        if (k > 0)
            length += std::hypot(static_cast<double>(local[arc[k]].x) - local[arc[k - 1]].x,
                                 static_cast<double>(local[arc[k]].y) - local[arc[k - 1]].y);
    }
    stArcSpread s;
    s.noise = std::sqrt(squares / static_cast<double>(std::max<std::size_t>(arc.size(), 4) - 3));
    const double spacing = arc.size() > 1 ? length / static_cast<double>(arc.size() - 1) : 0.0;
    s.chord = std::max(spacing * spacing / (2.0 * radius), kOffArcRounding * radius);
    return s;
}

// How far from the circle of a stretch a point lies off its arc.
double OffArcDistance(const stArcSpread& s)
{
    return std::max(kOffArcSpread * s.noise, s.chord);
}

// The stretch's part on one side of the vertex nearest the edge point (that
// vertex included): 0 before it, 1 after it; empty when it is not there.
std::vector<std::uint32_t> SideOf(const std::vector<std::uint32_t>& run, std::uint32_t nearest, int side)
{
    const auto at = std::find(run.begin(), run.end(), nearest);
    if (at == run.end())
        return {};
    return side == 0 ? std::vector<std::uint32_t>(run.begin(), at + 1) : std::vector<std::uint32_t>(at, run.end());
}

// Keeps to the one side of the nearest vertex whose points (as many as a
// first stretch holds) bend clearly while the other side's do not; false,
// the stretch unchanged, otherwise.
bool KeepToTheBendingSide(const std::vector<t3DPoint<float>>& local, std::uint32_t nearest, double tolerance,
                          std::vector<std::uint32_t>& run, double centre[3], double& radius)
{
    int bending = -1;
    double c[2][3], r[2] = {FLT_MAX, FLT_MAX};
    for (int side = 0; side < 2; ++side)
    {
        const std::vector<std::uint32_t> part = SideOf(run, nearest, side);
        if (part.size() < kLeastFirstRun || !FitStretch(local, part, tolerance, c[side], r[side]) ||
            !BendsClearly(local, part, c[side], r[side]))
            continue;
        if (bending >= 0)
            return false;
        bending = side;
    }
    if (bending < 0)
        return false;
    run = SideOf(run, nearest, bending);
    std::copy(c[bending], c[bending] + 3, centre);
    radius = r[bending];
    return true;
}

// An edge along the fillet's side (a tangent edge of a CAD model) lies on
// the circle where the arc meets a face, and the stretch around it holds the
// face on one side of the nearest point and the arc on the other. When the
// circles of the two sides differ twice over, the tighter one is the
// fillet's and the stretch keeps to its side. The side kept (0 before the
// nearest point, 1 after it), or -1 when the stretch stays as it was.
int KeepToTheTighterSide(const std::vector<t3DPoint<float>>& local, std::uint32_t nearest, double tolerance,
                         std::vector<std::uint32_t>& run, double centre[3], double& radius)
{
    const std::vector<std::uint32_t> before = SideOf(run, nearest, 0), after = SideOf(run, nearest, 1);
    if (before.size() < kLeastArcPoints || after.size() < kLeastArcPoints)
        return -1;
    // A side on a line fits no circle: as wide as can be.
    double cb[3], rb = FLT_MAX, ca[3], ra = FLT_MAX;
    if (!FitStretch(local, before, tolerance, cb, rb))
        rb = FLT_MAX;
    if (!FitStretch(local, after, tolerance, ca, ra))
        ra = FLT_MAX;
    if (rb == FLT_MAX && ra == FLT_MAX)
        return -1;
    if (rb * kSideRadiusRatio < ra)
    {
        run = before;
        std::copy(cb, cb + 3, centre);
        radius = rb;
        return 0;
    }
    if (ra * kSideRadiusRatio < rb)
    {
        run = after;
        std::copy(ca, ca + 3, centre);
        radius = ra;
        return 1;
    }
    return -1;
}

// Drops the end points of the stretch that the circle of the others does not
// pass through: a point of a face that the stretch reached (an edge along the
// fillet's side has the face within half the radius) bends the circle
// towards the face, most of all where the arc holds few points. The end
// points are tried one at a time and both together, so that faces on both
// sides of a short arc go too.
void TrimOffArcEnds(const std::vector<t3DPoint<float>>& local, std::vector<std::uint32_t>& run, double tolerance,
                    double centre[3], double& radius)
{
    while (run.size() > 3)
    {
        int worst = -1;
        double worstExcess = 1.0, bestCentre[3] = {0, 0, 0}, bestRadius = 0.0;
        // 0: the first point, 1: the last, 2: both.
        for (int drop = 0; drop < 3; ++drop)
        {
            const std::size_t front = drop != 1 ? 1 : 0, back = drop != 0 ? 1 : 0;
            if (run.size() < front + back + 3)
                continue;
            const std::vector<std::uint32_t> rest(run.begin() + std::ptrdiff_t(front), run.end() - std::ptrdiff_t(back));
            double c[3], r = FLT_MAX;
            if (!FitStretch(local, rest, tolerance, c, r))
                continue;
            const double off = OffArcDistance(SpreadAbout(local, rest, c, r));
            double excess = DBL_MAX;
            if (front)
                excess = std::min(excess, ResidualOf(local[run.front()], c, r) / off);
            if (back)
                excess = std::min(excess, ResidualOf(local[run.back()], c, r) / off);
            if (excess > worstExcess)
            {
                worst = drop;
                worstExcess = excess;
                std::copy(c, c + 3, bestCentre);
                bestRadius = r;
            }
        }
        if (worst < 0)
            return;
        if (worst != 1)
            run.erase(run.begin());
        if (worst != 0)
            run.pop_back();
        std::copy(bestCentre, bestCentre + 3, centre);
        radius = bestRadius;
    }
}

// An edge along the fillet's side has the whole arc on one side of it, and
// the stretch kept there reaches about half the radius of its circle: on a
// noisy scan so little of the arc may bend by chance into a circle a
// fraction of the fillet's (0.73 for 2.5), which then keeps the stretch as
// short. The kept side is grown to reach as far as the radius of its
// circle, its ends off the arc (a face past the arc's end) trimmed; the
// wider circle is taken only when it differs from the shorter stretch's by
// more than kUnsettledArc, and then grown again. A settled circle stays as
// it was: a whole radius can reach past a short arc into the next face.
void GrowAlongTheArcSide(const std::vector<t3DPoint<float>>& local, bool closed, std::uint32_t nearest, int side,
                         double tolerance, std::vector<std::uint32_t>& run, double centre[3], double& radius)
{
    for (int round = 0; round < kMaxReachRounds; ++round)
    {
        std::vector<std::uint32_t> wider =
            SideOf(CollectRunWithinReach(local, closed, nearest, radius), nearest, side);
        if (wider.size() <= run.size())
            return;
        double c[3], r = FLT_MAX;
        if (!FitStretch(local, wider, tolerance, c, r))
            return;
        TrimOffArcEnds(local, wider, tolerance, c, r);
        if (wider.size() <= run.size() || !(std::fabs(r - radius) > kUnsettledArc * radius))
            return;
        run = std::move(wider);
        std::copy(c, c + 3, centre);
        radius = r;
    }
}

// Whether the stretch's points lie close enough along the arc to fix its
// radius: the points a cut takes on the chords of a coarsely tessellated
// round lie up to a fiftieth of the radius inside the circle.
bool DenseEnoughOnTheArc(const std::vector<t3DPoint<float>>& local, const std::vector<std::uint32_t>& run,
                         double radius)
{
    for (std::size_t k = 1; k < run.size(); ++k)
        if (std::hypot(static_cast<double>(local[run[k]].x) - local[run[k - 1]].x,
                       static_cast<double>(local[run[k]].y) - local[run[k - 1]].y) > kLargestArcStep * radius)
            return false;
    return true;
}

double SquaredGap(const cVertex& a, const cVertex& b)
{
    const double dx = static_cast<double>(a.x) - b.x, dy = static_cast<double>(a.y) - b.y,
                 dz = static_cast<double>(a.z) - b.z;
    return dx * dx + dy * dy + dz * dz;
}

// Whether a cut comes back to its start (a closed outline has no ends).
bool IsOpenCut(const tPolyline<cVertex>& cut)
{
    return cut.GetVertexCount() >= 2 && SquaredGap(*cut.GetFirstVertex(), *cut.GetLastVertex()) >= kSeamSquared;
}

// A hole in the scan (a missed point takes the faces around it) splits a
// cut into pieces whose ends face each other across the hole: the piece
// whose end lies nearest an end of the joined cut, within a few of the
// longest steps met so far, is joined to it, and so on, so that an arc that
// goes on beyond a hole is measured whole, not as the stub before it.
void JoinPiecesAcrossHoles(const tSectionPolylines& cuts, std::uint32_t chosen, tFramePolyline<cVertex>& joined)
{
    if (!IsOpenCut(joined))
        return;
    // The longest step of the joined cut: the widest triangle it crossed.
    double longest = 0.0;
    const auto grow = [&longest](const auto& points)
    {
        for (std::size_t i = 1; i < points.size(); ++i)
            longest = std::max(longest, SquaredGap(points[i], points[i - 1]));
    };
    grow(joined.vertices);
    std::vector<std::uint8_t> used(cuts.GetCount(), 0);
    used[chosen] = 1;
    for (;;)
    {
        // The nearest pair of ends within reach: which piece, whether it
        // goes after the joined cut (else before), and whether it runs the
        // other way.
        const double reach = kHoleGapSteps * std::sqrt(longest);
        double best = reach * reach;
        std::uint32_t piece = cuts.GetCount();
        bool after = false, reversed = false;
        for (std::uint32_t i = 0; i < cuts.GetCount(); ++i)
        {
            if (used[i] || !IsOpenCut(cuts[i]))
                continue;
            const cVertex* ends[2] = {cuts[i].GetFirstVertex(), cuts[i].GetLastVertex()};
            for (int e = 0; e < 2; ++e)
            {
                const double toLast = SquaredGap(*joined.GetLastVertex(), *ends[e]);
                const double toFirst = SquaredGap(*joined.GetFirstVertex(), *ends[e]);
                if (toLast < best)
                    best = toLast, piece = i, after = true, reversed = e == 1;
                if (toFirst < best)
                    best = toFirst, piece = i, after = false, reversed = e == 0;
            }
        }
        if (piece == cuts.GetCount())
            return;
        used[piece] = 1;
        std::vector<cVertex> points(cuts[piece].vertices.begin(), cuts[piece].vertices.end());
        grow(points);
        if (reversed)
            std::reverse(points.begin(), points.end());
        if (after)
            joined.vertices.insert(joined.vertices.end(), points.begin(), points.end());
        else
            joined.vertices.insert(joined.vertices.begin(), points.begin(), points.end());
        joined.boxValid = 0;
    }
}

} // namespace

bool EvaluateCurveAtNormalizedParameter(const ON_Curve* curve, double t, ON_3dPoint& point)
{
    if (curve == nullptr)
        return false;
    const ON_Interval domain = curve->Domain();
    if (!domain.IsIncreasing())
        return false;
    return curve->EvPoint(domain[0] + (domain[1] - domain[0]) * t, point);
}

std::vector<std::uint32_t> CollectRunWithinReach(const std::vector<t3DPoint<float>>& local, bool closed,
                                                 std::uint32_t nearest, double reach)
{
    std::vector<std::uint32_t> run;
    const std::size_t n = local.size();
    if (nearest >= n || !(Distance2D(local[nearest]) <= reach))
        return run;
    std::vector<std::uint32_t> before;
    std::size_t taken = 1;
    // Backwards first, then forwards; on a closed polyline both may go round
    // the seam, but together they never take more than every vertex once.
    std::size_t i = nearest;
    while (taken < n)
    {
        if (i == 0)
        {
            if (!closed)
                break;
            i = n;
        }
        --i;
        if (!(Distance2D(local[i]) <= reach))
            break;
        before.push_back(static_cast<std::uint32_t>(i));
        ++taken;
    }
    run.assign(before.rbegin(), before.rend());
    run.push_back(nearest);
    std::size_t j = nearest;
    while (taken < n)
    {
        j = j + 1 == n ? (closed ? 0 : n) : j + 1;
        if (j == n || !(Distance2D(local[j]) <= reach))
            break;
        run.push_back(static_cast<std::uint32_t>(j));
        ++taken;
    }
    return run;
}

double FitFilletArc(const tFramePolyline<cVertex>& polyline, double tolerance)
{
    std::vector<t3DPoint<float>> local;
    local.reserve(polyline.GetVertexCount());
    for (std::uint32_t i = 0; i < polyline.GetVertexCount(); ++i)
    {
        const cVertex v = polyline.GetVertexInFrame(i);
        if (std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z))
            local.push_back({v.x, v.y, v.z});
    }
    bool closed = false;
    if (local.size() >= 4)
    {
        const double dx = static_cast<double>(local.front().x) - local.back().x;
        const double dy = static_cast<double>(local.front().y) - local.back().y;
        const double dz = static_cast<double>(local.front().z) - local.back().z;
        if (dx * dx + dy * dy + dz * dz < kSeamSquared)
        {
            local.pop_back();
            closed = true;
        }
    }
    if (local.size() < 3)
        return FLT_MAX;

    // The edge point is the plane's origin.
    std::uint32_t nearest = 0;
    for (std::uint32_t i = 1; i < local.size(); ++i)
        if (Distance2D(local[i]) < Distance2D(local[nearest]))
            nearest = i;
    double length = 0.0;
    for (std::size_t i = 1; i < local.size(); ++i)
        length += std::hypot(static_cast<double>(local[i].x) - local[i - 1].x,
                             static_cast<double>(local[i].y) - local[i - 1].y);
    const double spacing = length / static_cast<double>(local.size() - 1);
    const double nearestDistance = Distance2D(local[nearest]);
    // Close enough to the edge point to hold a few points whatever the
    // fillet: an edge on the fillet reaches its neighbours, an edge at the
    // corner of the two faces reaches past the middle of the arc.
    const double leastReach = nearestDistance + 3.0 * spacing;

    double reach = leastReach;
    std::vector<std::uint32_t> run = CollectRunWithinReach(local, closed, nearest, reach);
    for (int grow = 0; run.size() < std::min(kLeastFirstRun, local.size()) && grow < 64; ++grow)
    {
        reach *= 1.5;
        run = CollectRunWithinReach(local, closed, nearest, reach);
    }

    double centre[3] = {0.0, 0.0, 0.0};
    double radius = FLT_MAX;
    if (!FitStretch(local, run, tolerance, centre, radius))
        return FLT_MAX;
    // Grown until the bend stands out of the noise (or the whole polyline is
    // taken: a straight cut has no fillet to find). An edge along the
    // fillet's side beside a finely meshed face never bends so as a whole:
    // its side on the arc does.
    for (int grow = 0; grow < 64 && run.size() < local.size() && !BendsClearly(local, run, centre, radius) &&
                       !KeepToTheBendingSide(local, nearest, tolerance, run, centre, radius);
         ++grow)
    {
        reach *= 1.5;
        std::vector<std::uint32_t> wider = CollectRunWithinReach(local, closed, nearest, reach);
        if (wider.size() == run.size())
            continue;
        double c[3];
        double r;
        if (!FitStretch(local, wider, tolerance, c, r))
            break;
        run = std::move(wider);
        std::copy(c, c + 3, centre);
        radius = r;
    }
    const double leastBend = reach;
    for (int round = 0; round < kMaxReachRounds; ++round)
    {
        // The faces next to a fillet are the tangents from the edge point to
        // its circle, so the arc is what lies within the tangent length of
        // the edge point. An edge point on or inside the circle (an edge on
        // the fillet itself) has no tangent: half the radius keeps to the
        // arc around it.
        const double toCentre = std::hypot(centre[0], centre[1]);
        const double tangent = toCentre > radius ? std::sqrt(toCentre * toCentre - radius * radius) : 0.0;
        const double next = std::max({tangent, 0.5 * radius, leastBend});
        std::vector<std::uint32_t> nextRun = CollectRunWithinReach(local, closed, nearest, next);
        if (nextRun == run || nextRun.size() < 3)
            break;
        double c[3];
        double r;
        if (!FitStretch(local, nextRun, tolerance, c, r))
            break;
        run = std::move(nextRun);
        std::copy(c, c + 3, centre);
        radius = r;
    }
    const int side = KeepToTheTighterSide(local, nearest, tolerance, run, centre, radius);
    TrimOffArcEnds(local, run, tolerance, centre, radius);
    if (side >= 0)
        GrowAlongTheArcSide(local, closed, nearest, side, tolerance, run, centre, radius);
    // Three points always lie on a circle: a radius needs a fourth on the
    // arc to confirm it, and points that bend clearly out of their noise (a
    // straight cut has no fillet to find).
    if (run.size() < kLeastArcPoints || !DenseEnoughOnTheArc(local, run, radius) ||
        !BendsClearly(local, run, centre, radius))
        return FLT_MAX;
    return radius;
}

double MeasureSectionRadius(const cMesh& mesh, const float point[3], const float direction[3], double tolerance,
                            const cSectionTriangleIndex* index)
{
    const float ax = std::fabs(direction[0]);
    const float ay = std::fabs(direction[1]);
    const float az = std::fabs(direction[2]);
    float reference[3] = {0.0f, 0.0f, 0.0f};
    if (ax <= std::min(ay, az))
        reference[0] = 1.0f;
    else if (az < ay)
        reference[2] = 1.0f;
    else
        reference[1] = 1.0f;
    double frame[12];
    BuildFrameFromAxes(frame, point, direction, reference);

    cMeshPlaneSectioner sectioner;
    sectioner.SetTriangleIndex(index);
    tSectionPolylines polylines;
    SectionMeshByPlane(sectioner, &mesh, frame, 0, polylines, FLT_EPSILON, 0.0);
    std::uint32_t chosen = polylines.GetCount();
    if (polylines.GetCount() == 1)
        chosen = 0;
    else
    {
        double best = FLT_MAX;
        for (std::uint32_t i = 0; i < polylines.GetCount(); ++i)
        {
            if (polylines[i].IsEmpty())
                continue;
            std::int32_t at = -1;
            const double d = FindNearestVertex(polylines[i], point, &at);
            if (at >= 0 && d < best)
            {
                best = d;
                chosen = i;
            }
        }
    }
    if (chosen == polylines.GetCount())
        return FLT_MAX;
    tFramePolyline<cVertex> section = polylines[chosen];
    JoinPiecesAcrossHoles(polylines, chosen, section);
    std::copy(frame, frame + 12, section.frame);
    return FitFilletArc(section, tolerance);
}

stFilletMeasurement MeasureFilletAlongCurve(const cMesh& mesh, const ON_Curve& curve, double start, double end,
                                            int sections, const cSectionTriangleIndex* index)
{
    stFilletMeasurement result;
    sections = std::max(1, sections);
    result.stations = sections + 1;
    const ON_Interval domain = curve.Domain();
    if (!domain.IsIncreasing())
        return result;
    const double span = end - start;
    double sum = 0.0;
    for (int i = 0; i <= sections; ++i)
    {
        const double t = start + i * span / sections;
        const double parameter = domain[0] + (domain[1] - domain[0]) * t;
        ON_3dPoint p;
        ON_3dVector tangent;
        if (!curve.EvTangent(parameter, p, tangent))
            continue;
        const float point[3] = {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
        const float direction[3] = {static_cast<float>(tangent.x), static_cast<float>(tangent.y),
                                    static_cast<float>(tangent.z)};
        if (!std::isfinite(point[0]) || !std::isfinite(point[1]) || !std::isfinite(point[2]) ||
            !(std::fabs(direction[0]) + std::fabs(direction[1]) + std::fabs(direction[2]) > FLT_EPSILON))
            continue;
        const double radius = MeasureSectionRadius(mesh, point, direction, FLT_MAX, index);
        if (radius == FLT_MAX || !std::isfinite(radius))
            continue;
        sum += radius;
        ++result.measured;
    }
    if (result.measured > 0)
        result.radius = sum / result.measured;
    return result;
}
