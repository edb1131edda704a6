#include "modes/sketch_snapping.h"

#include "core/polyline.h"
#include "core/section_curve.h"
#include "core/wire.h"
#include "modes/mode_support.h"
#include "platform/win32/input.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

namespace
{

struct stStep
{
    double distance;
    int decimals;
};
constexpr stStep kSteps[] = {{10.0, 0}, {1.0, 0}, {0.1, 1}, {0.01, 2}, {0.001, 3}};
constexpr int kStepCount = int(sizeof kSteps / sizeof kSteps[0]);

int ClampStepIndex(int index)
{
    return std::clamp(index, 0, kStepCount - 1);
}

// Lines closer than 3 degrees to parallel do not make an intersection snap.
const double kMinIntersectionSine = std::sin(3.14159265358979323846 / 60.0);
constexpr double kRadiansToDegrees = 57.29577951308232;

const tPolyline<cVertex>* SnapPointsOf(const ST_ISectionCurve& curve, bool useControlPoints)
{
    if (useControlPoints)
        if (const tPolyline<cVertex>* control = curve.GetControlPoints())
            return control;
    return curve.GetDefiningPoints();
}

bool IsDefined(const cVertex& v)
{
    return (v.flags & 1u) == 0 && v.x != FLT_MAX;
}

cVertex PointRecord(double x, double y)
{
    cVertex v;
    v.x = static_cast<float>(x);
    v.y = static_cast<float>(y);
    return v;
}

// The unit tangent of the curve's wire at a point, pointing away from the
// nearer end's inside (reversed past the middle); zero when it has none.
void CurveDirectionAt(const ST_ISectionCurve& curve, const cVertex& point, float out[3])
{
    out[0] = out[1] = out[2] = 0.0f;
    const ST_IWire* wire = curve.GetWire();
    if (!wire || !wire->IsValid())
        return;
    const double t = wire->GetFractionAtPoint({point.x, point.y, point.z});
    if (t == -FLT_MAX)
        return;
    t3DPoint<double> p;
    t3DPoint<double> d;
    if (!wire->EvaluateAtFraction(t, &p, &d))
        return;
    const double length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    if (!(length > 0.0) || !std::isfinite(length))
        return;
    const double sign = t > 0.5 ? -1.0 : 1.0;
    out[0] = static_cast<float>(sign * d.x / length);
    out[1] = static_cast<float>(sign * d.y / length);
    out[2] = static_cast<float>(sign * d.z / length);
}

// One end of a curve as a point and its unit tangent (local, doubles).
struct stCurveEnd
{
    double point[3];
    double tangent[3];
};

bool CurveEnds(const ST_ISectionCurve& curve, stCurveEnd ends[2])
{
    const ST_IWire* wire = curve.GetWire();
    if (!wire || !wire->IsValid())
        return false;
    const t3DPoint<double> p[2] = {wire->GetStartPoint(), wire->GetEndPoint()};
    const t3DPoint<double> t[2] = {wire->GetStartTangent(), wire->GetEndTangent()};
    for (int i = 0; i < 2; ++i)
    {
        const double length = std::sqrt(t[i].x * t[i].x + t[i].y * t[i].y + t[i].z * t[i].z);
        if (!(length > 0.0) || !std::isfinite(length) || !std::isfinite(p[i].x + p[i].y + p[i].z))
            return false;
        ends[i] = {{p[i].x, p[i].y, p[i].z}, {t[i].x / length, t[i].y / length, t[i].z / length}};
    }
    return true;
}

// Foot of p on the line through a along the unit direction d, and its distance.
double FootOnLine(const float p[3], const double a[3], const double d[3], double foot[3])
{
    const double w[3] = {p[0] - a[0], p[1] - a[1], p[2] - a[2]};
    const double s = w[0] * d[0] + w[1] * d[1] + w[2] * d[2];
    for (int i = 0; i < 3; ++i)
        foot[i] = a[i] + s * d[i];
    const double e[3] = {p[0] - foot[0], p[1] - foot[1], p[2] - foot[2]};
    return std::sqrt(e[0] * e[0] + e[1] * e[1] + e[2] * e[2]);
}

template <class Visit> void ForEachCurve(ST_ISectionCurve* sketch, std::uint32_t exceptIndex, Visit visit)
{
    if (!sketch)
        return;
    const std::uint32_t count = sketch->GetSegmentCount();
    for (std::uint32_t i = 0; i < count; ++i)
        if (i != exceptIndex)
            if (ST_ISectionCurve* curve = sketch->GetSegment(i))
                visit(*curve);
}

} // namespace

double SketchDistanceStep(int index)
{
    return kSteps[ClampStepIndex(index)].distance;
}

double SketchAngleStepDegrees(int index)
{
    return kSteps[ClampStepIndex(index)].distance;
}

int SketchStepDecimals(int index)
{
    return kSteps[ClampStepIndex(index)].decimals;
}

bool IntersectLines3d(const double p[3], const double d[3], const double q[3], const double e[3], double outPoint[3],
                      double outOther[3])
{
    const double dd = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    const double ee = e[0] * e[0] + e[1] * e[1] + e[2] * e[2];
    const double de = d[0] * e[0] + d[1] * e[1] + d[2] * e[2];
    const double det = dd * ee - de * de;
    if (!(std::fabs(det) > FLT_EPSILON))
        return false;
    const double w[3] = {p[0] - q[0], p[1] - q[1], p[2] - q[2]};
    const double dw = d[0] * w[0] + d[1] * w[1] + d[2] * w[2];
    const double ew = e[0] * w[0] + e[1] * w[1] + e[2] * w[2];
    const double s = (de * ew - ee * dw) / det;
    const double t = (dd * ew - de * dw) / det;
    for (int i = 0; i < 3; ++i)
    {
        outPoint[i] = p[i] + s * d[i];
        outOther[i] = q[i] + t * e[i];
    }
    return std::isfinite(s) && std::isfinite(t);
}

bool SnapToNearestCurvePoint(stSketchSnap& snap, ST_ISectionCurve* sketch, std::uint32_t exceptIndex,
                             bool useControlPoints, const float point[3], double toleranceSquared)
{
    double best = toleranceSquared;
    const cVertex* found = nullptr;
    ST_ISectionCurve* foundCurve = nullptr;
    ForEachCurve(sketch, exceptIndex, [&](ST_ISectionCurve& curve) {
        const tPolyline<cVertex>* points = SnapPointsOf(curve, useControlPoints);
        if (!points)
            return;
        for (const cVertex& v : points->vertices)
        {
            if (!IsDefined(v))
                continue;
            const double dx = double(v.x) - point[0];
            const double dy = double(v.y) - point[1];
            const double d2 = dx * dx + dy * dy;
            if (d2 < best)
            {
                best = d2;
                found = &v;
                foundCurve = &curve;
            }
        }
    });
    const double originD2 = double(point[0]) * point[0] + double(point[1]) * point[1];
    if (originD2 < best)
    {
        found = nullptr;
        foundCurve = nullptr;
        best = originD2;
        snap.xSource = cVertex{};
        snap.xSourceCurve = nullptr;
        snap.result = cVertex{};
        snap.kind = kSketchSnapPoint;
        return true;
    }
    if (!found)
        return false;
    snap.xSource = *found;
    snap.xSourceCurve = foundCurve;
    snap.result = cVertex{};
    snap.result.x = found->x;
    snap.result.y = found->y;
    snap.result.z = 0.0f;
    CurveDirectionAt(*foundCurve, *found, snap.result.Normal());
    snap.kind = kSketchSnapPoint;
    return true;
}

bool SnapToAlignment(stSketchSnap& snap, ST_ISectionCurve* sketch, const float point[3], bool useControlPoints,
                     double tolerance, std::uint32_t exceptIndex)
{
    double bestX = FLT_MAX;
    double bestY = FLT_MAX;
    bool haveX = false;
    bool haveY = false;
    cVertex xSource;
    cVertex ySource;
    ST_ISectionCurve* xCurve = nullptr;
    ST_ISectionCurve* yCurve = nullptr;
    auto offer = [&](const cVertex& v, ST_ISectionCurve* curve) {
        const double dx = std::fabs(double(v.x) - point[0]);
        const double dy = std::fabs(double(v.y) - point[1]);
        if (dx < tolerance && dx < bestX)
        {
            bestX = dx;
            xSource = v;
            xCurve = curve;
            haveX = true;
        }
        if (dy < tolerance && dy < bestY)
        {
            bestY = dy;
            ySource = v;
            yCurve = curve;
            haveY = true;
        }
    };
    if (snap.HasReferencePoint())
    {
        cVertex reference;
        reference.x = snap.referencePoint[0];
        reference.y = snap.referencePoint[1];
        reference.z = snap.referencePoint[2];
        offer(reference, nullptr);
    }
    ForEachCurve(sketch, exceptIndex, [&](ST_ISectionCurve& curve) {
        if (const tPolyline<cVertex>* points = SnapPointsOf(curve, useControlPoints))
            for (const cVertex& v : points->vertices)
                if (IsDefined(v))
                    offer(v, &curve);
    });
    offer(cVertex{}, nullptr);

    if (!haveX && !haveY)
        return false;
    snap.result = cVertex{};
    if (haveX && haveY)
    {
        snap.xSource = xSource;
        snap.xSourceCurve = xCurve;
        snap.ySource = ySource;
        snap.ySourceCurve = yCurve;
        snap.result.x = xSource.x;
        snap.result.y = ySource.y;
        const float dx = xSource.x - ySource.x;
        const float dy = xSource.y - ySource.y;
        const float dz = xSource.z - ySource.z;
        snap.kind = double(dx) * dx + double(dy) * dy + double(dz) * dz < FLT_EPSILON ? kSketchSnapPoint
                                                                                       : kSketchSnapCorner;
        return true;
    }
    if (haveY)
    {
        snap.result.x = point[0];
        snap.result.y = ySource.y;
        snap.result.z = point[2];
        snap.xSource = ySource;
        snap.xSourceCurve = yCurve;
    }
    else
    {
        snap.result.x = xSource.x;
        snap.result.y = point[1];
        snap.result.z = point[2];
        snap.xSource = xSource;
        snap.xSourceCurve = xCurve;
    }
    snap.kind = kSketchSnapLine;
    return true;
}

bool SnapToTangentLines(stSketchSnap& snap, ST_ISectionCurve* sketch, const float point[3], double tolerance,
                        std::uint32_t exceptIndex, ST_ISectionCurve** curveOut)
{
    double best = FLT_MAX;
    double bestFoot[3] = {0.0, 0.0, 0.0};
    double bestSource[3] = {0.0, 0.0, 0.0};
    ST_ISectionCurve* bestCurve = nullptr;
    auto offer = [&](const double a[3], const double d[3], ST_ISectionCurve* curve) {
        double foot[3];
        const double dist = FootOnLine(point, a, d, foot);
        if (dist < tolerance && dist < best)
        {
            best = dist;
            std::copy(foot, foot + 3, bestFoot);
            std::copy(a, a + 3, bestSource);
            bestCurve = curve;
        }
    };
    ForEachCurve(sketch, exceptIndex, [&](ST_ISectionCurve& curve) {
        stCurveEnd ends[2];
        if (CurveEnds(curve, ends))
            for (const stCurveEnd& end : ends)
                offer(end.point, end.tangent, &curve);
    });
    if (snap.HasReferencePoint() && snap.HasReferenceDirection())
    {
        const double a[3] = {snap.referencePoint[0], snap.referencePoint[1], snap.referencePoint[2]};
        double d[3] = {snap.referenceDirection[0], snap.referenceDirection[1], snap.referenceDirection[2]};
        const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        if (length > 0.0 && std::isfinite(length))
        {
            for (double& c : d)
                c /= length;
            offer(a, d, nullptr);
        }
    }
    if (best == FLT_MAX)
        return false;
    snap.result = PointRecord(bestFoot[0], bestFoot[1]);
    snap.xSource = PointRecord(bestSource[0], bestSource[1]);
    snap.xSource.z = static_cast<float>(bestSource[2]);
    snap.xSourceCurve = bestCurve;
    if (curveOut)
        *curveOut = bestCurve;
    snap.kind = kSketchSnapLine;
    return true;
}

bool SnapSketchPoint(stSketchSnap& snap, ST_ISectionCurve* sketch, std::uint32_t exceptIndex, bool useControlPoints,
                     const float point[3], double tolerance, bool force, bool pointsOnly)
{
    snap.Reset();
    if (!IsSnapActive(snap.enabled, force ? 1 : 0))
        return false;
    if (!(tolerance > 0.0) || !std::isfinite(tolerance) || !std::isfinite(point[0] + point[1] + point[2]))
        return false;
    if (SnapToNearestCurvePoint(snap, sketch, exceptIndex, useControlPoints, point, tolerance * tolerance))
        return true;
    if (pointsOnly)
        return false;

    const bool aligned = SnapToAlignment(snap, sketch, point, useControlPoints, tolerance, exceptIndex);
    if (aligned && snap.kind != kSketchSnapLine)
        return true;
    ST_ISectionCurve* excluded = nullptr;
    if (!aligned && !SnapToTangentLines(snap, sketch, point, tolerance, exceptIndex, &excluded))
    {
        snap.Reset();
        return false;
    }

    // The line just snapped to may cross another curve's tangent line near
    // the cursor: the crossing wins.
    const double source[3] = {snap.xSource.x, snap.xSource.y, snap.xSource.z};
    double d[3] = {double(snap.result.x) - source[0], double(snap.result.y) - source[1],
                   double(snap.result.z) - source[2]};
    const double d2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    if (d2 > FLT_EPSILON)
        for (double& c : d)
            c /= std::sqrt(d2);
    double best = FLT_MAX;
    double bestPoint[3] = {0.0, 0.0, 0.0};
    cVertex bestEnd;
    ST_ISectionCurve* bestCurve = nullptr;
    ForEachCurve(sketch, exceptIndex, [&](ST_ISectionCurve& curve) {
        if (&curve == excluded)
            return;
        stCurveEnd ends[2];
        if (!CurveEnds(curve, ends))
            return;
        for (const stCurveEnd& end : ends)
        {
            double foot[3];
            const double dist = FootOnLine(point, end.point, end.tangent, foot);
            const double cz = d[0] * end.tangent[1] - d[1] * end.tangent[0];
            const double cx = d[1] * end.tangent[2] - d[2] * end.tangent[1];
            const double cy = d[2] * end.tangent[0] - d[0] * end.tangent[2];
            const double sine = std::sqrt(cx * cx + cy * cy + cz * cz);
            double onLine[3];
            double onOther[3];
            if (sine > kMinIntersectionSine && dist < tolerance && dist < best &&
                IntersectLines3d(source, d, end.point, end.tangent, onLine, onOther))
            {
                best = dist;
                bestPoint[0] = onLine[0];
                bestPoint[1] = onLine[1];
                bestPoint[2] = 0.0;
                bestEnd = PointRecord(end.point[0], end.point[1]);
                bestEnd.z = static_cast<float>(end.point[2]);
                bestCurve = &curve;
            }
        }
    });
    if (best != FLT_MAX)
    {
        snap.result = PointRecord(bestPoint[0], bestPoint[1]);
        snap.ySource = bestEnd;
        snap.ySourceCurve = bestCurve;
        snap.kind = kSketchSnapIntersection;
    }
    return snap.kind != kSketchSnapNone;
}

bool ShouldStepLineLength(const stSketchSnap& snap, const float start[3])
{
    if (snap.kind == kSketchSnapNone)
        return true;
    if (snap.kind != kSketchSnapLine)
        return false;
    const double sx = double(snap.xSource.x) - start[0];
    const double sy = double(snap.xSource.y) - start[1];
    if (sx * sx + sy * sy < 0.01)
        return true;
    return std::fabs(double(snap.result.x) - start[0]) < 0.01 || std::fabs(double(snap.result.y) - start[1]) < 0.01;
}

bool StepLineLength(const float start[3], float end[3], double step)
{
    if (!(step > 0.0) || !std::isfinite(step))
        return false;
    const double d[3] = {double(end[0]) - start[0], double(end[1]) - start[1], double(end[2]) - start[2]};
    const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    if (!(length > 0.0) || !std::isfinite(length))
        return false;
    // A length that is a whole multiple up to rounding stays that multiple;
    // a line shorter than one step gets one step rather than collapsing onto
    // its start.
    const double stepped = std::max(1.0, std::trunc(length / step + 1e-9)) * step;
    for (int i = 0; i < 3; ++i)
        end[i] = static_cast<float>(start[i] + d[i] / length * stepped);
    return true;
}

double FoldedLineAngle(const float start[3], const float end[3])
{
    const double dx = double(end[0]) - start[0];
    const double dy = double(end[1]) - start[1];
    const double dz = double(end[2]) - start[2];
    const double length = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (!(length > 0.0) || !std::isfinite(length))
        return 0.0;
    double a = std::acos(std::clamp(dx / length, -1.0, 1.0));
    if (a > 3.14159265358979323846 / 2.0)
        a = 3.14159265358979323846 - a;
    return a;
}

bool StepLineAngle(const float start[3], float end[3], double stepDegrees, float direction[3])
{
    if (!(stepDegrees > 0.0) || !std::isfinite(stepDegrees))
        return false;
    const double dx = double(end[0]) - start[0];
    const double dy = double(end[1]) - start[1];
    const double dz = double(end[2]) - start[2];
    const double length = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (!(length > 0.0) || !std::isfinite(length))
        return false;
    const double degrees = FoldedLineAngle(start, end) * kRadiansToDegrees;
    const double steppedDegrees = std::min(90.0, std::trunc(degrees / stepDegrees + 1e-9) * stepDegrees);
    const double xSign = dx < 0.0 ? -1.0 : 1.0;
    const double ySign = dy < 0.0 ? -1.0 : 1.0;
    double ux;
    double uy;
    if (steppedDegrees >= 90.0)
    {
        // Straight up or down: x exactly 0, never the collapsed |x| tan 90.
        ux = 0.0;
        uy = ySign;
    }
    else
    {
        const double a = steppedDegrees / kRadiansToDegrees;
        ux = xSign * std::cos(a);
        uy = ySign * std::sin(a);
    }
    direction[0] = static_cast<float>(ux);
    direction[1] = static_cast<float>(uy);
    direction[2] = 0.0f;
    end[0] = static_cast<float>(start[0] + ux * length);
    end[1] = static_cast<float>(start[1] + uy * length);
    end[2] = start[2];
    return true;
}

// Stepped values can land a hair below the multiple; a tenth of the last
// printed digit lifts them back. (A tenth of a 10 step would print 40 as 41.)
static double LabelGuard(double step)
{
    return 0.1 * std::min(std::fabs(step), 1.0);
}

void FormatRadiusLabel(wchar_t (&out)[32], int decimals, double value, double step)
{
    if (decimals < 0 || !std::isfinite(value))
        FormatLabelText(out, L"R:%.5f", value);
    else if (decimals == 0)
        FormatLabelText(out, L"R:%d", static_cast<int>(std::clamp(value + LabelGuard(step), -2e9, 2e9)));
    else
        FormatLabelText(out, L"R:%.*f", std::min(decimals, 9), value + LabelGuard(step));
}

void FormatAngleLabel(wchar_t (&out)[32], int decimals, double value, bool isLength, double step, const wchar_t* unit)
{
    const wchar_t* name = isLength ? (unit ? unit : L"") : L"\u00B0";
    if (!isLength)
        value *= kRadiansToDegrees;
    const wchar_t* prefix = isLength ? L"" : L"< ";
    if (decimals < 0 || !std::isfinite(value))
        FormatLabelText(out, L"%ls%.5f %ls", prefix, value, name);
    else if (decimals == 0)
        FormatLabelText(out, L"%ls%d %ls", prefix, static_cast<int>(std::clamp(value + LabelGuard(step), -2e9, 2e9)), name);
    else
        FormatLabelText(out, L"%ls%.*f %ls", prefix, std::min(decimals, 9), value + LabelGuard(step), name);
}
