// The circular profile: an arc fitted through the section points, kept as a
// wire through its start, mid and end points with its centre and radius. An
// arc whose ends meet is closed: the full circle through its start.
#pragma once

#include "core/section_curve.h"
#include "core/section_curve_classes.h"
#include "shapes/dezaz_wire.h"

template <class TWire> class ST_TArcCurve : public ST_ISectionCurve
{
public:
    explicit ST_TArcCurve(std::uint8_t closed = 0) : m_closed(closed) {}

    ST_IWire* GetWire() override { return &m_wire; }
    GUID GetClassGuid() const override { return CLSID_ST_TArcCurve; }
    // Tail: centre (3 doubles), radius (double), closed flag (u8). An arc
    // without a positive radius writes nothing.
    bool Read(IBinStream& stream, std::uint32_t major, std::uint32_t minor) override;
    bool Write(IBinStream& stream) const override;
    void CopyFrom(const ST_ISectionCurve& source) override;
    // The defining points stay.
    void Reset() override;
    bool HasValidWire() const override;
    bool IsClosed() const override { return m_closed != 0; }
    void SetClosed(bool closed) override { m_closed = closed ? 1 : 0; }

    // Fits the arc through the sections; false, with nothing changed, when no
    // arc fits.
    bool RebuildWire(const double frame[12], const tPolylineCollection<tFramePolyline<cVertex>>& sections,
                     float endExtension, tPolyline<cVertex>* output) override;
    bool SetFrame(const double frame[12]) override;
    bool FitToPolyline(const double frame[12], const tPolyline<cVertex>& polyline, double tolerance,
                       std::uint8_t option) override;
    bool InterpolatePolyline(const double frame[12], const tPolyline<cVertex>& points, std::uint8_t option) override;
    bool ExtendStart(double distance, bool rebuild) override;
    bool ExtendEnd(double distance, bool rebuild) override;
    // The end moves along the circle onto x = 0, to the crossing nearer its
    // height; a circle that does not reach x = 0 is refused (false, unchanged).
    bool SnapStartToAxis() override;
    bool SnapEndToAxis() override;
    std::uint32_t GetSegmentCount() const override { return 1; }
    ST_ISectionCurve* GetSegment(std::uint32_t) override { return this; }
    using ST_ISectionCurve::GetSegment;
    const tPolyline<cVertex>* GetDefiningPoints() const override { return &m_defining; }
    const tPolyline<cVertex>* GetControlPoints() const override { return nullptr; }
    std::unique_ptr<ST_ISectionCurve> Clone() const override;
    bool EvaluateInWorld(double fraction, t3DPoint<double>* point, t3DPoint<double>* tangent,
                         t3DPoint<double>* third) const override;
    bool IsHorizontal() const override { return false; }
    bool IsVertical() const override { return false; }

    // The arc through three local points (z dropped) in the frame, its ends
    // lengthened along its circle by half the chord times the factor unless
    // it is closed (each by at most a quarter of the gap it leaves open).
    // False, with nothing changed, when the points admit no circle.
    bool SetArcFromPoints(const double start[3], const double mid[3], const double end[3], const double frame[12],
                          float endExtension, bool closed);
    // The wire through the cached start, mid and end; false (and no wire)
    // when they admit no arc.
    bool UpdateArcWire();

    const double* Centre() const { return m_centre; }
    double Radius() const { return m_radius; }
    const TWire& Wire() const { return m_wire; }

private:
    bool SnapToAxis(double point[3]);
    // Moves the cached start and end along the arc's circle by the arc
    // lengths given: away from the arc's middle when positive (the arc
    // grows), towards it when negative.
    void SlideEnds(double startLength, double endLength);

    tPolyline<cVertex> m_defining;
    double m_centre[3] = {0.0, 0.0, 0.0};
    double m_radius = 0.0;
    std::uint8_t m_closed;
    TWire m_wire;
};

extern template class ST_TArcCurve<Dezaz_Wire>;
