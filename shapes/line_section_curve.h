// The straight profile: a line fitted through the section points, kept as a
// wire and as its two end points. Its ends can be lengthened along the line
// and snapped onto the local axis x = 0 (the axis of a revolved profile).
#pragma once

#include "core/section_curve.h"
#include "core/section_curve_classes.h"
#include "shapes/dezaz_wire.h"

template <class TWire> class ST_TLineCurve : public ST_ISectionCurve
{
public:
    ST_TLineCurve() = default;

    ST_IWire* GetWire() override { return &m_wire; }
    GUID GetClassGuid() const override { return CLSID_ST_TLineCurve; }
    // After the class id: the shared part; the line has no tail.
    bool Read(IBinStream& stream, std::uint32_t major, std::uint32_t minor) override;
    bool Write(IBinStream& stream) const override;
    // The wire from a line; the end points from any curve that has defining
    // points.
    void CopyFrom(const ST_ISectionCurve& source) override;
    void Reset() override;

    // Fits the line through the sections. With `output` the covering segment's
    // ends go there and the curve keeps its geometry; otherwise the ends are
    // lengthened by half the segment times the factor. False, with nothing
    // changed, when no line fits.
    bool RebuildWire(const double frame[12], const tPolylineCollection<tFramePolyline<cVertex>>& sections,
                     float endExtension, tPolyline<cVertex>* output) override;
    bool SetFrame(const double frame[12]) override;
    bool FitToPolyline(const double frame[12], const tPolyline<cVertex>& polyline, double tolerance,
                       std::uint8_t option) override;
    bool InterpolatePolyline(const double frame[12], const tPolyline<cVertex>& points, std::uint8_t option) override;
    bool ExtendStart(double distance, bool rebuild) override;
    bool ExtendEnd(double distance, bool rebuild) override;
    // The end moves to where the line crosses x = 0; a line parallel to that
    // axis never does and is refused (false, unchanged).
    bool SnapStartToAxis() override;
    bool SnapEndToAxis() override;
    std::uint32_t GetSegmentCount() const override { return 1; }
    ST_ISectionCurve* GetSegment(std::uint32_t) override { return this; }
    using ST_ISectionCurve::GetSegment;
    const tPolyline<cVertex>* GetDefiningPoints() const override { return &m_ends; }
    const tPolyline<cVertex>* GetControlPoints() const override { return nullptr; }
    std::unique_ptr<ST_ISectionCurve> Clone() const override;
    // The third vector is the section plane's normal in the world.
    bool EvaluateInWorld(double fraction, t3DPoint<double>* point, t3DPoint<double>* tangent,
                         t3DPoint<double>* third) const override;
    bool IsHorizontal() const override;
    bool IsVertical() const override;

    // The wire becomes the line from the cached start to the cached end; the
    // cached points and end points are re-read from it.
    bool UpdateLineFromEnds();

    const TWire& Wire() const { return m_wire; }

private:
    bool SnapToAxis(double moved[3], const double fixed[3]);

    TWire m_wire;
    tPolyline<cVertex> m_ends;
};

extern template class ST_TLineCurve<Dezaz_Wire>;
