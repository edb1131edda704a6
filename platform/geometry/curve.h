// Parametric curves of the geometry library. ON_Curve holds what every kind
// shares: evaluation by derivatives, tangents, the global closest point,
// arc length over a sub-domain, planarity, and the tagged archive record.
//
// Record of a curve in the binary archive: int kind (1 line, 2 arc, 3 NURBS,
// 4 polyline, 5 poly-curve), then the kind's own fields (see each class).
// Readers check every value and take nothing from a record that fails.
#pragma once

#include "platform/geometry/interval.h"
#include "platform/geometry/object.h"
#include "platform/geometry/plane.h"
#include "platform/geometry/simple_array.h"

#include <utility>

class ON_BinaryArchive;

class ON_Curve : public ON_Geometry
{
public:
    enum class Kind : int
    {
        line = 1,
        arc = 2,
        nurbs = 3,
        polyline = 4,
        polycurve = 5,
    };

    // A copy of the curve on the heap; the caller owns it.
    virtual ON_Curve* Duplicate() const = 0;
    virtual Kind CurveKind() const = 0;

    virtual ON_Interval Domain() const = 0;
    // Reparameterises onto [t0, t1]; false unless t0 < t1.
    virtual bool SetDomain(double t0, double t1) = 0;
    // Number of smooth pieces, and their SpanCount() + 1 increasing bounds.
    virtual int SpanCount() const = 0;
    virtual bool GetSpanVector(double* span_bounds) const = 0;
    virtual int Degree() const = 0;

    // values[0] = point, values[k] = k-th derivative, k <= der_count. side < 0
    // evaluates a parameter on a span bound from the span below it.
    virtual bool Evaluate(double t, int der_count, ON_3dVector* values, int side = 0) const = 0;
    // Reverses the direction; the domain becomes [-t1, -t0].
    virtual bool Reverse() = 0;

    bool EvPoint(double t, ON_3dPoint& point, int side = 0) const;
    bool Ev1Der(double t, ON_3dPoint& point, ON_3dVector& d1, int side = 0) const;
    bool Ev2Der(double t, ON_3dPoint& point, ON_3dVector& d1, ON_3dVector& d2, int side = 0) const;
    // Unit tangent; where the first derivative vanishes, the direction of the
    // first non-zero higher derivative (the limit of the tangent).
    bool EvTangent(double t, ON_3dPoint& point, ON_3dVector& tangent, int side = 0) const;

    // ON_UNSET_POINT / the zero vector when the curve cannot be evaluated.
    ON_3dPoint PointAt(double t) const;
    ON_3dPoint PointAtStart() const { return PointAt(Domain()[0]); }
    ON_3dPoint PointAtEnd() const { return PointAt(Domain()[1]); }
    ON_3dVector DerivativeAt(double t) const;
    ON_3dVector TangentAt(double t) const;

    bool IsClosed() const;
    // True when every point of the curve lies within tolerance of one plane;
    // the plane is written when asked for (a line gets a plane through it).
    bool IsPlanar(ON_Plane* plane = nullptr, double tolerance = ON_ZERO_TOLERANCE) const;

    // Parameter of the point of the curve (or of the sub-domain) closest to
    // p. maximum_distance > 0 refuses (false) farther points; 0 means no
    // limit. The search is global: every span that could hold a closer point
    // than the best one found is examined, so a point near a curve that
    // doubles back finds the nearer branch.
    virtual bool GetClosestPoint(const ON_3dPoint& p, double* t, double maximum_distance = 0.0,
                                 const ON_Interval* sub_domain = nullptr) const;
    // Arc length of the curve or of an increasing sub-domain inside the
    // domain, within fractional_tolerance of the true length.
    virtual bool GetLength(double* length, double fractional_tolerance = 1.0e-8,
                           const ON_Interval* sub_domain = nullptr) const;

    // The archive record of the curve's own fields (without the kind).
    virtual bool Write(ON_BinaryArchive& archive) const = 0;
    virtual bool Read(ON_BinaryArchive& archive) = 0;

protected:
    // Lower bounds of the squared distance from p to the curve over each of
    // the parameter intervals (increasing, each inside one span), used to
    // skip spans in the closest-point search. The default bound is 0: every
    // span is searched.
    virtual void GetSpanDistanceBounds(const ON_3dPoint& p, const std::pair<double, double>* pieces, int count,
                                       double* lower_bounds) const;
};

// The kind and the record of the curve; false for a null curve or when the
// archive fails.
bool ON_WriteCurve(ON_BinaryArchive& archive, const ON_Curve* curve);
// A new curve read from its record (the caller owns it), or null when the
// record is damaged or unknown; the archive may then stand anywhere in it.
ON_Curve* ON_ReadCurve(ON_BinaryArchive& archive);

namespace on_curve_detail
{
// Reads for the curve records: false for non-finite values.
bool ReadFinite(ON_BinaryArchive& archive, double* value);
bool ReadPoint(ON_BinaryArchive& archive, ON_3dPoint& point);
bool WritePoint(ON_BinaryArchive& archive, const ON_3dPoint& point);
bool ReadInterval(ON_BinaryArchive& archive, ON_Interval& interval);
bool WriteInterval(ON_BinaryArchive& archive, const ON_Interval& interval);
// Curves parameterised by a list of increasing breakpoints (polylines,
// chains): their domain runs from the first to the last, and a new domain
// rescales every breakpoint onto it, the ends exactly.
ON_Interval BreakpointDomain(const ON_SimpleArray<double>& t);
bool RescaleBreakpoints(ON_SimpleArray<double>& t, double t0, double t1);
// Nesting depth of poly-curve records being read on this thread.
int& ReadDepth();
// Halvings one length may spend in all on this thread (20000 unless
// lowered, as a fuzz target does to bound its work per input).
int& LengthSplitBudget();
} // namespace on_curve_detail
