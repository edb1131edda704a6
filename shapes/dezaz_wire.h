// The wire over a host curve: a line, an arc through three points, an
// interpolated spline, or a chain of such wires (a composite, built piece by
// piece with AddSegment). Besides its host curve every wire keeps the points
// it was made from, which stand in for the curve where it has none.
#pragma once

#include "core/wire.h"

#include <vector>

class ON_Curve;
class ON_PolyCurve;

// {0DBE070D-6251-49A6-B791-AF6B3DAAA5AB}
inline constexpr GUID CLSID_Dezaz_Wire = {0x0DBE070D, 0x6251, 0x49A6, {0xB7, 0x91, 0xAF, 0x6B, 0x3D, 0xAA, 0xA5, 0xAB}};

// Kind of a composite wire: its host curve is the chain of its segments'.
inline constexpr std::int32_t kWireComposite = 3;

class Dezaz_Wire : public ST_IWire
{
public:
    Dezaz_Wire() = default;
    Dezaz_Wire(const Dezaz_Wire& other);
    // Copies the defining points, the kind, a duplicate of the other's host
    // curve and the other's segments.
    Dezaz_Wire& operator=(const Dezaz_Wire& other);
    ~Dezaz_Wire() override;

    void Reset() override;
    // Defining points and a kind.
    bool IsValid() const override;
    ST_IWire* CreateEmpty() const override { return new Dezaz_Wire; }
    // A chord-length cubic through the points. True even when the points
    // admit no curve (then the defining points stand in for it).
    bool InterpolatePoints(const tPolyline<cVertex>& points, bool closed, std::uint8_t option,
                           std::uint32_t reserved) override;
    bool SetArcThrough3Points(const t3DPoint<double>& p0, const t3DPoint<double>& p1, const t3DPoint<double>& p2,
                              const t3DPoint<double>& centre, double radius) override;
    // False, without a curve but with the previous points and kind, for
    // points closer than FLT_EPSILON.
    bool SetLine(const t3DPoint<double>& p0, const t3DPoint<double>& p1) override;
    bool SetControlPoints(const tPolyline<cVertex>& points) override;
    void GetControlPoints(tPolyline<cVertex>& out) const override;
    void ToPolyline(tPolyline<cVertex>& out, double tolerance) const override;
    void GetPolyline(tPolyline<cVertex>& out) const override { out = m_points; }
    // Takes a copy of a line, arc or spline wire as the next piece of this
    // wire's chain; the host curve becomes the chain. Refused (false, nothing
    // taken) for a wire of another class or without a host curve, and when
    // this wire already holds a curve of its own.
    bool AddSegment(const ST_IWire& segment) override;
    // The segments; else 1 with defining points, 0 without.
    std::uint32_t GetSegmentCount() const override;
    void RemoveSegment(const ST_IWire&) override {}
    // The wire itself for index 0 without segments; null past the end.
    ST_IWire* GetSegment(std::uint32_t index) override;
    void GetBoundingBox(float box[6]) const override;
    void Transform(const double m[12]) override;
    double GetFitRms(const tPolylineCollection<tFramePolyline<cVertex>>& polylines) const override;
    // Distance to the nearest point of the host curve; FLT_MAX without one.
    double GetDistanceToPoint(const t3DPoint<double>& point) const override;
    double GetLengthBetween(double fraction_a, double fraction_b) const override;
    double GetLength() const override;
    bool GetFractionAtLength(double length, double* fraction, double tolerance) const override;
    GUID GetClassGuid() const override { return CLSID_Dezaz_Wire; }
    std::int32_t GetKind() const override { return m_kind; }
    t3DPoint<double> GetStartPoint() const override;
    t3DPoint<double> GetMidPoint() const override;
    t3DPoint<double> GetEndPoint() const override;
    t3DPoint<double> GetStartTangent() const override;
    t3DPoint<double> GetMidTangent() const override;
    t3DPoint<double> GetEndTangent() const override;
    bool EvaluateAtFraction(double fraction, t3DPoint<double>* point, t3DPoint<double>* tangent) const override;
    double GetFractionAtPoint(const t3DPoint<double>& point) const override;

    // The host curve, or null.
    const ON_Curve* GetCurve() const { return m_curve; }
    // Takes ownership of a host curve made elsewhere, with the points it was
    // made from and its kind (line, arc or spline); false (and the curve
    // deleted, the wire unchanged) for a null or invalid curve or another
    // kind.
    bool AdoptCurve(ON_Curve* curve, std::int32_t kind, const tPolyline<cVertex>& points);

private:
    void SetCurve(ON_Curve* curve);
    // Unit tangent at the parameter, or the unset point.
    t3DPoint<double> TangentAt(double t) const;
    // Rebuilds the chain curve and the defining points from the segments.
    void RebuildComposite();
    // Adds a copy of the segment's curve to the chain and its points to ours.
    void AppendToComposite(ON_PolyCurve& chain, const Dezaz_Wire& piece);

    std::int32_t m_kind = kWireEmpty;
    tPolyline<cVertex> m_points;
    ON_Curve* m_curve = nullptr;
    std::vector<Dezaz_Wire> m_segments;
};
