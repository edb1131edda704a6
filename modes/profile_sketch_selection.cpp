#include "modes/profile_sketch_selection.h"

#include "core/bounding_box.h"
#include "core/intersections.h"
#include "core/section_curve.h"
#include "core/section_curve_classes.h"
#include "fitting/fit_drivers.h"
#include "shapes/arc_section_curve.h"
#include "shapes/line_section_curve.h"
#include "shapes/spline_section_curve.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{

constexpr double kCoincidentTolerance = 1e-5;
// An arc is preferred from a third of a half circle on.
constexpr double kMinArcSpanFactor = 1.0471975511965976;

bool IsDefined(const cVertex& v)
{
    return (v.flags & kSketchPointUndefined) == 0 && v.x != FLT_MAX;
}

template <class Visit> void ForEachCurve(ST_ISectionCurve* sketch, Visit visit)
{
    if (!sketch)
        return;
    const std::uint32_t count = sketch->GetSegmentCount();
    for (std::uint32_t i = 0; i < count; ++i)
        if (ST_ISectionCurve* curve = sketch->GetSegment(i))
            visit(*curve, i);
}

std::vector<std::uint32_t> SavedFlags(const tPolyline<cVertex>& points)
{
    std::vector<std::uint32_t> flags;
    for (const cVertex& v : points.vertices)
        flags.push_back(v.flags);
    return flags;
}

void RestoreFlags(ST_ISectionCurve& curve, const std::vector<std::uint32_t>& flags)
{
    if (tPolyline<cVertex>* points = SketchPointsOf(curve, false))
        for (std::uint32_t i = 0; i < points->GetVertexCount() && i < flags.size(); ++i)
        {
            cVertex& v = *points->GetVertex(i);
            v.flags = (flags[i] & ~kSketchPointUndefined) | (v.flags & kSketchPointUndefined);
        }
}

void ToLocal(const double f[12], const float p[3], double out[3])
{
    const double d[3] = {p[0] - f[3], p[1] - f[7], p[2] - f[11]};
    for (int c = 0; c < 3; ++c)
        out[c] = f[c] * d[0] + f[4 + c] * d[1] + f[8 + c] * d[2];
}

} // namespace

std::uint32_t SketchPointPickId(std::uint32_t pointNumber)
{
    return pointNumber < kSketchCurvePickBase ? pointNumber + 1 : 0;
}

std::uint32_t SketchCurvePickId(std::uint32_t curveIndex)
{
    return curveIndex < 0xFFFFFFFFu - kSketchCurvePickBase - 1 ? kSketchCurvePickBase + 1 + curveIndex : 0;
}

tPolyline<cVertex>* SketchPointsOf(ST_ISectionCurve& curve, bool useControlPoints)
{
    const tPolyline<cVertex>* points = useControlPoints ? curve.GetControlPoints() : nullptr;
    if (!points)
        points = curve.GetDefiningPoints();
    // The curve owns these points and is itself writable here; only their
    // flag words and positions under the curve's own rebuilds change.
    return const_cast<tPolyline<cVertex>*>(points);
}

stSketchPick DecodeSketchPick(ST_ISectionCurve* sketch, std::int32_t hoverIndex, bool useControlPoints)
{
    stSketchPick pick;
    if (!sketch || hoverIndex < 0)
        return pick;
    const std::uint32_t index = static_cast<std::uint32_t>(hoverIndex);
    const std::uint32_t count = sketch->GetSegmentCount();
    if (index >= kSketchCurvePickBase)
    {
        const std::uint32_t curveIndex = index - kSketchCurvePickBase;
        if (curveIndex < count && sketch->GetSegment(curveIndex))
        {
            pick.kind = stSketchPick::kCurve;
            pick.curve = sketch->GetSegment(curveIndex);
            pick.curveIndex = curveIndex;
        }
        return pick;
    }
    std::uint32_t first = 0;
    for (std::uint32_t i = 0; i < count; ++i)
    {
        ST_ISectionCurve* curve = sketch->GetSegment(i);
        const tPolyline<cVertex>* points = curve ? SketchPointsOf(*curve, useControlPoints) : nullptr;
        const std::uint32_t n = points ? points->GetVertexCount() : 0;
        if (index < first + n)
        {
            pick.kind = stSketchPick::kPoint;
            pick.curve = curve;
            pick.curveIndex = i;
            pick.pointIndex = index - first;
            return pick;
        }
        first += n;
    }
    return pick;
}

bool ClearSketchSelection(ST_ISectionCurve* sketch)
{
    bool any = false;
    ForEachCurve(sketch, [&](ST_ISectionCurve& curve, std::uint32_t) {
        any = any || curve.selected != 0;
        curve.selected = 0;
        for (bool control : {false, true})
            if (tPolyline<cVertex>* points = SketchPointsOf(curve, control))
                for (cVertex& v : points->vertices)
                {
                    any = any || (v.flags & kSketchPointSelected) != 0;
                    v.flags &= ~kSketchPointSelected;
                }
    });
    return any;
}

cVertex FindCoincidentSketchPoint(ST_ISectionCurve* sketch, const ST_ISectionCurve* except, const float p[3],
                                  double tolerance)
{
    cVertex found;
    found.x = FLT_MAX;
    found.flags = kSketchPointUndefined;
    bool have = false;
    const double t2 = tolerance * tolerance;
    ForEachCurve(sketch, [&](ST_ISectionCurve& curve, std::uint32_t) {
        if (have || &curve == except)
            return;
        if (const tPolyline<cVertex>* points = SketchPointsOf(curve, false))
            for (const cVertex& v : points->vertices)
            {
                if (!IsDefined(v))
                    continue;
                const double dx = double(v.x) - p[0];
                const double dy = double(v.y) - p[1];
                const double dz = double(v.z) - p[2];
                if (dx * dx + dy * dy + dz * dz < t2)
                {
                    found = v;
                    have = true;
                    return;
                }
            }
    });
    return found;
}

void MarkOpenSketchEnds(ST_ISectionCurve* sketch)
{
    ForEachCurve(sketch, [&](ST_ISectionCurve& curve, std::uint32_t) {
        tPolyline<cVertex>* points = SketchPointsOf(curve, false);
        if (!points)
            return;
        const std::uint32_t n = points->GetVertexCount();
        for (std::uint32_t i = 0; i < n; ++i)
        {
            cVertex& v = *points->GetVertex(i);
            const bool isEnd = i == 0 || i + 1 == n;
            if (isEnd && IsDefined(v) &&
                FindCoincidentSketchPoint(sketch, &curve, v.Position(), kCoincidentTolerance).x == FLT_MAX)
                v.flags |= kSketchPointOpenEnd;
            else
                v.flags &= ~kSketchPointOpenEnd;
        }
    });
}

bool RebuildSketchCurve(ST_ISectionCurve& curve, const tPolyline<cVertex>& points)
{
    const GUID kind = curve.GetClassGuid();
    const std::uint32_t n = points.GetVertexCount();
    for (const cVertex& v : points.vertices)
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z))
            return false;
    const std::vector<std::uint32_t> flags = SavedFlags(points);
    bool rebuilt = false;
    if (kind == CLSID_ST_TLineCurve && n == 2)
    {
        auto& line = static_cast<ST_TLineCurve<Dezaz_Wire>&>(curve);
        const double saved[6] = {line.cachedStart[0], line.cachedStart[1], line.cachedStart[2],
                                 line.cachedEnd[0],   line.cachedEnd[1],   line.cachedEnd[2]};
        const cVertex& a = *points.GetVertex(0);
        const cVertex& b = *points.GetVertex(1);
        line.cachedStart[0] = a.x;
        line.cachedStart[1] = a.y;
        line.cachedStart[2] = 0.0;
        line.cachedEnd[0] = b.x;
        line.cachedEnd[1] = b.y;
        line.cachedEnd[2] = 0.0;
        rebuilt = line.UpdateLineFromEnds();
        if (!rebuilt)
        {
            std::copy(saved, saved + 3, line.cachedStart);
            std::copy(saved + 3, saved + 6, line.cachedEnd);
            line.UpdateLineFromEnds();
        }
    }
    else if (kind == CLSID_ST_TArcCurve && n == 3)
    {
        auto& arc = static_cast<ST_TArcCurve<Dezaz_Wire>&>(curve);
        double p[3][3];
        for (std::uint32_t i = 0; i < 3; ++i)
        {
            const cVertex& v = *points.GetVertex(i);
            p[i][0] = v.x;
            p[i][1] = v.y;
            p[i][2] = 0.0;
        }
        double circle[3];
        if (!TriangleCircumcentre(p[0], p[1], p[2], circle))
            return false;
        const double frame[12] = {arc.frame[0], arc.frame[1], arc.frame[2],  arc.frame[3],
                                  arc.frame[4], arc.frame[5], arc.frame[6],  arc.frame[7],
                                  arc.frame[8], arc.frame[9], arc.frame[10], arc.frame[11]};
        rebuilt = arc.SetArcFromPoints(p[0], p[1], p[2], frame, 0.0f, false);
    }
    else if (kind == CLSID_ST_TSplineCurve && n >= 2)
    {
        // Through the points as given, in the curve's own frame like every
        // other curve of the sketch.
        double frame[12];
        std::copy(curve.frame, curve.frame + 12, frame);
        rebuilt = curve.FitToPolyline(frame, points, 0.0, 0);
    }
    if (rebuilt)
        RestoreFlags(curve, flags);
    return rebuilt;
}

bool MoveCurveEndToPoint(ST_ISectionCurve& curve, const float oldPoint[3], const float newPoint[3])
{
    const tPolyline<cVertex>* points = SketchPointsOf(curve, false);
    if (!points)
        return false;
    tPolyline<cVertex> moved(*points);
    for (cVertex& v : moved.vertices)
    {
        const double dx = double(v.x) - oldPoint[0];
        const double dy = double(v.y) - oldPoint[1];
        if (dx * dx + dy * dy < FLT_EPSILON)
        {
            v.x = newPoint[0];
            v.y = newPoint[1];
            v.z = newPoint[2];
            return RebuildSketchCurve(curve, moved);
        }
    }
    return false;
}

bool HasSketchSelection(ST_ISectionCurve* sketch, bool useControlPoints)
{
    bool any = false;
    ForEachCurve(sketch, [&](ST_ISectionCurve& curve, std::uint32_t) {
        any = any || curve.selected != 0;
        if (const tPolyline<cVertex>* points = SketchPointsOf(curve, useControlPoints))
            for (const cVertex& v : points->vertices)
                any = any || ((v.flags & kSketchPointSelected) != 0 && IsDefined(v));
    });
    return any;
}

bool DeleteSketchSelection(ST_ISectionCurve* sketch, bool useControlPoints)
{
    if (!sketch)
        return false;
    bool changed = false;
    std::vector<ST_ISectionCurve*> doomed;
    ForEachCurve(sketch, [&](ST_ISectionCurve& curve, std::uint32_t) {
        if (curve.selected)
        {
            doomed.push_back(&curve);
            changed = true;
            return;
        }
        const tPolyline<cVertex>* points = SketchPointsOf(curve, false);
        const tPolyline<cVertex>* marked = SketchPointsOf(curve, useControlPoints);
        if (!points || !marked)
            return;
        // A spline's control points stand for the points it is built
        // through, one for one: a control point deleted takes its point
        // with it and the spline runs through the others.
        if (marked != points && marked->GetVertexCount() != points->GetVertexCount())
            return;
        tPolyline<cVertex> kept;
        for (std::uint32_t i = 0; i < marked->GetVertexCount(); ++i)
        {
            const cVertex& v = *marked->GetVertex(i);
            if ((v.flags & kSketchPointSelected) == 0 || !IsDefined(v))
                kept.AddVertex(*points->GetVertex(i));
        }
        if (kept.GetVertexCount() == points->GetVertexCount())
            return;
        changed = true;
        if (curve.GetClassGuid() == CLSID_ST_TArcCurve || kept.GetVertexCount() < 3 ||
            !RebuildSketchCurve(curve, kept))
            doomed.push_back(&curve);
    });
    for (ST_ISectionCurve* curve : doomed)
        sketch->RemoveCurve(curve);
    if (changed)
        MarkOpenSketchEnds(sketch);
    return changed;
}

bool MoveSplineControlPoint(ST_ISectionCurve& spline, std::uint32_t index, const float target[3])
{
    const tPolyline<cVertex>* points = SketchPointsOf(spline, false);
    const tPolyline<cVertex>* control = spline.GetControlPoints();
    const std::uint32_t n = points ? points->GetVertexCount() : 0;
    if (spline.GetClassGuid() != CLSID_ST_TSplineCurve || !control || n < 2 || control->GetVertexCount() != n ||
        index >= n || !std::isfinite(target[0]) || !std::isfinite(target[1]))
        return false;
    tPolyline<cVertex> through(*points);
    const tPolyline<cVertex> original(through);
    // The spline is stored as the points it runs through: control points
    // set on its wire alone would be lost by its next rebuild. The point of
    // the same index moves instead, until the curve through the points has
    // its control point at the target (Newton's method; the ends are the
    // points themselves).
    auto controlFor = [&](double x, double y, double out[2]) {
        cVertex& v = *through.GetVertex(index);
        v.x = static_cast<float>(x);
        v.y = static_cast<float>(y);
        v.z = 0.0f;
        if (!RebuildSketchCurve(spline, through))
            return false;
        out[0] = control->GetVertex(index)->x;
        out[1] = control->GetVertex(index)->y;
        return true;
    };
    float box[6];
    MakeEmptyBox3f(box);
    for (const cVertex& v : points->vertices)
        GrowBox3f(box, v.Position());
    GrowBox3f(box, target);
    const double extent = std::max({1e-3, double(box[3] - box[0]), double(box[4] - box[1])});
    const double tolerance = 1e-6 * extent, h = 1e-4 * extent;
    double q[2] = {target[0], target[1]}, best[2] = {q[0], q[1]}, bestError = FLT_MAX, c[2];
    if (index == 0 || index + 1 == n)
        bestError = 0.0;
    for (int round = 0; round < 12 && bestError > tolerance; ++round)
    {
        if (!controlFor(q[0], q[1], c))
            break;
        const double r[2] = {c[0] - target[0], c[1] - target[1]};
        const double error = std::hypot(r[0], r[1]);
        if (error < bestError)
        {
            bestError = error;
            best[0] = q[0], best[1] = q[1];
        }
        else
        {
            // Overshot: back halfway towards the best point so far.
            q[0] = 0.5 * (q[0] + best[0]);
            q[1] = 0.5 * (q[1] + best[1]);
            continue;
        }
        double cx[2], cy[2];
        if (!controlFor(q[0] + h, q[1], cx) || !controlFor(q[0], q[1] + h, cy))
            break;
        const double j[4] = {(cx[0] - c[0]) / h, (cy[0] - c[0]) / h, (cx[1] - c[1]) / h, (cy[1] - c[1]) / h};
        const double det = j[0] * j[3] - j[1] * j[2];
        if (!(std::fabs(det) > 1e-12) || !std::isfinite(det))
            break;
        q[0] -= (j[3] * r[0] - j[1] * r[1]) / det;
        q[1] -= (-j[2] * r[0] + j[0] * r[1]) / det;
    }
    double placed[2];
    if (bestError == FLT_MAX || !controlFor(best[0], best[1], placed))
    {
        RebuildSketchCurve(spline, original);
        return false;
    }
    return true;
}

bool ArcMidPointForRadius(const double p0[3], const double p1[3], const double p2[3], double r, double out[3])
{
    if (!(r > 0.0) || !std::isfinite(r))
        return false;
    double c[3];
    if (!TriangleCircumcentre(p0, p1, p2, c))
        return false;
    const double a[3] = {p0[0] - c[0], p0[1] - c[1], p0[2] - c[2]};
    const double b[3] = {p2[0] - c[0], p2[1] - c[1], p2[2] - c[2]};
    if (std::sqrt(b[0] * b[0] + b[1] * b[1] + b[2] * b[2]) == 0.0)
        return false;
    double m[3] = {(a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2};
    const double h[3] = {a[0] - m[0], a[1] - m[1], a[2] - m[2]};
    const double h2 = h[0] * h[0] + h[1] * h[1] + h[2] * h[2];
    if (h2 > r * r)
        return false;
    const double mLength = std::sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
    double u[3] = {m[0], m[1], m[2]};
    if (mLength > FLT_EPSILON)
        for (double& x : u)
            x /= mLength;
    else
    {
        // A half circle: the chord runs through the centre, which then moves
        // along the bisector away from the middle point's side.
        const double chord[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const double c2 = chord[0] * chord[0] + chord[1] * chord[1] + chord[2] * chord[2];
        const double w[3] = {p1[0] - c[0], p1[1] - c[1], p1[2] - c[2]};
        const double s = (w[0] * chord[0] + w[1] * chord[1] + w[2] * chord[2]) / c2;
        double perpendicular[3] = {w[0] - s * chord[0], w[1] - s * chord[1], w[2] - s * chord[2]};
        const double length = std::sqrt(perpendicular[0] * perpendicular[0] + perpendicular[1] * perpendicular[1] +
                                        perpendicular[2] * perpendicular[2]);
        if (!(length > 0.0))
            return false;
        for (int i = 0; i < 3; ++i)
            u[i] = perpendicular[i] / length;
    }
    const double shift = mLength - std::sqrt(r * r - h2);
    const double centre[3] = {c[0] + u[0] * shift, c[1] + u[1] * shift, c[2] + u[2] * shift};
    double v[3] = {p1[0] - centre[0], p1[1] - centre[1], p1[2] - centre[2]};
    const double vLength = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(vLength > 0.0))
        return false;
    for (int i = 0; i < 3; ++i)
        out[i] = centre[i] + r * v[i] / vLength;
    return std::isfinite(out[0] + out[1] + out[2]);
}

ST_ISectionCurve* FindSketchValueTarget(ST_ISectionCurve* sketch, bool useControlPoints)
{
    ST_ISectionCurve* target = nullptr;
    ForEachCurve(sketch, [&](ST_ISectionCurve& curve, std::uint32_t) {
        if (target)
            return;
        if (const tPolyline<cVertex>* points = SketchPointsOf(curve, useControlPoints))
            for (const cVertex& v : points->vertices)
                if ((v.flags & kSketchPointSelected) != 0 && IsDefined(v))
                {
                    target = &curve;
                    return;
                }
    });
    if (!target)
        ForEachCurve(sketch, [&](ST_ISectionCurve& curve, std::uint32_t) {
            if (!target && curve.selected)
                target = &curve;
        });
    return target;
}

double SketchCurveValue(ST_ISectionCurve& curve, bool* isDistance)
{
    const tPolyline<cVertex>* points = SketchPointsOf(curve, false);
    const std::uint32_t n = points ? points->GetVertexCount() : 0;
    if (curve.GetClassGuid() == CLSID_ST_TLineCurve && n == 2)
    {
        if (isDistance)
            *isDistance = true;
        return PointDistance(points->GetVertex(0)->Position(), points->GetVertex(1)->Position());
    }
    if (curve.GetClassGuid() == CLSID_ST_TArcCurve)
    {
        if (isDistance)
            *isDistance = false;
        return static_cast<ST_TArcCurve<Dezaz_Wire>&>(curve).Radius();
    }
    if (isDistance)
        *isDistance = false;
    return -1.0;
}

SketchValueResult ApplySketchValue(ST_ISectionCurve* sketch, double value, double* currentValue,
                                   bool useControlPoints)
{
    ST_ISectionCurve* target = FindSketchValueTarget(sketch, useControlPoints);
    if (!target || !(value > FLT_EPSILON) || !std::isfinite(value))
        return SketchValueResult::kNothing;
    const tPolyline<cVertex>* points = SketchPointsOf(*target, false);
    if (!points)
        return SketchValueResult::kNothing;
    tPolyline<cVertex> moved(*points);
    const std::uint32_t n = moved.GetVertexCount();
    SketchValueResult result = SketchValueResult::kNothing;
    if (target->GetClassGuid() == CLSID_ST_TLineCurve && n == 2)
    {
        cVertex& a = *moved.GetVertex(0);
        cVertex& b = *moved.GetVertex(1);
        const double d[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
        const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        if (length > 0.0)
        {
            b.x = static_cast<float>(a.x + d[0] / length * value);
            b.y = static_cast<float>(a.y + d[1] / length * value);
            b.z = static_cast<float>(a.z + d[2] / length * value);
            if (RebuildSketchCurve(*target, moved))
                result = SketchValueResult::kApplied;
        }
    }
    else if (target->GetClassGuid() == CLSID_ST_TArcCurve && n == 3)
    {
        double p[3][3];
        for (std::uint32_t i = 0; i < 3; ++i)
        {
            const cVertex& v = *moved.GetVertex(i);
            p[i][0] = v.x;
            p[i][1] = v.y;
            p[i][2] = v.z;
        }
        double middle[3];
        if (ArcMidPointForRadius(p[0], p[1], p[2], value, middle))
        {
            cVertex& m = *moved.GetVertex(1);
            m.x = static_cast<float>(middle[0]);
            m.y = static_cast<float>(middle[1]);
            m.z = static_cast<float>(middle[2]);
            if (RebuildSketchCurve(*target, moved))
                result = SketchValueResult::kApplied;
        }
        if (result != SketchValueResult::kApplied)
        {
            result = SketchValueResult::kRefused;
            if (currentValue)
                *currentValue = SketchCurveValue(*target, nullptr);
        }
    }
    if (result == SketchValueResult::kApplied)
        MarkOpenSketchEnds(sketch);
    return result;
}

std::int32_t NearestSketchSegment(const tPolyline<cVertex>& points, const float p[3])
{
    const std::uint32_t n = points.GetVertexCount();
    if (n < 2)
        return -1;
    std::int32_t best = -1;
    double bestDistance = FLT_MAX;
    for (std::uint32_t i = 0; i + 1 < n; ++i)
    {
        const double d = PointSegmentDistance3f(p, points.GetVertex(i)->Position(), points.GetVertex(i + 1)->Position());
        if (d < bestDistance)
        {
            bestDistance = d;
            best = static_cast<std::int32_t>(i);
        }
    }
    return best;
}

std::int32_t InsertSketchSplinePoint(ST_ISectionCurve& spline, std::int32_t segment, const float p[3])
{
    if (spline.GetClassGuid() != CLSID_ST_TSplineCurve)
        return -1;
    const tPolyline<cVertex>* points = SketchPointsOf(spline, false);
    if (!points || segment < 0 || std::uint32_t(segment) + 1 >= points->GetVertexCount())
        return -1;
    tPolyline<cVertex> grown;
    for (std::uint32_t i = 0; i < points->GetVertexCount(); ++i)
    {
        grown.AddVertex(*points->GetVertex(i));
        if (i == std::uint32_t(segment))
        {
            cVertex v;
            v.x = p[0];
            v.y = p[1];
            v.z = p[2];
            grown.AddVertex(v);
        }
    }
    if (!RebuildSketchCurve(spline, grown))
        return -1;
    return segment + 1;
}

bool FitSketchElementToSelection(const tPolylineCollection<tFramePolyline<cVertex>>& sections, const double frame[12],
                                 double minExtent, stFittedSketchElement& out)
{
    out = stFittedSketchElement{};
    double box[6] = {FLT_MAX, FLT_MAX, FLT_MAX, -FLT_MAX, -FLT_MAX, -FLT_MAX};
    for (std::uint32_t s = 0; s < sections.GetCount(); ++s)
        for (const cVertex& v : sections[s].vertices)
        {
            if ((v.flags & kSketchPointSelected) == 0 || !IsDefined(v))
                continue;
            ++out.selectedCount;
            double local[3];
            ToLocal(frame, v.Position(), local);
            for (int c = 0; c < 3; ++c)
            {
                box[c] = std::min(box[c], local[c]);
                box[3 + c] = std::max(box[3 + c], local[c]);
            }
        }
    if (out.selectedCount == 0)
        return false;
    const double extent = std::max({box[3] - box[0], box[4] - box[1], box[5] - box[2]});
    if (!(extent >= minExtent) || out.selectedCount <= 2)
        return false;
    double start[3] = {0, 0, 0}, end[3] = {0, 0, 0};
    const double lineRms = FitLineToPolylines(sections, start, end, true);
    double centre[3] = {0, 0, 0}, radius = 0.0, arcStart[3], arcMiddle[3], arcEnd[3];
    const double arcRms = FitArcToPolylines(sections, centre, radius, arcStart, arcMiddle, arcEnd, true);
    out.isArc = lineRms > arcRms && radius > 0.0 && extent >= radius * kMinArcSpanFactor;
    if (out.isArc)
    {
        std::copy(arcStart, arcStart + 3, out.points[0]);
        std::copy(arcMiddle, arcMiddle + 3, out.points[1]);
        std::copy(arcEnd, arcEnd + 3, out.points[2]);
        return true;
    }
    if (!(lineRms < FLT_MAX))
        return false;
    std::copy(start, start + 3, out.points[0]);
    std::copy(end, end + 3, out.points[1]);
    return true;
}
