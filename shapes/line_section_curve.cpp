#include "shapes/line_section_curve.h"

#include "fitting/fit_drivers.h"
#include "shapes/dezaz_wire.h"
#include "shapes/section_curve_factory.h"
#include "shapes/section_curve_geometry.h"
#include "shapes/section_curve_records.h"

#include <algorithm>
#include <cmath>

namespace
{

constexpr double kAxisAlignedTolerance = 1e-5;

void StorePoint(double target[3], const t3DPoint<double>& p)
{
    target[0] = p.x;
    target[1] = p.y;
    target[2] = 0.0;
}

} // namespace

template <class TWire> void ST_TLineCurve<TWire>::Reset()
{
    ST_ISectionCurve::Reset();
    m_wire.Reset();
}

template <class TWire> void ST_TLineCurve<TWire>::CopyFrom(const ST_ISectionCurve& source)
{
    if (IsSameCurveClass(*this, source))
        m_wire = static_cast<const ST_TLineCurve&>(source).m_wire;
    if (const tPolyline<cVertex>* points = source.GetDefiningPoints())
        m_ends = *points;
}

template <class TWire> std::unique_ptr<ST_ISectionCurve> ST_TLineCurve<TWire>::Clone() const
{
    return std::make_unique<ST_TLineCurve>();
}

template <class TWire> bool ST_TLineCurve<TWire>::UpdateLineFromEnds()
{
    if (!m_wire.SetLine(FlattenedPoint(cachedStart), FlattenedPoint(cachedEnd)))
        return false;
    StorePoint(cachedStart, m_wire.GetStartPoint());
    StorePoint(cachedEnd, m_wire.GetEndPoint());
    StorePoint(cachedMid, m_wire.GetMidPoint());
    m_ends.Clear();
    m_ends.AddPoint3d(cachedStart);
    m_ends.AddPoint3d(cachedEnd);
    InvalidateFitRms();
    return true;
}

template <class TWire>
bool ST_TLineCurve<TWire>::RebuildWire(const double frame_[12],
                                       const tPolylineCollection<tFramePolyline<cVertex>>& sections_,
                                       float endExtension, tPolyline<cVertex>* output)
{
    double a[3] = {0.0, 0.0, 0.0};
    double b[3] = {0.0, 0.0, 0.0};
    const double rms = FitLineToPolylines(sections_, a, b, false);
    if (!(rms < FLT_MAX) || !std::isfinite(a[0] + a[1] + b[0] + b[1]))
        return false;
    a[2] = b[2] = 0.0;
    const double savedFrame[12] = {frame_[0], frame_[1], frame_[2], frame_[3], frame_[4],  frame_[5],
                                   frame_[6], frame_[7], frame_[8], frame_[9], frame_[10], frame_[11]};
    sections = tPolylineCollection<tFramePolyline<cVertex>>(sections_);
    if (output)
    {
        output->AddPoint3d(a);
        output->AddPoint3d(b);
        return true;
    }
    InvalidateFitRms();
    std::copy(savedFrame, savedFrame + 12, frame);
    std::copy(a, a + 3, cachedStart);
    std::copy(b, b + 3, cachedEnd);
    for (int i = 0; i < 3; ++i)
        cachedMid[i] = 0.5 * (a[i] + b[i]);
    if (std::fabs(endExtension) > FLT_EPSILON)
    {
        if (!UpdateLineFromEnds())
            return false;
        const float chord = static_cast<float>(std::hypot(a[0] - b[0], a[1] - b[1]));
        const float d = chord * 0.5f * endExtension;
        ExtendStartPoint(d);
        ExtendEndPoint(d);
    }
    return UpdateLineFromEnds();
}

template <class TWire> bool ST_TLineCurve<TWire>::SetFrame(const double frame_[12])
{
    std::copy(frame_, frame_ + 12, frame);
    return UpdateLineFromEnds();
}

template <class TWire>
bool ST_TLineCurve<TWire>::FitToPolyline(const double frame_[12], const tPolyline<cVertex>& polyline, double,
                                         std::uint8_t)
{
    tPolylineCollection<tFramePolyline<cVertex>> single;
    MakeSingleSection(frame_, polyline, single);
    return RebuildWire(frame_, single, 0.0f, nullptr);
}

template <class TWire>
bool ST_TLineCurve<TWire>::InterpolatePolyline(const double frame_[12], const tPolyline<cVertex>& points,
                                               std::uint8_t option)
{
    return FitToPolyline(frame_, points, 0.0, option);
}

template <class TWire> bool ST_TLineCurve<TWire>::ExtendStart(double distance, bool rebuild)
{
    if (!m_wire.IsValid())
        return false;
    ExtendStartPoint(distance);
    return rebuild ? UpdateLineFromEnds() : true;
}

template <class TWire> bool ST_TLineCurve<TWire>::ExtendEnd(double distance, bool rebuild)
{
    if (!m_wire.IsValid())
        return false;
    ExtendEndPoint(distance);
    return rebuild ? UpdateLineFromEnds() : true;
}

template <class TWire> bool ST_TLineCurve<TWire>::SnapToAxis(double moved[3], const double fixed[3])
{
    const double dx = moved[0] - fixed[0];
    if (std::fabs(dx) < kAxisAlignedTolerance * 1e-3)
        return false;
    const double y = fixed[1] - (moved[1] - fixed[1]) * fixed[0] / dx;
    if (!std::isfinite(y))
        return false;
    const double saved[3] = {moved[0], moved[1], moved[2]};
    moved[0] = 0.0;
    moved[1] = y;
    if (UpdateLineFromEnds())
        return true;
    std::copy(saved, saved + 3, moved);
    return false;
}

template <class TWire> bool ST_TLineCurve<TWire>::SnapStartToAxis()
{
    return SnapToAxis(cachedStart, cachedEnd);
}

template <class TWire> bool ST_TLineCurve<TWire>::SnapEndToAxis()
{
    return SnapToAxis(cachedEnd, cachedStart);
}

template <class TWire>
bool ST_TLineCurve<TWire>::EvaluateInWorld(double fraction, t3DPoint<double>* point, t3DPoint<double>* tangent,
                                           t3DPoint<double>* third) const
{
    if (third)
        *third = {frame[2], frame[6], frame[10]};
    return EvaluateWireInWorld(*this, fraction, point, tangent);
}

template <class TWire> bool ST_TLineCurve<TWire>::IsHorizontal() const
{
    return std::fabs(cachedStart[1] - cachedEnd[1]) < kAxisAlignedTolerance;
}

template <class TWire> bool ST_TLineCurve<TWire>::IsVertical() const
{
    return std::fabs(cachedStart[0] - cachedEnd[0]) < kAxisAlignedTolerance;
}

template <class TWire> bool ST_TLineCurve<TWire>::Write(IBinStream& stream) const
{
    cRecordWriter writer(stream);
    writer.PutGuid(GetClassGuid());
    WriteSectionCurveBase(writer, *this);
    return writer.Ok();
}

template <class TWire> bool ST_TLineCurve<TWire>::Read(IBinStream& stream, std::uint32_t, std::uint32_t)
{
    Reset();
    cRecordReader reader(stream);
    if (!ReadSectionCurveBase(reader, *this))
        return false;
    // The bytes are all read: a line that cannot be rebuilt (equal ends) is
    // kept as read rather than dropped.
    UpdateLineFromEnds();
    InvalidateFitRms();
    return true;
}

template class ST_TLineCurve<Dezaz_Wire>;
