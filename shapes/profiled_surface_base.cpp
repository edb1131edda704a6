#include "shapes/profiled_surface_base.h"

#include "core/bounding_box.h"
#include "shapes/section_curve_factory.h"
#include "shapes/section_curve_records.h"

#include <algorithm>

template <class TWire> void ST_TProfiledSurface<TWire>::Clear()
{
    ST_IGeometry::Clear();
    m_profile.reset();
}

template <class TWire> bool ST_TProfiledSurface<TWire>::IsValid() const
{
    return m_extent != nullptr && m_profile != nullptr && m_profile->HasValidWire();
}

template <class TWire> void ST_TProfiledSurface<TWire>::GetBoundingBox(float box[6]) const
{
    if (m_extent != nullptr)
        m_extent->GetExtentBox(box);
    else
        MakeEmptyBox3f(box);
}

template <class TWire> void ST_TProfiledSurface<TWire>::Transform(const double m[12])
{
    if (m_profile)
        m_profile->Transform(m);
    if (m_extent != nullptr)
        m_extent->TransformExtent(m);
}

template <class TWire>
void ST_TProfiledSurface<TWire>::ConstrainPerpendicular(double out[3], const double d[3], bool dIsNormal) const
{
    std::fill(out, out + 3, 0.0);
    if (dIsNormal)
    {
        std::copy(d, d + 3, out);
        return;
    }
    const t3DPoint<double> a = GetAxis();
    double ad[3];
    Cross3d(a.Data(), d, ad);
    Cross3d(ad, d, out);
}

template <class TWire>
void ST_TProfiledSurface<TWire>::ConstrainParallel(double out[3], const double d[3], bool dIsNormal) const
{
    std::fill(out, out + 3, 0.0);
    if (!dIsNormal)
    {
        std::copy(d, d + 3, out);
        return;
    }
    const t3DPoint<double> a = GetAxis();
    double ad[3];
    Cross3d(a.Data(), d, ad);
    Cross3d(ad, d, out);
}

template <class TWire> void ST_TProfiledSurface<TWire>::GetDirection(double out[3]) const
{
    out[0] = FLT_MAX;
    out[1] = out[2] = 0.0;
}

template <class TWire> void ST_TProfiledSurface<TWire>::GetOrigin(double out[3]) const
{
    out[0] = FLT_MAX;
    out[1] = out[2] = 0.0;
}

template <class TWire>
bool ST_TProfiledSurface<TWire>::SetProfileFromSections(const GUID& classId, const double frame[12],
                                                        std::uint32_t curveId,
                                                        const tPolylineCollection<tFramePolyline<cVertex>>& sections,
                                                        float endExtension, std::uint8_t closed,
                                                        std::uint32_t mergeMode, std::uint8_t rebuild,
                                                        float smoothing)
{
    std::unique_ptr<ST_ISectionCurve> curve = CreateCurveByClassGuid(classId);
    if (!curve)
        return false;
    curve->SetClosed(closed != 0);
    curve->SetMergeMode(mergeMode);
    curve->SetSmoothing(smoothing);
    curve->SetId(curveId);
    double copy[12];
    std::copy(frame, frame + 12, copy);
    if (!curve->RebuildWire(copy, sections, endExtension, nullptr))
        return false;
    ReplaceProfileCurve(std::move(curve));
    return rebuild ? BuildHostSurface() : true;
}

template <class TWire> bool ST_TProfiledSurface<TWire>::SetProfile(const ST_ISectionCurve* curve, std::uint8_t rebuild)
{
    if (curve == nullptr)
        return false;
    std::unique_ptr<ST_ISectionCurve> copy = curve->Clone();
    if (!copy)
        return false;
    copy->Assign(*curve);
    ReplaceProfileCurve(std::move(copy));
    return rebuild ? BuildHostSurface() : true;
}

template <class TWire> bool ST_TProfiledSurface<TWire>::ReplaceProfileCurve(std::unique_ptr<ST_ISectionCurve> curve)
{
    if (!curve)
        return false;
    m_profile = std::move(curve);
    SetRms(m_profile->GetCachedFitRms());
    return true;
}

template <class TWire> void ST_TProfiledSurface<TWire>::CloseProfile(std::uint8_t rebuild)
{
    if (!m_profile)
        return;
    m_profile->SetClosed(true);
    if (rebuild)
        BuildHostSurface();
}

template <class TWire> void ST_TProfiledSurface<TWire>::OpenProfile(std::uint8_t rebuild)
{
    if (!m_profile)
        return;
    m_profile->SetClosed(false);
    if (rebuild)
        BuildHostSurface();
}

template <class TWire> void ST_TProfiledSurface<TWire>::GetProfileFrame(double frame[12]) const
{
    if (m_profile)
        std::copy(m_profile->frame, m_profile->frame + 12, frame);
    else
        MakeIdentity3x4(frame);
}

template <class TWire> t3DPoint<double> ST_TProfiledSurface<TWire>::GetAxis() const
{
    if (!m_profile)
        return {};
    return {m_profile->frame[1], m_profile->frame[5], m_profile->frame[9]};
}

template <class TWire> t3DPoint<double> ST_TProfiledSurface<TWire>::GetProfileOrigin() const
{
    if (!m_profile)
        return {};
    return {m_profile->frame[3], m_profile->frame[7], m_profile->frame[11]};
}

template <class TWire>
std::unique_ptr<ST_ISectionCurve> ST_TProfiledSurface<TWire>::CreateCurveByClassGuid(const GUID& classId) const
{
    return CreateSectionCurveByClassGuid(classId);
}

template class ST_TProfiledSurface<Dezaz_Wire>;

bool ReadProfileCurveBody(ST_TProfiledSurface<Dezaz_Wire>& surface, const GUID& classId, IBinStream& stream,
                          std::uint32_t major, std::uint32_t minor)
{
    std::unique_ptr<ST_ISectionCurve> curve = surface.CreateCurveByClassGuid(classId);
    cRecordReader reader(stream);
    if (!curve || !ReadSectionCurveBody(*curve, reader, major, minor))
        return false;
    return surface.ReplaceProfileCurve(std::move(curve));
}

bool ReadProfileCurveRecord(ST_TProfiledSurface<Dezaz_Wire>& surface, IBinStream& stream, std::uint32_t major,
                            std::uint32_t minor)
{
    cRecordReader reader(stream);
    GUID classId{};
    if (!reader.GetGuid(classId))
        return false;
    return ReadProfileCurveBody(surface, classId, stream, major, minor);
}
