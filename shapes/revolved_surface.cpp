#include "shapes/revolved_surface.h"

#include "core/bin_stream.h"
#include "core/bounding_box.h"
#include "core/frame_math.h"
#include "core/mesh.h"
#include "platform/host/geometry_services_sweeps.h"
#include "shapes/primitive_support.h"
#include "shapes/section_curve_records.h"
#include "shapes/spline_section_curve.h"
#include "shapes/sweep_surface_support.h"
#include "shapes/shape_object_support.h"

#include <algorithm>
#include <cmath>
#include <memory>

using namespace sweep_support;

namespace
{

constexpr std::uint32_t kCurrentMinor = 7;
constexpr double kTwoPi = 6.283185307179586;

} // namespace

Dezaz_Revolved::Dezaz_Revolved()
{
    SetExtent(this);
}

Dezaz_Revolved::~Dezaz_Revolved()
{
    ClearBreps();
}

void* Dezaz_Revolved::NonDelegatingQueryInterface(const GUID& iid)
{
    if (IsEqualInterfaceId(iid, IID_RevolvedSurface) || IsEqualInterfaceId(iid, IID_ST_IGeometry))
        return static_cast<ST_IGeometry*>(this);
    if (IsEqualInterfaceId(iid, IID_ST_IProfiledSurface))
        return static_cast<ST_IProfiledSurface*>(this);
    if (IsEqualInterfaceId(iid, IID_ON_ISurface))
        return static_cast<ON_ISurface*>(this);
    if (IsEqualInterfaceId(iid, IID_IBase))
        return static_cast<IBase*>(static_cast<IBaseAggregate*>(this));
    return nullptr;
}

void Dezaz_Revolved::Clear()
{
    ST_TProfiledSurface::Clear();
    ClearBreps();
}

int Dezaz_Revolved::GetHandleCount() const
{
    const ST_ISectionCurve* profile = GetProfileCurve();
    if (profile == nullptr || profile->IsClosed() || profile->GetClassGuid() == CLSID_ST_TSplineCurve)
        return 0;
    return 3;
}

void Dezaz_Revolved::GetHandles(float points[][3], float directions[][3]) const
{
    if (GetHandleCount() != 3)
        return;
    const ST_ISectionCurve* profile = GetProfileCurve();
    const t3DPoint<double> p[3] = {profile->GetStartPoint(), profile->GetEndPoint(), profile->GetMidPoint()};
    const t3DPoint<double> startTangent = profile->GetStartTangent();
    const t3DPoint<double> endTangent = profile->GetEndTangent();
    const double normal[3] = {profile->frame[2], profile->frame[6], profile->frame[10]};
    for (int k = 0; k < 3; ++k)
    {
        for (int h = 0; h < 3; ++h)
            points[h][k] = static_cast<float>(p[h].Data()[k]);
        directions[0][k] = -static_cast<float>(startTangent.Data()[k]);
        directions[1][k] = static_cast<float>(endTangent.Data()[k]);
        directions[2][k] = -static_cast<float>(normal[k]);
    }
}

void Dezaz_Revolved::MoveHandle(int index, double t)
{
    ST_ISectionCurve* profile = GetProfileCurve();
    if (profile == nullptr || !std::isfinite(t))
        return;
    if (index == 0)
        profile->ExtendStart(t, false);
    else if (index == 1)
        profile->ExtendEnd(t, false);
    else if (index == 2)
    {
        const float x = static_cast<float>(profile->GetLocalMidPoint().x);
        const float m = std::fabs(x);
        if (m > FLT_EPSILON)
        {
            const double c = std::clamp(t, -static_cast<double>(m), static_cast<double>(m));
            double frame[12];
            std::copy(profile->frame, profile->frame + 12, frame);
            // The handle points along -z at its mid point; a turn about y
            // moves a point at negative x the other way round, so the turn
            // takes the side's sign to keep the handle under the cursor.
            RotateFrameAboutY(frame, x < 0.0f ? -std::asin(c / m) : std::asin(c / m));
            // The mesh's sections were turned into the profile's plane by
            // the fit: they turn with it about the axis, so that the Sketch
            // tab shows and fits them where the profile now is (left behind,
            // points of the wall lay off the plane and traced short of it).
            double turn[12], inverse[12];
            std::copy(profile->frame, profile->frame + 12, inverse);
            InvertRigidTransform3x4(inverse);
            MultiplyTransform3x4(frame, turn, inverse);
            profile->sections.Transform(turn);
            std::copy(frame, frame + 12, profile->frame);
        }
    }
    const double xs = profile->GetLocalStartPoint().x;
    const double xe = profile->GetLocalEndPoint().x;
    if ((xs >= 0.0) == (xe >= 0.0))
    {
        double frame[12];
        std::copy(profile->frame, profile->frame + 12, frame);
        profile->SetFrame(frame);
    }
    else
        AlignProfileToAxis();
    BuildHostSurface();
}

void Dezaz_Revolved::AlignProfileToAxis()
{
    ST_ISectionCurve* profile = GetProfileCurve();
    if (profile == nullptr)
        return;
    const double xs = profile->GetLocalStartPoint().x;
    const double xe = profile->GetLocalEndPoint().x;
    if (xs * xe >= 0.0)
        return;
    if (std::fabs(xe) <= std::fabs(xs))
        profile->SnapEndToAxis();
    else
        profile->SnapStartToAxis();
}

void Dezaz_Revolved::GetLocalFrame(double frame[12], int, int axis, bool flip) const
{
    if (GetProfileCurve() == nullptr || axis < 0 || axis > 2)
        return;
    double d[3], o[3];
    GetDirection(d);
    GetOrigin(o);
    AxisAlignmentFrame(frame, d, o, axis, flip);
}

void Dezaz_Revolved::Transform(const double m[12])
{
    if (ST_ISectionCurve* profile = GetProfileCurve())
        profile->Transform(m);
    BuildHostSurface();
}

void Dezaz_Revolved::GetInfoText(ON_wString& text) const
{
    text = primitive_support::RmsLine(GetRms());
    double d[3];
    GetDirection(d);
    primitive_support::AppendVectorLine(text, L"Direction", d);
}

// An extrusion or a surface of revolution relates to the others by its
// direction, as a cylinder does by its axis.
bool Dezaz_Revolved::CanBeCoincidentWith(ST_IGeometry* other)
{
    return Answers(other, IID_ST_CCylinder) || Answers(other, IID_RevolvedSurface);
}

bool Dezaz_Revolved::CanBeParallelTo(ST_IGeometry* other)
{
    return Answers(other, IID_ST_CCylinder) || Answers(other, IID_RevolvedSurface) ||
           Answers(other, IID_ExtrudedSurface);
}

bool Dezaz_Revolved::CanBePerpendicularTo(ST_IGeometry* other)
{
    return Answers(other, IID_ST_CPlane);
}

void Dezaz_Revolved::GetDirection(double out[3]) const
{
    const t3DPoint<double> a = GetAxis();
    out[0] = a.x, out[1] = a.y, out[2] = a.z;
}

void Dezaz_Revolved::GetOrigin(double out[3]) const
{
    const t3DPoint<double> o = GetProfileOrigin();
    out[0] = o.x, out[1] = o.y, out[2] = o.z;
}

bool Dezaz_Revolved::SetProfileFromSections(const GUID& classId, const double frame[12], std::uint32_t curveId,
                                            const tPolylineCollection<tFramePolyline<cVertex>>& sections,
                                            float endExtension, std::uint8_t closed, std::uint32_t mergeMode,
                                            std::uint8_t rebuild, float smoothing)
{
    if (!ST_TProfiledSurface::SetProfileFromSections(classId, frame, curveId, sections, endExtension, closed,
                                                     mergeMode, 0, smoothing))
        return false;
    AlignProfileToAxis();
    SetRms(GetProfileCurve()->GetCachedFitRms());
    return rebuild ? BuildHostSurface() : true;
}

bool Dezaz_Revolved::SetProfile(const ST_ISectionCurve* curve, std::uint8_t rebuild)
{
    if (!ST_TProfiledSurface::SetProfile(curve, 0))
        return false;
    AlignProfileToAxis();
    SetRms(GetProfileCurve()->GetCachedFitRms());
    return rebuild ? BuildHostSurface() : true;
}

bool Dezaz_Revolved::BuildHostSurface()
{
    ClearBreps();
    ST_ISectionCurve* profile = GetProfileCurve();
    if (profile == nullptr)
        return true;
    std::vector<ON_Curve*> owned;
    bool fromSketch = false;
    const bool collected = CollectHostCurves(*profile, owned, fromSketch);
    std::vector<std::unique_ptr<ON_Curve>> curves(owned.begin(), owned.end());
    if (!collected)
        return false;
    const t3DPoint<double> o = GetProfileOrigin();
    const t3DPoint<double> a = GetAxis();
    const ON_Line axis(ON_3dPoint(o.x, o.y, o.z), ON_3dPoint(o.x + a.x, o.y + a.y, o.z + a.z));
    const ON_Xform xform = FrameToXform(profile->frame);
    for (const auto& curve : curves)
    {
        if (fromSketch)
            curve->Reverse();
        curve->Transform(xform);
        ON_Surface* surface = DezazRevolve(curve.get(), axis, ON_Interval(0.0, kTwoPi), false, 0);
        if (surface == nullptr)
            continue;
        ON_Brep* brep = ON_Brep::New();
        if (brep->Create(surface))
            m_breps.Append(brep);
        else
        {
            delete surface;
            delete brep;
        }
    }
    BuildBreps();
    return true;
}

bool Dezaz_Revolved::FitFromMesh(cMesh& mesh, std::int32_t sectionCount, bool)
{
    if (GetProfileCurve() == nullptr)
        return false;
    MarkRegionFromSeeds(mesh, GetSeeds(), true);
    tFitPointQueue region;
    mesh.ForEachVertex([&region](cVertex& v) {
        if ((v.flags & 4u) == 0 || (v.flags & kVertexFlagExcluded) != 0)
            return;
        stFitPoint point;
        point.position[0] = v.x, point.position[1] = v.y, point.position[2] = v.z;
        point.normal[0] = v.nx, point.normal[1] = v.ny, point.normal[2] = v.nz;
        point.residual = FLT_MAX;
        region.push_back(point);
        v.flags &= ~4u;
    });
    if (region.size() < 3)
        return false;
    cFitContainer points(region);
    stProfileFitParams params;
    GetDirection(params.direction);
    GetOrigin(params.point);
    params.directionFixed = 1;
    params.pointFixed = 1;
    params.sectionCount = sectionCount;
    params.profileKind = 5;
    if (!BuildRevolvedFromSections(points, mesh, *this, GetSeeds(), params, false))
        return false;
    return BuildHostSurface();
}

void Dezaz_Revolved::GetExtentBox(float box[6]) const
{
    BrepsBox(m_breps, box);
}

std::uint32_t Dezaz_RevolvedObject::CurrentMinor() const
{
    return kCurrentMinor;
}
