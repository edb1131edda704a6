#include "shapes/loft_surface.h"

#include "core/bounding_box.h"
#include "core/frame_math.h"
#include "fitting/loft_sampling.h"
#include "platform/geometry/nurbs_surface.h"
#include "platform/geometry/plane.h"
#include "platform/geometry/xform.h"
#include "platform/host/geometry_services_loft.h"
#include "shapes/arc_section_curve.h"
#include "shapes/primitive_geometry.h"
#include "shapes/section_curve_records.h"
#include "shapes/spline_section_curve.h"
#include "shapes/shape_object_support.h"

#include <cfloat>
#include <cmath>

namespace
{

// The minor version of the records the current writer produces.
constexpr std::uint32_t kCurrentMinor = 6;
// Segments shorter than this are dropped before lofting, and a section
// closer than this to a plane counts as planar.
constexpr double kLoftCurveTolerance = 2.3283064365386963e-10; // 2^-32
// The loft service's fitting tolerance.
constexpr double kLoftTolerance = 1.1920928955078125e-07; // 2^-23

ON_Xform XformOf(const double m[12])
{
    ON_Xform xform;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            xform.m_xform[r][c] = m[4 * r + c];
    return xform;
}

void ResetLoftDefaults(LoftParameters& p)
{
    DeleteEntryObjects(p.sections);
    p.sections.clear();
    p.ResetSettings();
}

} // namespace

template <class TWire> void ST_TLoftSurface<TWire>::Clear()
{
    ResetLoftDefaults(m_parameters);
    ST_TProfiledSurface<TWire>::Clear();
}

template <class TWire> void ST_TLoftSurface<TWire>::SetDirection(const void* parameters)
{
    const auto* source = static_cast<const LoftParameters*>(parameters);
    if (source == &m_parameters)
        return;
    ResetLoftDefaults(m_parameters);
    if (source == nullptr)
        return;
    m_parameters.expand = source->expand;
    m_parameters.joinAll = source->joinAll;
    m_parameters.sampling = source->sampling;
    m_parameters.curveKind = source->curveKind;
    m_parameters.planeNormalMode = source->planeNormalMode;
    m_parameters.type = source->type;
    for (const LoftSection& section : source->sections)
    {
        LoftSection copy;
        copy.position = section.position;
        copy.flag = section.flag;
        if (section.curve)
        {
            copy.curve = section.curve->Clone();
            if (copy.curve)
                copy.curve->Assign(*section.curve);
        }
        m_parameters.sections.push_back(std::move(copy));
    }
}

template class ST_TLoftSurface<Dezaz_Wire>;

bool ResetLoftSections(ST_TLoftSurface<Dezaz_Wire>& loft, std::int32_t n, double expand)
{
    LoftParameters& p = loft.GetParameters();
    ResetLoftDefaults(p);
    p.threshold = 0.05;
    p.expand = expand;
    const ST_ISectionCurve* guide = loft.GetProfileCurve();
    if (guide == nullptr || guide->GetWire() == nullptr || !guide->GetWire()->IsValid())
        return false;
    // A count of 0 would make an infinite step and a negative one would never
    // reach the end.
    n = std::clamp(n, 1, kMaxLoftSections);
    const double step = 1.0 / static_cast<double>(n);
    double position = 0.0;
    for (std::int32_t i = 0; i <= n && position <= 1.0 + FLT_EPSILON; ++i, position += step)
    {
        LoftSection section;
        section.position = position;
        p.sections.push_back(std::move(section));
    }
    return true;
}

Dezaz_LoftSurface::Dezaz_LoftSurface()
{
    SetExtent(this);
}

Dezaz_LoftSurface::~Dezaz_LoftSurface()
{
    DropHostSurface();
}

void* Dezaz_LoftSurface::NonDelegatingQueryInterface(const GUID& iid)
{
    if (IsEqualInterfaceId(iid, IID_Dezaz_LoftSurface) || IsEqualInterfaceId(iid, IID_ST_IGeometry))
        return static_cast<ST_IGeometry*>(this);
    if (IsEqualInterfaceId(iid, IID_ON_ISurface))
        return static_cast<ON_ISurface*>(this);
    if (IsEqualInterfaceId(iid, IID_ST_IProfiledSurface))
        return static_cast<ST_IProfiledSurface*>(this);
    if (IsEqualInterfaceId(iid, IID_IBase))
        return static_cast<IBase*>(static_cast<IBaseAggregate*>(this));
    return nullptr;
}

void Dezaz_LoftSurface::DropHostSurface()
{
    ClearBreps();
    delete m_hostSurface;
    m_hostSurface = nullptr;
}

void Dezaz_LoftSurface::GetLocalFrame(double frame[12], int, int axis, bool flip) const
{
    MakeIdentity3x4(frame);
    const ST_ISectionCurve* profile = GetProfileCurve();
    if (profile == nullptr || axis < 0 || axis > 2)
        return;
    float v[3] = {static_cast<float>(profile->frame[2]), static_cast<float>(profile->frame[6]),
                  static_cast<float>(profile->frame[10])};
    float e[3] = {0.0f, 0.0f, 0.0f};
    e[axis] = 1.0f;
    const auto distance2 = [&](float sign) {
        float d = 0.0f;
        for (int i = 0; i < 3; ++i)
            d += (v[i] - sign * e[i]) * (v[i] - sign * e[i]);
        return d;
    };
    if (distance2(1.0f) < FLT_EPSILON || (distance2(-1.0f) >= FLT_EPSILON && flip))
        for (float& c : v)
            c = -c;
    BuildAxisFrame(frame, v, axis);
    if (profile->GetClassGuid() != CLSID_ST_TArcCurve)
        return;
    const auto* arc = static_cast<const ST_TArcCurve<Dezaz_Wire>*>(profile);
    const double* c = arc->Centre();
    const t3DPoint<double> centre = profile->LocalToWorld({c[0], c[1], c[2]});
    for (int r = 0; r < 3; ++r)
        frame[4 * r + 3] = -(frame[4 * r] * centre.x + frame[4 * r + 1] * centre.y + frame[4 * r + 2] * centre.z);
}

void Dezaz_LoftSurface::Transform(const double m[12])
{
    for (LoftSection& section : m_parameters.sections)
        if (section.curve)
            section.curve->Transform(m);
    ST_TProfiledSurface::Transform(m);
    BuildHostSurface();
}

void Dezaz_LoftSurface::GetInfoText(ON_wString& text) const
{
    text.Format(L"Tolerance: %.5f", static_cast<double>(static_cast<float>(GetRms())));
}

void Dezaz_LoftSurface::GetDirection(double out[3]) const
{
    out[0] = FLT_MAX;
    out[1] = 0.0;
    out[2] = 0.0;
}

void Dezaz_LoftSurface::GetOrigin(double out[3]) const
{
    GetDirection(out);
}

t3DPoint<double> Dezaz_LoftSurface::GetAxis() const
{
    const ST_ISectionCurve* profile = GetProfileCurve();
    if (profile == nullptr)
        return {};
    return {profile->frame[2], profile->frame[6], profile->frame[10]};
}

bool Dezaz_LoftSurface::BuildHostSurface()
{
    DropHostSurface();
    const ST_ISectionCurve* profile = GetProfileCurve();
    if (profile == nullptr)
        return false;
    LoftParameters working;
    const LoftParameters& used = SampleLoftToGrid(profile, m_parameters, &working) ? working : m_parameters;

    // Closed sections arrive as open splines (their wire does not close
    // over the last step); the loft is told that they are loops so that it
    // closes them smoothly and lines their seams up.
    bool loops = false;
    for (const LoftSection& section : m_parameters.sections)
        if (section.curve)
        {
            loops = section.curve->IsClosed();
            if (!loops)
                break;
        }

    CArgsDezazLoft args;
    args.m_sample_count = m_parameters.sampling;
    args.m_tolerance = kLoftTolerance;
    for (const LoftSection& section : used.sections)
    {
        if (!section.curve)
            continue;
        const auto* wire = dynamic_cast<const Dezaz_Wire*>(section.curve->GetWire());
        if (wire == nullptr || wire->GetCurve() == nullptr)
            continue;
        auto* loftCurve = new CDezazLoftCurve;
        loftCurve->m_curve = wire->GetCurve()->Duplicate();
        loftCurve->m_curve->Transform(XformOf(section.curve->frame));
        loftCurve->m_bClosed = loops || loftCurve->m_curve->IsClosed();
        loftCurve->m_bPlanar = loftCurve->m_curve->IsPlanar(&loftCurve->m_plane, kLoftCurveTolerance);
        args.m_loftcurves.Append(loftCurve);
    }
    bool built = false;
    if (args.m_loftcurves.Count() > 0)
    {
        ON_SimpleArray<ON_NurbsSurface*> surfaces;
        DezazSdkLoftSurface(args, surfaces, nullptr);
        if (surfaces.Count() == 1)
        {
            m_hostSurface = surfaces[0];
            built = true;
        }
        else
            for (int i = 0; i < surfaces.Count(); ++i)
                delete surfaces[i];
    }
    for (int i = 0; i < args.m_loftcurves.Count(); ++i)
    {
        delete args.m_loftcurves[i]->m_curve;
        delete args.m_loftcurves[i];
    }
    DeleteEntryObjects(working.sections);
    return built;
}

bool Dezaz_LoftSurface::GetNurbForm(ON_NurbsSurface& srf)
{
    if (m_hostSurface == nullptr)
        return false;
    srf = *m_hostSurface;
    return true;
}

void Dezaz_LoftSurface::TransformExtent(const double m[12])
{
    if (m_hostSurface != nullptr)
        m_hostSurface->Transform(XformOf(m));
    ClearBreps();
}

void Dezaz_LoftSurface::GetExtentBox(float box[6]) const
{
    MakeEmptyBox3f(box);
    if (m_hostSurface == nullptr)
        return;
    const ON_BoundingBox b = m_hostSurface->BoundingBox();
    if (!b.IsValid())
        return;
    const float lo[3] = {static_cast<float>(b.m_min.x), static_cast<float>(b.m_min.y), static_cast<float>(b.m_min.z)};
    const float hi[3] = {static_cast<float>(b.m_max.x), static_cast<float>(b.m_max.y), static_cast<float>(b.m_max.z)};
    GrowBox3f(box, lo);
    GrowBox3f(box, hi);
}

bool WriteLoftRecord(IBinStream& stream, const ST_TLoftSurface<Dezaz_Wire>& loft)
{
    const LoftParameters& p = loft.GetParameters();
    cRecordWriter writer(stream);
    writer.Put(p.expand);
    writer.Put(p.threshold);
    writer.Put(p.type);
    writer.Put(static_cast<std::uint32_t>(p.sections.size()));
    for (const LoftSection& section : p.sections)
    {
        writer.Put(section.position);
        writer.Put(static_cast<std::uint32_t>(section.curve ? 1 : 0));
        if (!section.curve)
            continue;
        writer.PutFrame(section.curve->frame);
        writer.Put(static_cast<std::uint8_t>(section.curve->IsClosed() ? 1 : 0));
        // Kinds without defining points (sketches) store none and read back
        // as an entry without a curve.
        const tPolyline<cVertex>* points = section.curve->GetDefiningPoints();
        const std::uint32_t count = points != nullptr ? points->GetVertexCount() : 0;
        writer.Put(count);
        if (count > 0)
            writer.PutPositions(*points, true);
        if (!writer.Ok())
            return false;
    }
    return writer.Ok();
}

bool ReadLoftRecord(IBinStream& stream, ST_TLoftSurface<Dezaz_Wire>& loft)
{
    LoftParameters& p = loft.GetParameters();
    DeleteEntryObjects(p.sections);
    p.sections.clear();
    p.ResetSettings();
    cRecordReader reader(stream);
    std::uint32_t count = 0;
    if (!reader.Get(p.expand) || !reader.Get(p.threshold) || !reader.Get(p.type) || !reader.Get(count))
        return false;
    // Every section costs at least 12 bytes, so the loop ends with the
    // stream whatever the count says.
    for (std::uint32_t i = 0; i < count; ++i)
    {
        LoftSection section;
        std::uint32_t hasCurve = 0;
        if (!reader.Get(section.position) || !reader.Get(hasCurve) || hasCurve > 1)
            return false;
        if (hasCurve == 1)
        {
            double frame[12];
            MakeIdentity3x4(frame);
            std::uint8_t closed = 0;
            std::uint32_t pointCount = 0;
            tPolyline<cVertex> points;
            if (!reader.GetFrame(frame) || !reader.Get(closed) || !reader.Get(pointCount) ||
                !reader.GetPositions(pointCount, points, true))
                return false;
            if (pointCount > 0)
            {
                section.curve = loft.CreateCurveByClassGuid(CLSID_ST_TSplineCurve);
                if (!section.curve)
                    return false;
                section.curve->SetClosed(closed != 0);
                section.curve->SetMergeMode(0);
                section.curve->SetSmoothing(-1.0f);
                section.curve->SetId(1);
                section.curve->FitToPolyline(frame, points, 0.0, 0);
            }
        }
        p.sections.push_back(std::move(section));
        p.sections.back().flag = 1;
    }
    return true;
}

std::uint32_t Dezaz_LoftSurfaceObject::CurrentMinor() const
{
    return kCurrentMinor;
}

bool Dezaz_LoftSurfaceObject::WriteBeforeProfile(IBinStream& stream)
{
    return WriteLoftRecord(stream, *m_geometry);
}

bool Dezaz_LoftSurfaceObject::ReadBeforeProfile(IBinStream& stream, std::uint32_t)
{
    return ReadLoftRecord(stream, *m_geometry);
}
