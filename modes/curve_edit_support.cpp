#include "modes/curve_edit_support.h"

#include "core/profiled_surface.h"
#include "core/section_curve_classes.h"
#include "core/vector_math.h"
#include "platform/win32/input.h"

#include <algorithm>
#include <cmath>

namespace
{

std::uint32_t CurveCount(ST_ISectionCurve* profile)
{
    return profile != nullptr ? profile->GetSegmentCount() : 0;
}

void ClearMarks(ST_ISectionCurve& curve)
{
    for (const tPolyline<cVertex>* list : {curve.GetDefiningPoints(), curve.GetControlPoints()})
        if (list != nullptr)
            for (cVertex& v : const_cast<tPolyline<cVertex>*>(list)->vertices)
                v.flags &= ~kCurvePointMarked;
}

// The curve and local index of point number n, walking the numbering.
ST_ISectionCurve* FindNumberedPoint(std::int32_t pickId, ST_ISectionCurve* profile, bool useControlPoints,
                                    std::uint32_t* localIndex)
{
    if (pickId < 0 || pickId >= kCurvePickBase)
        return nullptr;
    std::uint32_t remaining = static_cast<std::uint32_t>(pickId);
    for (std::uint32_t i = 0; i < CurveCount(profile); ++i)
    {
        ST_ISectionCurve* curve = profile->GetSegment(i);
        const tPolyline<cVertex>* points = curve != nullptr ? CurvePointsOf(*curve, useControlPoints) : nullptr;
        const std::uint32_t count = points != nullptr ? points->GetVertexCount() : 0;
        if (remaining < count)
        {
            *localIndex = remaining;
            return curve;
        }
        remaining -= count;
    }
    return nullptr;
}

double SquaredDistanceD(const cVertex& p, const float q[3])
{
    const double dx = static_cast<double>(p.x) - q[0];
    const double dy = static_cast<double>(p.y) - q[1];
    const double dz = static_cast<double>(p.z) - q[2];
    return dx * dx + dy * dy + dz * dz;
}

bool IsFinitePoint(const float p[3])
{
    return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
}

// Writes new control points into a curve; its wire follows them.
bool SetControlPolyline(ST_ISectionCurve& curve, const tPolyline<cVertex>& points)
{
    ST_IWire* wire = curve.GetWire();
    const tPolyline<cVertex>* held = curve.GetControlPoints();
    if (wire == nullptr || held == nullptr || !wire->SetControlPoints(points))
        return false;
    *const_cast<tPolyline<cVertex>*>(held) = points;
    curve.InvalidateFitRms();
    return true;
}

} // namespace

std::int32_t CurvePointPickId(std::uint32_t pointNumber)
{
    return pointNumber < static_cast<std::uint32_t>(kCurvePickBase) ? static_cast<std::int32_t>(pointNumber) : -1;
}

tPolyline<cVertex>* CurvePointsOf(ST_ISectionCurve& curve, bool useControlPoints)
{
    const tPolyline<cVertex>* points = useControlPoints ? curve.GetControlPoints() : nullptr;
    if (points == nullptr)
        points = curve.GetDefiningPoints();
    return const_cast<tPolyline<cVertex>*>(points);
}

ST_ISectionCurve* MarkPointByPickId(std::int32_t pickId, ST_ISectionCurve* profile, std::uint32_t* localIndex,
                                    bool useControlPoints)
{
    std::uint32_t index = 0;
    ST_ISectionCurve* curve = FindNumberedPoint(pickId, profile, useControlPoints, &index);
    if (curve == nullptr)
        return nullptr;
    CurvePointsOf(*curve, useControlPoints)->GetVertex(index)->flags |= kCurvePointMarked;
    if (localIndex != nullptr)
        *localIndex = index;
    return curve;
}

ST_ISectionCurve* SelectCurveByPickId(std::int32_t pickId, ST_ISectionCurve* profile, bool deselectOthers)
{
    ST_ISectionCurve* chosen = nullptr;
    for (std::uint32_t i = 0; i < CurveCount(profile); ++i)
    {
        ST_ISectionCurve* curve = profile->GetSegment(i);
        if (curve == nullptr)
            continue;
        ClearMarks(*curve);
        if (pickId >= kCurvePickBase && static_cast<std::uint32_t>(pickId - kCurvePickBase) == i)
        {
            curve->selected = 1;
            chosen = curve;
        }
        else if (deselectOthers)
            curve->selected = 0;
    }
    return chosen;
}

ST_ISectionCurve* FindCurveByPickId(std::int32_t pickId, ST_ISectionCurve* profile)
{
    for (std::uint32_t i = 0; i < CurveCount(profile); ++i)
    {
        ST_ISectionCurve* curve = profile->GetSegment(i);
        if (curve == nullptr)
            continue;
        ClearMarks(*curve);
        if (pickId >= kCurvePickBase && static_cast<std::uint32_t>(pickId - kCurvePickBase) == i)
            return curve;
    }
    return nullptr;
}

t3DPoint<float> GetPointByPickId(std::int32_t pickId, ST_ISectionCurve* profile, bool useControlPoints,
                                 ST_ISectionCurve** curveOut)
{
    std::uint32_t index = 0;
    ST_ISectionCurve* curve = FindNumberedPoint(pickId, profile, useControlPoints, &index);
    if (curveOut != nullptr)
        *curveOut = curve;
    if (curve == nullptr)
        return {FLT_MAX, 0.0f, 0.0f};
    const cVertex& v = *CurvePointsOf(*curve, useControlPoints)->GetVertex(index);
    return {v.x, v.y, v.z};
}

void ResetCurvePick(stCurvePick& pick)
{
    pick.copy.reset();
    pick.owned.reset();
}

void SetCurvePick(stCurvePick& pick, ST_ISectionCurve* curve, std::unique_ptr<ST_ISectionCurve> owned,
                  std::int32_t value1, std::int32_t value2)
{
    pick.copy.reset();
    pick.curve = curve;
    if (curve != nullptr)
    {
        pick.copy = curve->Clone();
        if (pick.copy)
            pick.copy->Assign(*curve);
    }
    pick.owned = std::move(owned);
    pick.value1 = value1;
    pick.value2 = value2;
}

bool BeginCurveSnap(stCurveSnap& snap, ST_ISectionCurve* profile, bool useControlPoints, const float point[3],
                    double radius, bool altDown)
{
    snap.kind = 0;
    snap.snapped.flags |= kVertexFlagExcluded;
    snap.snapped.nx = FLT_MAX;
    snap.second.flags |= kVertexFlagExcluded;
    snap.second.nx = FLT_MAX;
    snap.curve = nullptr;
    snap.reserved = nullptr;
    snap.copy.x = snap.copy.y = snap.copy.z = 0.0f;
    if ((snap.enabled != 0) == altDown)
        return false;
    return SnapToNearestCurvePoint(snap, profile, point, useControlPoints, radius * radius, -1);
}

bool BeginCurveSnap(stCurveSnap& snap, ST_ISectionCurve* profile, bool useControlPoints, const float point[3],
                    double radius)
{
    return BeginCurveSnap(snap, profile, useControlPoints, point, radius, GetAsyncKeyState(VK_MENU) < 0);
}

bool SnapToNearestCurvePoint(stCurveSnap& snap, ST_ISectionCurve* profile, const float q[3], bool useControlPoints,
                             double squaredRadius, std::int32_t excludedCurve)
{
    if (!IsFinitePoint(q) || !(squaredRadius > 0.0))
        return false;
    double best = FLT_MAX;
    cVertex found;
    ST_ISectionCurve* foundCurve = nullptr;
    for (std::uint32_t i = 0; i < CurveCount(profile); ++i)
    {
        ST_ISectionCurve* curve = profile->GetSegment(i);
        if (curve == nullptr || static_cast<std::int32_t>(i) == excludedCurve)
            continue;
        const tPolyline<cVertex>* points = CurvePointsOf(*curve, useControlPoints);
        if (points == nullptr)
            continue;
        for (const cVertex& p : points->vertices)
        {
            const double s = SquaredDistanceD(p, q);
            if (s < squaredRadius && s < best)
            {
                best = s;
                found = p;
                foundCurve = curve;
            }
        }
    }
    const double origin = static_cast<double>(q[0]) * q[0] + static_cast<double>(q[1]) * q[1] +
                          static_cast<double>(q[2]) * q[2];
    if (origin < squaredRadius && origin < best)
    {
        found.x = found.y = found.z = 0.0f;
        found.flags &= ~kVertexFlagExcluded;
        foundCurve = nullptr;
        best = origin;
    }
    if (best == FLT_MAX)
        return false;

    snap.snapped = found;
    snap.curve = foundCurve;
    snap.snapped.nx = FLT_MAX;
    snap.copy = snap.snapped;
    const ST_IWire* wire = foundCurve != nullptr ? foundCurve->GetWire() : nullptr;
    if (wire != nullptr)
    {
        const double t = foundCurve->GetParameterAtLocalPoint({found.x, found.y, found.z});
        t3DPoint<double> at;
        t3DPoint<double> tangent;
        if (t != -FLT_MAX && wire->EvaluateAtFraction(t, &at, &tangent))
        {
            const double sign = t > 0.5 ? -1.0 : 1.0;
            for (cVertex* v : {&snap.snapped, &snap.copy})
            {
                v->nx = static_cast<float>(sign * tangent.x);
                v->ny = static_cast<float>(sign * tangent.y);
                v->nz = static_cast<float>(sign * tangent.z);
            }
        }
    }
    else
        for (cVertex* v : {&snap.snapped, &snap.copy})
            v->nx = v->ny = v->nz = 0.0f;
    snap.kind = kCurveSnapPoint;
    return true;
}

void cMoveCurvesHelper::AddCurve(const ST_ISectionCurve& curve, const float grabPoint[3])
{
    std::uint32_t grabbed = 0xFFFFFFFFu;
    if (const tPolyline<cVertex>* points = curve.GetDefiningPoints())
        for (std::uint32_t i = 0; i < points->GetVertexCount(); ++i)
            if (SquaredDistanceD(*points->GetVertex(i), grabPoint) < FLT_EPSILON)
            {
                grabbed = i;
                break;
            }
    m_indices.push_back(grabbed);
    for (auto* list : {&m_grabbed, &m_working})
    {
        std::unique_ptr<ST_ISectionCurve> copy = curve.Clone();
        copy->Assign(curve);
        list->push_back(std::move(copy));
    }
    std::copy(grabPoint, grabPoint + 3, m_grabPoint);
}

void cMoveCurvesHelper::MoveTo(const float target[3], double step)
{
    m_lastExtensions = 0;
    if (!IsFinitePoint(target))
        return;
    if (std::isfinite(step) && step > 0.0 && m_working.size() == 1)
    {
        const tPolyline<cVertex>* points = m_grabbed[0]->GetDefiningPoints();
        const std::uint32_t count = points != nullptr ? points->GetVertexCount() : 0;
        const std::uint32_t index = m_indices[0];
        if (count >= 2 && (index == 0 || index == count - 1))
        {
            ST_ISectionCurve& working = *m_working[0];
            working.Assign(*m_grabbed[0]);
            const cVertex& end = *points->GetVertex(index);
            double d = std::sqrt(SquaredDistanceD(end, target));
            // Every step lengthens the curve by about one step, so a far drag
            // with a fine step stops at the cap instead of running on.
            while (d > 0.0 && m_lastExtensions < kMaxEndExtensionSteps)
            {
                if (index == 0)
                    working.ExtendStart(step, true);
                else
                    working.ExtendEnd(step, true);
                d -= step;
                ++m_lastExtensions;
            }
            return;
        }
    }
    for (std::size_t c = 0; c < m_working.size(); ++c)
    {
        ST_ISectionCurve& working = *m_working[c];
        const tPolyline<cVertex>* points = working.GetDefiningPoints();
        if (points == nullptr)
            continue;
        tFramePolyline<cVertex> moved;
        std::copy(working.frame, working.frame + 12, moved.frame);
        for (std::uint32_t i = 0; i < points->GetVertexCount(); ++i)
        {
            if (i == m_indices[c])
            {
                cVertex v;
                v.x = target[0];
                v.y = target[1];
                v.z = target[2];
                moved.AddVertex(v);
            }
            else
                moved.AddVertex(*points->GetVertex(i));
        }
        double frame[12];
        std::copy(working.frame, working.frame + 12, frame);
        working.FitToPolyline(frame, moved, 0.0, 0);
    }
}

t3DPoint<float> cMoveCurvesHelper::GetGrabbedPoint() const
{
    if (m_working.empty())
        return {FLT_MAX, 0.0f, 0.0f};
    const tPolyline<cVertex>* points = m_working[0]->GetDefiningPoints();
    if (points == nullptr || m_indices[0] >= points->GetVertexCount())
        return {FLT_MAX, 0.0f, 0.0f};
    const cVertex& v = *points->GetVertex(m_indices[0]);
    return {v.x, v.y, v.z};
}

void cMoveCurvesHelper::Reset()
{
    m_grabbed.clear();
    m_working.clear();
    m_indices.clear();
    m_grabPoint[0] = FLT_MAX;
}

bool AlignEndTangentToDirection(const float direction[3], const std::vector<ST_ISectionCurve*>& curves,
                                const std::vector<std::uint8_t>& endFlags, double maximumAngle)
{
    ST_ISectionCurve* winner = nullptr;
    bool atEnd = false;
    double bestAngle = maximumAngle;
    for (std::size_t c = 0; c < curves.size() && c < endFlags.size(); ++c)
    {
        const tPolyline<cVertex>* points = curves[c] != nullptr ? curves[c]->GetDefiningPoints() : nullptr;
        const std::uint32_t n = points != nullptr ? points->GetVertexCount() : 0;
        if (n <= 2)
            continue;
        const cVertex& a = *points->GetVertex(endFlags[c] ? n - 2 : 1);
        const cVertex& b = *points->GetVertex(endFlags[c] ? n - 1 : 0);
        const float inward[3] = {a.x - b.x, a.y - b.y, a.z - b.z};
        const double angle = AngleBetweenVectors(inward, direction);
        if (angle < bestAngle)
        {
            bestAngle = angle;
            winner = curves[c];
            atEnd = endFlags[c] != 0;
        }
    }
    // The second control point from the end is the one that sets the
    // tangent: a curve with fewer than two has none to move.
    const tPolyline<cVertex>* control = winner != nullptr ? winner->GetControlPoints() : nullptr;
    if (control == nullptr || control->GetVertexCount() < 2)
        return false;
    const double length = std::sqrt(static_cast<double>(direction[0]) * direction[0] +
                                    static_cast<double>(direction[1]) * direction[1] +
                                    static_cast<double>(direction[2]) * direction[2]);
    if (!(length > 0.0) || !std::isfinite(length))
        return false;
    const double unit[3] = {direction[0] / length, direction[1] / length, direction[2] / length};
    tPolyline<cVertex> copy(*control);
    const std::uint32_t n = copy.GetVertexCount();
    const cVertex& anchor = *copy.GetVertex(atEnd ? n - 1 : 0);
    cVertex& moved = *copy.GetVertex(atEnd ? n - 2 : 1);
    const double l = std::sqrt(SquaredDistanceD(moved, anchor.Position()));
    moved.x = static_cast<float>(anchor.x + l * unit[0]);
    moved.y = static_cast<float>(anchor.y + l * unit[1]);
    moved.z = static_cast<float>(anchor.z + l * unit[2]);
    if (IsFloatUnset(moved.x))
        moved.flags |= kVertexFlagExcluded;
    else
        moved.flags &= ~kVertexFlagExcluded;
    return SetControlPolyline(*winner, copy);
}

bool PreserveG1AtJoints(ST_ISectionCurve* profile, ST_ISectionCurve* curve, double maximumAngle)
{
    if (!(maximumAngle >= 0.0) || curve == nullptr || profile == nullptr)
        return false;
    const tPolyline<cVertex>* points = curve->GetDefiningPoints();
    if (points == nullptr || points->IsEmpty())
        return false;
    const cVertex first = *points->GetFirstVertex();
    const cVertex last = *points->GetLastVertex();
    std::vector<ST_ISectionCurve*> startCurves;
    std::vector<ST_ISectionCurve*> endCurves;
    std::vector<std::uint8_t> startFlags;
    std::vector<std::uint8_t> endFlags;
    for (std::uint32_t i = 0; i < profile->GetSegmentCount(); ++i)
    {
        ST_ISectionCurve* other = profile->GetSegment(i);
        const tPolyline<cVertex>* otherPoints = other != nullptr ? other->GetDefiningPoints() : nullptr;
        if (other == curve || otherPoints == nullptr || otherPoints->IsEmpty())
            continue;
        const float* a = otherPoints->GetFirstVertex()->Position();
        const float* b = otherPoints->GetLastVertex()->Position();
        for (auto [joint, list, flags] : {std::tuple{&first, &startCurves, &startFlags},
                                          std::tuple{&last, &endCurves, &endFlags}})
        {
            if (SquaredDistanceD(*joint, a) < FLT_EPSILON)
            {
                list->push_back(other);
                flags->push_back(0);
            }
            else if (SquaredDistanceD(*joint, b) < FLT_EPSILON)
            {
                list->push_back(other);
                flags->push_back(1);
            }
        }
    }
    const tPolyline<cVertex>* control = curve->GetControlPoints();
    if (control == nullptr || control->GetVertexCount() < 2)
        return false;
    const std::uint32_t n = control->GetVertexCount();
    const cVertex& c0 = *control->GetVertex(0);
    const cVertex& c1 = *control->GetVertex(1);
    const cVertex& cl = *control->GetVertex(n - 1);
    const cVertex& cm = *control->GetVertex(n - 2);
    const float startDirection[3] = {c0.x - c1.x, c0.y - c1.y, c0.z - c1.z};
    const float endDirection[3] = {cl.x - cm.x, cl.y - cm.y, cl.z - cm.z};
    const double startLimit = startCurves.size() == 3 ? FLT_MAX : maximumAngle;
    const double endLimit = endCurves.size() == 3 ? FLT_MAX : maximumAngle;
    const bool startChanged = AlignEndTangentToDirection(startDirection, startCurves, startFlags, startLimit);
    const bool endChanged = AlignEndTangentToDirection(endDirection, endCurves, endFlags, endLimit);
    return startChanged || endChanged;
}

ST_ISectionCurve* InsertPointIntoCurve(ST_IProfiledSurface& surface, ST_ISectionCurve* profile, ST_ISectionCurve* curve,
                                       const float point[3], std::int32_t after, double tangencyAngle,
                                       const std::vector<ST_ISectionCurve**>& references)
{
    if (profile == nullptr || curve == nullptr || !IsFinitePoint(point))
        return nullptr;
    const tPolyline<cVertex>* points = curve->GetDefiningPoints();
    if (points == nullptr)
        return nullptr;
    const std::uint32_t n = points->GetVertexCount();
    for (std::uint32_t i = 0; i < n; ++i)
        if (SquaredDistanceD(*points->GetVertex(i), point) < FLT_EPSILON)
            return nullptr; // an end or an existing point: nothing to insert
    if (after < 0 || static_cast<std::uint32_t>(after) >= n)
        return nullptr;
    std::unique_ptr<ST_ISectionCurve> made = surface.CreateCurveByClassGuid(curve->GetClassGuid());
    if (!made)
        return nullptr;
    std::copy(curve->frame, curve->frame + 12, made->frame);
    const bool spline = curve->GetClassGuid() == CLSID_ST_TSplineCurve;
    tFramePolyline<cVertex> polyline;
    auto append = [&](const float* p) {
        t3DPoint<double> q{p[0], p[1], p[2]};
        if (!spline)
            q = curve->LocalToWorld(q);
        const double d[3] = {q.x, q.y, q.z};
        polyline.AddPoint3d(d);
    };
    for (std::uint32_t i = 0; i < n; ++i)
    {
        append(points->GetVertex(i)->Position());
        if (i == static_cast<std::uint32_t>(after))
            append(point);
    }
    double frame[12];
    std::copy(made->frame, made->frame + 12, frame);
    if (!made->FitToPolyline(frame, polyline, 0.0, 0))
        return nullptr;
    ST_ISectionCurve* added = made.get();
    if (profile->AddCurve(made.get()) == 0xFFFFFFFFu)
        return nullptr;
    made.release();
    PreserveG1AtJoints(profile, added, tangencyAngle);
    for (ST_ISectionCurve** reference : references)
        if (reference != nullptr && *reference == curve)
            *reference = nullptr;
    profile->RemoveCurve(curve);
    return added;
}

bool BeginNewCurve(std::unique_ptr<ST_ISectionCurve>& pending, ST_IProfiledSurface& surface,
                   ST_ISectionCurve* profile, const GUID& classId, HWND view)
{
    pending.reset();
    pending = surface.CreateCurveByClassGuid(classId);
    if (pending && profile != nullptr)
        std::copy(profile->frame, profile->frame + 12, pending->frame);
    bool anySelected = false;
    for (std::uint32_t i = 0; i < CurveCount(profile); ++i)
        if (ST_ISectionCurve* curve = profile->GetSegment(i); curve != nullptr && curve->selected != 0)
        {
            curve->selected = 0;
            anySelected = true;
        }
    if (anySelected && view != nullptr)
        InvalidateRect(view, nullptr, TRUE);
    return pending != nullptr;
}
