// The program's abstract curve: the geometry of one section or profile
// curve. Curve logic of the section curves and the profiled surfaces is
// written against ST_IWire; the shape model implements it over a host curve
// (Dezaz_Wire) and over a sketch of several section curves (ST_SketchWire).
//
// Points and vectors are double 3-vectors; boxes are six floats (min x, y,
// z, then max). The unset point is (FLT_MAX, FLT_MAX, FLT_MAX); fractions
// run from 0 at the start to 1 at the end of the curve.
#pragma once

#include "core/polyline.h"
#include "core/polyline_collection.h"
#include "core/vector_math.h"
#include "platform/win32/types.h"

#include <cfloat>
#include <cstdint>

// Kinds of wire (GetKind). 3 is never produced by the wires themselves.
enum WireKind : std::int32_t
{
    kWireEmpty = 0,
    kWireLine = 1,
    kWireArc = 2,
    kWireSpline = 4,
    kWireSketch = 5,
};

inline constexpr t3DPoint<double> kUnsetWirePoint{FLT_MAX, FLT_MAX, FLT_MAX};

class ST_IWire
{
public:
    virtual ~ST_IWire() = default;

    // Empties the wire.
    virtual void Reset() = 0;
    virtual bool IsValid() const = 0;
    // Both wires report the same class id.
    virtual bool IsSameType(const ST_IWire& other) const;
    // A new empty wire of the same class; the caller owns it.
    virtual ST_IWire* CreateEmpty() const = 0;

    // The wire becomes a spline through the points (the last argument is
    // kept for callers that pass 0).
    virtual bool InterpolatePoints(const tPolyline<cVertex>& points, bool closed, std::uint8_t option,
                                   std::uint32_t reserved) = 0;
    // The arc from p0 through p1 to p2; centre and radius are the caller's
    // own estimate.
    virtual bool SetArcThrough3Points(const t3DPoint<double>& p0, const t3DPoint<double>& p1,
                                      const t3DPoint<double>& p2, const t3DPoint<double>& centre,
                                      double radius) = 0;
    virtual bool SetLine(const t3DPoint<double>& p0, const t3DPoint<double>& p1) = 0;
    virtual bool SetControlPoints(const tPolyline<cVertex>& points) = 0;
    virtual void GetControlPoints(tPolyline<cVertex>& out) const = 0;
    // The curve sampled within the tolerance.
    virtual void ToPolyline(tPolyline<cVertex>& out, double tolerance) const = 0;
    // The points the curve was made from.
    virtual void GetPolyline(tPolyline<cVertex>& out) const = 0;

    // Composite wires: whether the wire took a copy of `segment` as its next
    // piece.
    virtual bool AddSegment(const ST_IWire& segment) = 0;
    virtual std::uint32_t GetSegmentCount() const = 0;
    virtual void RemoveSegment(const ST_IWire& segment) = 0;
    // No range check beyond what each class states.
    virtual ST_IWire* GetSegment(std::uint32_t index) = 0;

    virtual void GetBoundingBox(float box[6]) const = 0;
    // m: 3x4 row-major affine transform.
    virtual void Transform(const double m[12]) = 0;
    // Root-mean-square distance of the points of the polylines from the
    // curve; the polylines are taken as they are, in the wire's coordinates.
    virtual double GetFitRms(const tPolylineCollection<tFramePolyline<cVertex>>& polylines) const = 0;
    // Distance of the point from the curve; FLT_MAX when there is no answer.
    virtual double GetDistanceToPoint(const t3DPoint<double>& point) const = 0;
    virtual double GetLengthBetween(double fraction_a, double fraction_b) const = 0;
    virtual double GetLength() const = 0;
    virtual bool GetFractionAtLength(double length, double* fraction, double tolerance) const = 0;
    virtual GUID GetClassGuid() const = 0;
    virtual std::int32_t GetKind() const = 0;
    virtual t3DPoint<double> GetStartPoint() const = 0;
    virtual t3DPoint<double> GetMidPoint() const = 0;
    virtual t3DPoint<double> GetEndPoint() const = 0;
    virtual t3DPoint<double> GetStartTangent() const = 0;
    virtual t3DPoint<double> GetMidTangent() const = 0;
    virtual t3DPoint<double> GetEndTangent() const = 0;
    virtual bool EvaluateAtFraction(double fraction, t3DPoint<double>* point, t3DPoint<double>* tangent) const = 0;
    // Kept in its slot for the interface's layout; no wire gives it a use.
    virtual bool ReservedQueryA() const { return false; }
    // -FLT_MAX when there is no answer.
    virtual double GetFractionAtPoint(const t3DPoint<double>& point) const = 0;
    // Kept in its slot for the interface's layout; no wire gives it a use.
    virtual bool ReservedQueryB() const { return false; }
};

inline bool ST_IWire::IsSameType(const ST_IWire& other) const
{
    return GetClassGuid() == other.GetClassGuid();
}
