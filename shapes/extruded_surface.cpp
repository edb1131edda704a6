#include "shapes/extruded_surface.h"

#include "core/bin_stream.h"
#include "core/bounding_box.h"
#include "platform/host/geometry_services_sweeps.h"
#include "shapes/primitive_support.h"
#include "shapes/section_curve_records.h"
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
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kTaperThreshold = 1e-6;

// Whole turns off an angle beyond one turn (as many as repeated steps of
// 2pi would take), then the clamp to a quarter turn either way.
double NormaliseDraftAngle(double angle)
{
    if (angle < -kTwoPi || angle > kTwoPi)
        angle = std::fmod(angle, kTwoPi);
    return std::clamp(angle, -kHalfPi, kHalfPi);
}

} // namespace

template <class TWire> void ST_TExtSurface<TWire>::Clear()
{
    ST_TProfiledSurface<TWire>::Clear();
    m_extrusion = ExtrusionParameters{};
}

template <class TWire> void ST_TExtSurface<TWire>::SetDirection(const void* parameters)
{
    if (parameters == nullptr)
        return;
    const ExtrusionParameters& given = *static_cast<const ExtrusionParameters*>(parameters);
    if (!std::isfinite(given.length) || !std::isfinite(given.draftAngle))
        return;
    m_extrusion = given;
    m_extrusion.draftAngle = NormaliseDraftAngle(given.draftAngle);
}

template class ST_TExtSurface<Dezaz_Wire>;

Dezaz_Extruded::Dezaz_Extruded()
{
    SetExtent(this);
}

Dezaz_Extruded::~Dezaz_Extruded()
{
    ClearBreps();
}

void* Dezaz_Extruded::NonDelegatingQueryInterface(const GUID& iid)
{
    if (IsEqualInterfaceId(iid, IID_ExtrudedSurface) || IsEqualInterfaceId(iid, IID_ST_IGeometry))
        return static_cast<ST_IGeometry*>(this);
    if (IsEqualInterfaceId(iid, IID_ST_IProfiledSurface))
        return static_cast<ST_IProfiledSurface*>(this);
    if (IsEqualInterfaceId(iid, IID_ON_ISurface))
        return static_cast<ON_ISurface*>(this);
    if (IsEqualInterfaceId(iid, IID_IBase))
        return static_cast<IBase*>(static_cast<IBaseAggregate*>(this));
    return nullptr;
}

void Dezaz_Extruded::Clear()
{
    ST_TExtSurface::Clear();
    ClearBreps();
}

bool Dezaz_Extruded::IsTapered() const
{
    return m_extrusion.draftFlag != 0 && std::fabs(m_extrusion.draftAngle) > kTaperThreshold;
}

t3DPoint<double> Dezaz_Extruded::GetAxis() const
{
    const ST_ISectionCurve* profile = GetProfileCurve();
    if (profile == nullptr)
        return {};
    return {profile->frame[2], profile->frame[6], profile->frame[10]};
}

void Dezaz_Extruded::GetDirection(double out[3]) const
{
    const t3DPoint<double> d = GetAxis();
    out[0] = d.x, out[1] = d.y, out[2] = d.z;
}

void Dezaz_Extruded::GetHandles(float points[][3], float directions[][3]) const
{
    const ST_ISectionCurve* profile = GetProfileCurve();
    if (profile == nullptr)
        return;
    const t3DPoint<double> mid = profile->GetMidPoint();
    const t3DPoint<double> d = GetAxis();
    const double length = std::fabs(m_extrusion.length);
    for (int k = 0; k < 3; ++k)
    {
        points[0][k] = static_cast<float>(mid.Data()[k]);
        directions[0][k] = -static_cast<float>(d.Data()[k]);
        points[1][k] = static_cast<float>(mid.Data()[k] + d.Data()[k] * length);
        directions[1][k] = static_cast<float>(d.Data()[k]);
    }
}

void Dezaz_Extruded::MoveHandle(int index, double t)
{
    ST_ISectionCurve* profile = GetProfileCurve();
    if (profile == nullptr || !std::isfinite(t))
        return;
    if (index == 0 || index == 1)
    {
        m_extrusion.length = std::max(0.001, m_extrusion.length + t);
        const bool tapered = std::fabs(m_extrusion.draftAngle) > FLT_EPSILON;
        const double shift = tapered ? 0.5 * t : (index == 0 ? t : 0.0);
        double frame[12];
        std::copy(profile->frame, profile->frame + 12, frame);
        // The mesh's sections were gathered into the profile's plane by the
        // fit: they move with it, so that the Sketch tab shows and fits them
        // where the profile now is (left behind, points of the wall lay off
        // the sketch and a turned view traced them away from the wall).
        double move[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
        for (int r = 0; r < 3; ++r)
        {
            move[4 * r + 3] = -frame[4 * r + 2] * shift;
            frame[4 * r + 3] -= frame[4 * r + 2] * shift;
        }
        profile->sections.Transform(move);
        profile->SetFrame(frame);
    }
    BuildHostSurface();
}

void Dezaz_Extruded::GetLocalFrame(double frame[12], int, int axis, bool flip) const
{
    if (GetProfileCurve() == nullptr || axis < 0 || axis > 2)
        return;
    double d[3];
    GetDirection(d);
    const t3DPoint<double> o = GetProfileOrigin();
    AxisAlignmentFrame(frame, d, o.Data(), axis, flip);
}

void Dezaz_Extruded::Transform(const double m[12])
{
    ST_TProfiledSurface::Transform(m);
    BuildHostSurface();
}

void Dezaz_Extruded::GetInfoText(ON_wString& text) const
{
    text = primitive_support::RmsLine(GetRms());
    double d[3];
    GetDirection(d);
    primitive_support::AppendVectorLine(text, L"Direction", d);
    if (m_extrusion.draftFlag != 0)
    {
        ON_wString line;
        line.Format(L"\nDraft Angle: %.3f", m_extrusion.draftAngle * 57.29577951308232);
        text += line;
    }
}

// An extrusion or a surface of revolution relates to the others by its
// direction, as a cylinder does by its axis.
bool Dezaz_Extruded::CanBeCoincidentWith(ST_IGeometry* other)
{
    return Answers(other, IID_ST_CCylinder) || Answers(other, IID_RevolvedSurface);
}

bool Dezaz_Extruded::CanBeParallelTo(ST_IGeometry* other)
{
    return Answers(other, IID_ST_CCylinder) || Answers(other, IID_RevolvedSurface) ||
           Answers(other, IID_ExtrudedSurface);
}

bool Dezaz_Extruded::CanBePerpendicularTo(ST_IGeometry* other)
{
    return Answers(other, IID_ST_CPlane);
}

bool Dezaz_Extruded::BuildHostSurface()
{
    ClearBreps();
    ST_ISectionCurve* profile = GetProfileCurve();
    if (profile == nullptr)
        return true;
    std::vector<ON_Curve*> owned;
    bool fromSketch = false;
    const bool collected = CollectHostCurves(*profile, owned, fromSketch);
    std::vector<std::unique_ptr<ON_Curve>> curves(owned.begin(), owned.end());
    if (!collected || curves.empty())
        return false;

    const double* f = profile->frame;
    const ON_3dVector d(f[2], f[6], f[10]);
    const double length = m_extrusion.length;

    if (IsTapered())
    {
        ON_SimpleArray<const ON_Curve*> in;
        for (const auto& c : curves)
            in.Append(c.get());
        ON_SimpleArray<ON_Curve*> mergedRaw;
        if (!DezazMergeCurves(in, mergedRaw, m_mergeTolerance, 0, nullptr))
            return false;
        std::vector<std::unique_ptr<ON_Curve>> merged;
        for (int i = 0; i < mergedRaw.Count(); ++i)
            merged.emplace_back(mergedRaw[i]);
        // The profile at mid length; the two halves taper away from it.
        double placed[12];
        std::copy(f, f + 12, placed);
        for (int r = 0; r < 3; ++r)
            placed[4 * r + 3] = f[4 * r + 3] + f[4 * r + 2] * length * 0.5;
        const ON_Xform xform = FrameToXform(placed);
        for (const auto& curve : merged)
        {
            std::unique_ptr<ON_Curve> copy(curve->Duplicate());
            // Counter-clockwise about the direction, so that a positive
            // draft widens along it, as the fit measures it.
            if (copy->IsPlanar(nullptr, std::max(m_mergeTolerance, 1e-9)) && WindingAboutZ(*copy) < 0.0)
                copy->Reverse();
            for (const ON_3dVector& sense : {ON_zaxis, -ON_zaxis})
            {
                ON_SimpleArray<ON_Brep*> breps;
                if (!DezazCreateTaperedExtrude(copy.get(), length * 0.5, sense, ON_origin, m_extrusion.draftAngle, 0,
                                               breps))
                    continue;
                for (int b = 0; b < breps.Count(); ++b)
                {
                    breps[b]->Transform(xform);
                    m_breps.Append(breps[b]);
                }
            }
        }
        BuildBreps();
        return true;
    }

    const ON_Xform xform = FrameToXform(f);
    for (const auto& curve : curves)
    {
        std::unique_ptr<ON_Curve> copy(curve->Duplicate());
        copy->Transform(xform);
        ON_Surface* surface = DezazExtrudeCurveStraight(copy.get(), d, length);
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

bool Dezaz_Extruded::FitFromMesh(cMesh& mesh, std::int32_t sectionCount, bool rebuild)
{
    if (GetProfileCurve() == nullptr)
        return false;
    const tFitPointQueue none;
    cFitContainer points(none);
    stProfileFitParams params;
    const t3DPoint<double> d = GetAxis();
    const t3DPoint<double> o = GetProfileOrigin();
    std::copy(d.Data(), d.Data() + 3, params.direction);
    std::copy(o.Data(), o.Data() + 3, params.point);
    params.directionFixed = 1;
    params.pointFixed = 1;
    params.sectionCount = sectionCount;
    params.profileKind = 5;
    params.draftMode = m_extrusion.draftFlag;
    params.draftAngle = m_extrusion.draftAngle;
    (void)rebuild; // the builder always rebuilds with the draft
    return BuildExtrudedFromSections(points, mesh, *this, GetSeeds(), params, 1.0, true);
}

void Dezaz_Extruded::GetExtentBox(float box[6]) const
{
    BrepsBox(m_breps, box);
}

std::uint32_t Dezaz_ExtrudedObject::CurrentMinor() const
{
    return kCurrentMinor;
}

bool Dezaz_ExtrudedObject::WriteBeforeProfile(IBinStream& stream)
{
    const ExtrusionParameters& e = m_geometry->GetExtrusion();
    cRecordWriter writer(stream);
    writer.Put(e.length);
    writer.Put(e.draftFlag);
    writer.Put(e.draftAngle);
    return writer.Ok();
}

bool Dezaz_ExtrudedObject::ReadBeforeProfile(IBinStream& stream, std::uint32_t minor)
{
    cRecordReader reader(stream);
    m_read = m_geometry->GetExtrusion();
    if (!reader.Get(m_read.length) || !std::isfinite(m_read.length))
        return false;
    return minor < 7 ||
           (reader.Get(m_read.draftFlag) && reader.Get(m_read.draftAngle) && std::isfinite(m_read.draftAngle));
}

void Dezaz_ExtrudedObject::AfterRead()
{
    m_geometry->SetDirection(&m_read);
}
