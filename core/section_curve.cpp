#include "core/section_curve.h"

#include <algorithm>
#include <cmath>

#include "core/frame_math.h"

ST_ISectionCurve::ST_ISectionCurve()
{
    MakeIdentity3x4(frame);
}

ST_ISectionCurve& ST_ISectionCurve::Assign(const ST_ISectionCurve& source)
{
    if (&source == this)
        return *this;
    cachedRms = source.cachedRms;
    id = source.id;
    mergeMode = source.mergeMode;
    sections = source.sections;
    std::copy(source.frame, source.frame + 12, frame);
    std::copy(source.cachedStart, source.cachedStart + 3, cachedStart);
    std::copy(source.cachedMid, source.cachedMid + 3, cachedMid);
    std::copy(source.cachedEnd, source.cachedEnd + 3, cachedEnd);
    userValue = source.userValue;
    CopyFrom(source);
    return *this;
}

void ST_ISectionCurve::Reset()
{
    sections.Clear();
    MakeIdentity3x4(frame);
    std::fill(cachedStart, cachedStart + 3, 0.0);
    std::fill(cachedMid, cachedMid + 3, 0.0);
    std::fill(cachedEnd, cachedEnd + 3, 0.0);
    // The curve's wire goes with its sections, so a kept measure would
    // describe a curve that no longer exists.
    InvalidateFitRms();
}

bool ST_ISectionCurve::HasValidWire() const
{
    const ST_IWire* wire = GetWire();
    return sections.GetCount() > 0 && wire != nullptr && wire->IsValid();
}

t3DPoint<float> ST_ISectionCurve::GetJointPoint(std::uint32_t) const
{
    return {FLT_MAX, FLT_MAX, FLT_MAX};
}

bool ST_ISectionCurve::InsertJoint(std::uint32_t, const t3DPoint<float>&)
{
    return false;
}

bool ST_ISectionCurve::RemoveJoint(std::uint32_t)
{
    return false;
}

bool ST_ISectionCurve::MoveJoint(std::uint32_t, const t3DPoint<float>&)
{
    return false;
}

bool ST_ISectionCurve::SetSegmentKind(std::uint32_t, const GUID&)
{
    return false;
}

std::uint32_t ST_ISectionCurve::AddCurve(ST_ISectionCurve*)
{
    return 0;
}

double ST_ISectionCurve::GetParameterAtPoint(const t3DPoint<float>& worldPoint) const
{
    const ST_IWire* wire = GetWire();
    if (wire == nullptr)
        return -FLT_MAX;
    const t3DPoint<double> local = WorldToLocal({worldPoint.x, worldPoint.y, worldPoint.z});
    return wire->GetFractionAtPoint(local);
}

double ST_ISectionCurve::GetParameterAtLocalPoint(const t3DPoint<float>& localPoint) const
{
    const ST_IWire* wire = GetWire();
    if (wire == nullptr)
        return -FLT_MAX;
    return wire->GetFractionAtPoint({localPoint.x, localPoint.y, localPoint.z});
}

void ST_ISectionCurve::Transform(const double m[12])
{
    sections.Transform(m);
    double moved[12];
    MultiplyTransform3x4(m, moved, frame);
    InvalidateFitRms();
    SetFrame(moved);
}

t3DPoint<double> ST_ISectionCurve::GetLocalStartTangent() const
{
    const ST_IWire* wire = GetWire();
    return wire != nullptr && wire->IsValid() ? wire->GetStartTangent() : t3DPoint<double>();
}

t3DPoint<double> ST_ISectionCurve::GetLocalEndTangent() const
{
    const ST_IWire* wire = GetWire();
    return wire != nullptr && wire->IsValid() ? wire->GetEndTangent() : t3DPoint<double>();
}

t3DPoint<double> ST_ISectionCurve::GetLocalMidTangent() const
{
    const ST_IWire* wire = GetWire();
    return wire != nullptr && wire->IsValid() ? wire->GetMidTangent() : t3DPoint<double>();
}

float ST_ISectionCurve::GetCachedFitRms()
{
    if (cachedRms != -FLT_MAX)
        return cachedRms;
    const ST_IWire* wire = GetWire();
    if (wire == nullptr)
        return -FLT_MAX;
    // The wire lives in the curve's plane, the section points in the world:
    // measure them where the wire is.
    tPolylineCollection<tFramePolyline<cVertex>> local;
    for (std::uint32_t i = 0; i < sections.GetCount(); ++i)
    {
        tFramePolyline<cVertex>& copy = *local.Add(sections[i]);
        for (cVertex& v : copy.vertices)
        {
            const t3DPoint<double> p = WorldToLocal({v.x, v.y, v.z});
            v.x = static_cast<float>(p.x);
            v.y = static_cast<float>(p.y);
            v.z = static_cast<float>(p.z);
        }
        copy.boxValid = 0;
    }
    cachedRms = static_cast<float>(wire->GetFitRms(local));
    return cachedRms;
}

void ST_ISectionCurve::ExtendStartPoint(double d)
{
    const ST_IWire* wire = GetWire();
    if (std::fabs(d) < FLT_EPSILON || wire == nullptr || !wire->IsValid())
        return;
    t3DPoint<double> t = GetLocalStartTangent();
    NormaliseVector3d(t.Data());
    for (int i = 0; i < 3; ++i)
        cachedStart[i] -= t.Data()[i] * d;
    InvalidateFitRms();
}

void ST_ISectionCurve::ExtendEndPoint(double d)
{
    const ST_IWire* wire = GetWire();
    if (std::fabs(d) < FLT_EPSILON || wire == nullptr || !wire->IsValid())
        return;
    t3DPoint<double> t = GetLocalEndTangent();
    NormaliseVector3d(t.Data());
    for (int i = 0; i < 3; ++i)
        cachedEnd[i] += t.Data()[i] * d;
    InvalidateFitRms();
}

t3DPoint<double> ST_ISectionCurve::LocalToWorld(const t3DPoint<double>& p) const
{
    return {frame[0] * p.x + frame[1] * p.y + frame[2] * p.z + frame[3],
            frame[4] * p.x + frame[5] * p.y + frame[6] * p.z + frame[7],
            frame[8] * p.x + frame[9] * p.y + frame[10] * p.z + frame[11]};
}

t3DPoint<double> ST_ISectionCurve::LocalToWorldDirection(const t3DPoint<double>& v) const
{
    return {frame[0] * v.x + frame[1] * v.y + frame[2] * v.z, frame[4] * v.x + frame[5] * v.y + frame[6] * v.z,
            frame[8] * v.x + frame[9] * v.y + frame[10] * v.z};
}

t3DPoint<double> ST_ISectionCurve::WorldToLocal(const t3DPoint<double>& w) const
{
    const double d[3] = {w.x - frame[3], w.y - frame[7], w.z - frame[11]};
    return {frame[0] * d[0] + frame[4] * d[1] + frame[8] * d[2], frame[1] * d[0] + frame[5] * d[1] + frame[9] * d[2],
            frame[2] * d[0] + frame[6] * d[1] + frame[10] * d[2]};
}
