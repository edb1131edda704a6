#include "shapes/combo_segmentation.h"

#include "core/intersections.h"
#include "fitting/circle_fit.h"
#include "fitting/line_fit.h"
#include "shapes/section_curve_geometry.h"
#include "shapes/section_vertex_search.h"

#include <cfloat>
#include <cmath>

namespace
{

constexpr double kArcMinimumAngle = 1.0471975511965976; // 60 degrees
constexpr double kParallelCosine = 0.9998;

double Squared2d(const double a[3], const double b[3])
{
    const double dx = a[0] - b[0];
    const double dy = a[1] - b[1];
    return dx * dx + dy * dy;
}

double Squared3d(const double a[3], const double b[3])
{
    const double dz = a[2] - b[2];
    return Squared2d(a, b) + dz * dz;
}

void SetFlat(t3DPoint<double>& target, const double p[3])
{
    target = {p[0], p[1], 0.0};
}

// Of two candidate joints the one nearer to `near`; the second wins a tie.
const double* NearerOf(const double a[3], const double b[3], const double near[3])
{
    return Squared3d(a, near) < Squared3d(b, near) ? a : b;
}

bool SegmentRecordFits(const tComboSegments& segments, const tPolyline<cVertex>& joints, std::uint32_t k)
{
    return k < segments.size() && k < joints.GetVertexCount();
}

// Whether the record should run from b to a to follow the section.
bool RunsAgainstSection(const tPolyline<cVertex>& joints, std::uint32_t k, const double start[3],
                        const double end[3])
{
    const cVertex& j = *joints.GetVertex(k);
    const double p[3] = {j.x, j.y, j.z};
    return Squared3d(p, end) < Squared3d(p, start);
}

} // namespace

namespace
{

// Vertices in piece k (0 when there is none), from the joints' indices alone.
std::uint64_t ComboPieceLength(std::uint32_t n, const tPolyline<cVertex>& joints, std::uint32_t k, bool closed)
{
    if (n < 2 || k + 1 >= joints.GetVertexCount())
        return 0;
    const std::uint32_t a = joints.GetVertex(k)->index;
    const std::uint32_t b = joints.GetVertex(k + 1)->index;
    if (a >= n || b >= n)
        return 0;
    if (a <= b)
        return std::uint64_t{b} - a + 1;
    return closed ? std::uint64_t{n} - a + b + 1 : 0;
}

} // namespace

bool CollectComboPiece(const tPolyline<cVertex>& section, const tPolyline<cVertex>& joints, std::uint32_t k,
                       bool closed, std::vector<const cVertex*>& piece, std::uint32_t stride)
{
    piece.clear();
    const std::uint32_t n = section.GetVertexCount();
    const std::uint64_t length = ComboPieceLength(n, joints, k, closed);
    if (length == 0)
        return false;
    // Only a closed section runs on past its last vertex.
    const std::uint32_t a = joints.GetVertex(k)->index;
    const std::uint64_t step = std::max<std::uint32_t>(stride, 1);
    for (std::uint64_t j = 0; j < length; j += step)
        piece.push_back(section.GetVertex(static_cast<std::uint32_t>((a + j) % n)));
    if ((length - 1) % step != 0)
        piece.push_back(section.GetVertex(static_cast<std::uint32_t>((a + length - 1) % n)));
    return true;
}

bool FitComboSegmentAuto(const tPolyline<cVertex>& section, const tPolyline<cVertex>& joints,
                         tComboSegments& segments, std::uint32_t k, bool closed, std::uint32_t stride)
{
    std::vector<const cVertex*> piece;
    if (!CollectComboPiece(section, joints, k, closed, piece, stride) || k >= segments.size())
        return false;

    double pathLength = 0.0;
    tFitPointQueue points;
    const float normal[3] = {1.0f, 0.0f, 0.0f};
    for (std::size_t i = 0; i < piece.size(); ++i)
    {
        if (i > 0)
        {
            const double dx = static_cast<double>(piece[i]->x) - piece[i - 1]->x;
            const double dy = static_cast<double>(piece[i]->y) - piece[i - 1]->y;
            const double dz = static_cast<double>(piece[i]->z) - piece[i - 1]->z;
            pathLength += std::sqrt(dx * dx + dy * dy + dz * dz);
        }
        stFitPoint p = MakeFitPoint(piece[i]->Position(), normal);
        p.residual = FLT_MAX;
        points.push_back(p);
    }

    double centre[3] = {0.0, 0.0, 0.0};
    double radius = FLT_MAX;
    double arcStart[3] = {}, arcMiddle[3] = {}, arcEnd[3] = {};
    bool circleFitted = false;
    cCircleFit circle(points);
    circle.ActivateAllPoints();
    if (circle.Fit(centre, radius) && circle.Refine(centre, radius))
    {
        circle.GetArcEnds(centre, radius, arcMiddle, arcStart, arcEnd);
        circleFitted = std::isfinite(radius) && radius > 0.0;
    }

    double origin[3] = {0.0, 0.0, 0.0};
    double direction[3] = {0.0, 0.0, 0.0};
    double lineStart[3] = {}, lineEnd[3] = {};
    cLineFit line(points);
    line.ActivateAllPoints();
    const bool lineFitted = line.EstimateLine(origin, direction);
    if (lineFitted)
        line.GetExtent(origin, direction, lineStart, lineEnd);
    if (!lineFitted && !circleFitted)
        return false;

    std::uint64_t n = 0;
    double circleRms = FLT_MAX;
    if (circleFitted)
    {
        const double sum = circle.SumSquaredRadialErrors(2, centre, radius, n);
        circleRms = n > 0 ? std::sqrt(sum / static_cast<double>(n)) : FLT_MAX;
    }
    double lineRms = FLT_MAX;
    if (lineFitted)
    {
        const double sum = line.SumSquaredDistances(origin, direction, n);
        lineRms = n > 0 ? std::sqrt(sum / static_cast<double>(n)) : FLT_MAX;
    }

    const bool arc = circleFitted && (!lineFitted || (lineRms > circleRms && pathLength >= radius * kArcMinimumAngle));
    if (arc)
        return SetComboSegmentArcRecord(segments, joints, k, arcStart, arcMiddle, arcEnd, centre, radius);
    return SetComboSegmentLineRecord(segments, joints, k, lineStart, lineEnd);
}

bool FitAllComboSegments(const tPolyline<cVertex>& section, const tPolyline<cVertex>& joints,
                         tComboSegments& segments, bool closed)
{
    const std::uint32_t count = joints.GetVertexCount();
    if (count == 1)
        return true;
    // Joints out of order (moved past each other, or a damaged record) make
    // pieces that run over the section again and again. Past a few passes
    // over it the pieces are fitted on evenly spaced vertices, so the work
    // stays in proportion to the section and the joints.
    const std::uint32_t n = section.GetVertexCount();
    std::uint64_t covered = 0;
    for (std::uint32_t k = 0; k + 1 < count; ++k)
        covered += ComboPieceLength(n, joints, k, closed);
    const std::uint64_t budget = kComboFitPasses * (std::uint64_t{n} + count);
    const auto stride = static_cast<std::uint32_t>(covered > budget ? (covered + budget - 1) / budget : 1);
    bool all = true;
    for (std::uint32_t k = 0; k + 1 < count; ++k)
        all = FitComboSegmentAuto(section, joints, segments, k, closed, stride) && all;
    return all;
}

bool SetComboSegmentLineRecord(tComboSegments& segments, const tPolyline<cVertex>& joints, std::uint32_t k,
                               const double start[3], const double end[3])
{
    if (!SegmentRecordFits(segments, joints, k))
        return false;
    const bool swap = RunsAgainstSection(joints, k, start, end);
    tComboSegment record;
    record.AddPoint3d(swap ? end : start);
    record.AddPoint3d(swap ? start : end);
    segments[k] = std::move(record);
    return true;
}

bool SetComboSegmentArcRecord(tComboSegments& segments, const tPolyline<cVertex>& joints, std::uint32_t k,
                              const double start[3], const double interior[3], const double end[3],
                              const double centre[3], double radius)
{
    if (!SegmentRecordFits(segments, joints, k))
        return false;
    const bool swap = RunsAgainstSection(joints, k, start, end);
    tComboSegment record;
    record.AddPoint3d(swap ? end : start);
    record.AddPoint3d(swap ? start : end);
    record.AddPoint3d(interior);
    record.AddPoint3d(centre);
    const double r[3] = {radius, radius, radius};
    record.AddPoint3d(r);
    segments[k] = std::move(record);
    return true;
}

void InsertComboLineRecord(tComboSegments& segments, std::uint32_t k, const cVertex& p, const cVertex& q)
{
    tComboSegment record;
    const double a[3] = {p.x, p.y, p.z};
    const double b[3] = {q.x, q.y, q.z};
    record.AddPoint3d(a);
    record.AddPoint3d(b);
    if (k >= segments.size())
        segments.push_back(std::move(record));
    else
        segments.insert(segments.begin() + k, std::move(record));
}

void AssignJointIndices(tPolyline<cVertex>& joints, const tPolyline<cVertex>& section)
{
    const std::uint32_t count = joints.GetVertexCount();
    if (count < 3)
        return;
    const cSectionVertexSearch search(section);
    for (std::uint32_t i = 1; i + 1 < count; ++i)
    {
        cVertex& joint = *joints.GetVertex(i);
        joint.index = static_cast<std::uint32_t>(search.Nearest(joint.Position()));
    }
}

void OpenAtLargestGap(tPolyline<cVertex>& section)
{
    const std::uint32_t n = section.GetVertexCount();
    if (n <= 2)
        return;
    double widest = -1.0;
    std::uint32_t at = 0;
    for (std::uint32_t i = 0; i + 1 < n; ++i)
    {
        const double gap = SquaredDistance3f(section.GetVertex(i)->Position(), section.GetVertex(i + 1)->Position());
        if (gap > widest)
        {
            widest = gap;
            at = i;
        }
    }
    const double closing = SquaredDistance3f(section.GetLastVertex()->Position(), section.GetFirstVertex()->Position());
    if (!(closing < widest))
        return;
    std::deque<cVertex> rotated(section.vertices.begin() + at + 1, section.vertices.end());
    rotated.insert(rotated.end(), section.vertices.begin(), section.vertices.begin() + at + 1);
    section.vertices = std::move(rotated);
    section.UpdateBoundingBox();
}

void SolveComboJoints(tComboSegments& segments, bool closed)
{
    if (segments.size() < 2)
        return;
    const auto solve = [](tComboSegment& previous, tComboSegment& current) {
        const bool previousArc = IsArcRecord(previous);
        if (IsArcRecord(current))
        {
            if (previousArc)
                SolveArcArcJoint(previous, current);
            else
                SolveLineArcJoint(previous, current);
        }
        else if (previousArc)
            SolveArcLineJoint(current, previous);
        else
            SolveLineLineJoint(previous, current);
    };
    for (std::size_t i = 1; i < segments.size(); ++i)
        solve(segments[i - 1], segments[i]);
    if (closed)
        solve(segments.back(), segments.front());
}

void SolveLineLineJoint(tComboSegment& first, tComboSegment& second)
{
    const t3DPoint<double>& a0 = *first.GetVertex(0);
    const t3DPoint<double>& a1 = *first.GetVertex(1);
    const t3DPoint<double>& b0 = *second.GetVertex(0);
    const t3DPoint<double>& b1 = *second.GetVertex(1);
    double dA[3] = {a1.x - a0.x, a1.y - a0.y, 0.0};
    double dB[3] = {b1.x - b0.x, b1.y - b0.y, 0.0};
    NormaliseVector3d(dA);
    NormaliseVector3d(dB);
    const double pA[3] = {a0.x, a0.y, 0.0};
    const double pB[3] = {b0.x, b0.y, 0.0};
    double qA[3], qB[3];
    if (std::fabs(Dot3d(dA, dB)) < kParallelCosine && ClosestPointsOfLines(pA, dA, pB, dB, qA, qB))
    {
        const double joint[3] = {0.5 * (qA[0] + qB[0]), 0.5 * (qA[1] + qB[1]), 0.0};
        SetFlat(*first.GetVertex(1), joint);
        SetFlat(*second.GetVertex(0), joint);
        return;
    }
    *first.GetVertex(1) = {b0.x, b0.y, 0.0};
}

namespace
{

// The circle through an arc record's start, interior point and end.
bool ArcCircle(const tComboSegment& arc, double centre[3], double& radius)
{
    const double s[3] = {arc.GetVertex(0)->x, arc.GetVertex(0)->y, arc.GetVertex(0)->z};
    const double e[3] = {arc.GetVertex(1)->x, arc.GetVertex(1)->y, arc.GetVertex(1)->z};
    const double m[3] = {arc.GetVertex(2)->x, arc.GetVertex(2)->y, arc.GetVertex(2)->z};
    if (!TriangleCircumcentre(s, m, e, centre))
        return false;
    radius = std::sqrt(Squared3d(m, centre));
    return radius > 0.0 && std::isfinite(radius);
}

// The joint of a line and a circle: an intersection, else a tangent point
// seen from `from`; of two the one nearer `near`.
bool LineCircleJoint(const double l0[3], const double l1[3], const double centre[3], double radius,
                     const double from[3], const double near[3], double joint[3])
{
    double p1[3], p2[3];
    int count = IntersectLineCircle2d(l0, l1, centre, radius, p1, p2);
    if (count == 0)
        count = CircleTangentPoints2d(from, centre, radius, p1, p2);
    if (count == 0)
        return false;
    const double* chosen = count == 1 ? p1 : NearerOf(p1, p2, near);
    joint[0] = chosen[0];
    joint[1] = chosen[1];
    joint[2] = 0.0;
    return true;
}

} // namespace

void SolveLineArcJoint(tComboSegment& line, tComboSegment& arc)
{
    double centre[3];
    double radius = 0.0;
    if (!ArcCircle(arc, centre, radius))
        return;
    const double l0[3] = {line.GetVertex(0)->x, line.GetVertex(0)->y, 0.0};
    const double l1[3] = {line.GetVertex(1)->x, line.GetVertex(1)->y, 0.0};
    double joint[3];
    if (!LineCircleJoint(l0, l1, centre, radius, l0, l1, joint))
        return;
    SetFlat(*line.GetVertex(1), joint);
    SetFlat(*arc.GetVertex(0), joint);
}

void SolveArcLineJoint(tComboSegment& line, tComboSegment& arc)
{
    double centre[3];
    double radius = 0.0;
    if (!ArcCircle(arc, centre, radius))
        return;
    const double l0[3] = {line.GetVertex(0)->x, line.GetVertex(0)->y, 0.0};
    const double l1[3] = {line.GetVertex(1)->x, line.GetVertex(1)->y, 0.0};
    double joint[3];
    if (!LineCircleJoint(l0, l1, centre, radius, l1, l0, joint))
        return;
    SetFlat(*arc.GetVertex(1), joint);
    SetFlat(*line.GetVertex(0), joint);
}

void SolveArcArcJoint(tComboSegment& first, tComboSegment& second)
{
    if (first.GetVertexCount() < 5 || second.GetVertexCount() < 5)
        return;
    const double c1[3] = {first.GetVertex(3)->x, first.GetVertex(3)->y, first.GetVertex(3)->z};
    const double c2[3] = {second.GetVertex(3)->x, second.GetVertex(3)->y, second.GetVertex(3)->z};
    double p1[3], p2[3];
    const int count = IntersectCircles2d(c1, first.GetVertex(4)->x, c2, second.GetVertex(4)->x, p1, p2);
    if (count == 0)
        return;
    const double* joint = p1;
    if (count == 2)
    {
        const double aEnd[3] = {first.GetVertex(1)->x, first.GetVertex(1)->y, 0.0};
        const double bStart[3] = {second.GetVertex(0)->x, second.GetVertex(0)->y, 0.0};
        const double s1 = Squared3d(p1, aEnd) + Squared3d(p1, bStart);
        const double s2 = Squared3d(p2, aEnd) + Squared3d(p2, bStart);
        joint = s2 > s1 ? p1 : p2;
    }
    SetFlat(*first.GetVertex(1), joint);
    SetFlat(*second.GetVertex(0), joint);
}
