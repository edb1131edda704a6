// Non-uniform rational B-spline curve in three dimensions.
//
// Knots are the full textbook vector of CVCount() + Order() values
// (nurbs_basis.h); the domain is [knot[degree], knot[cv_count]]. Control
// points are stored homogeneous for a rational curve (w x, w y, w z, w) and
// as (x, y, z) otherwise; weights must be positive.
//
// Record: int is_rational, int order, int cv_count, the knots, then the
// control points (four doubles each when rational, else three), all as
// doubles.
#pragma once

#include "platform/geometry/curve.h"
#include "platform/geometry/nurbs_basis.h"

#include <vector>

class ON_NurbsCurve : public ON_Curve
{
public:
    ON_NurbsCurve() = default;
    // Zero control points, knots 0; the caller fills both.
    ON_NurbsCurve(int dimension, bool is_rational, int order, int cv_count);

    static ON_NurbsCurve* Cast(ON_Object* object) { return dynamic_cast<ON_NurbsCurve*>(object); }
    static const ON_NurbsCurve* Cast(const ON_Object* object) { return dynamic_cast<const ON_NurbsCurve*>(object); }

    // Only dimension 3 is kept; order in 2..nurbs_basis::kMaxOrder and
    // cv_count >= order.
    bool Create(int dimension, bool is_rational, int order, int cv_count);
    void Destroy();

    bool IsValid(ON_TextLog* text_log = nullptr) const override;
    ON_BoundingBox BoundingBox() const override;
    bool Transform(const ON_Xform& xform) override;

    ON_Curve* Duplicate() const override { return new ON_NurbsCurve(*this); }
    Kind CurveKind() const override { return Kind::nurbs; }
    ON_Interval Domain() const override;
    bool SetDomain(double t0, double t1) override;
    int SpanCount() const override;
    bool GetSpanVector(double* span_bounds) const override;
    int Degree() const override { return m_order - 1; }
    bool Evaluate(double t, int der_count, ON_3dVector* values, int side = 0) const override;
    bool Reverse() override;
    bool Write(ON_BinaryArchive& archive) const override;
    bool Read(ON_BinaryArchive& archive) override;

    int Dimension() const { return 3; }
    int Order() const { return m_order; }
    int CVCount() const { return m_cv_count; }
    int KnotCount() const { return static_cast<int>(m_knot.size()); }
    bool IsRational() const { return m_is_rat; }
    double Knot(int i) const;
    bool SetKnot(int i, double value);
    const double* KnotArray() const { return m_knot.empty() ? nullptr : m_knot.data(); }
    // Clamped ends (order equal knots) and interior knots delta apart,
    // starting at 0.
    bool MakeClampedUniformKnotVector(double delta = 1.0);

    // Euclidean control point; a rational curve keeps the point's weight.
    bool SetCV(int i, const ON_3dPoint& point);
    bool GetCV(int i, ON_3dPoint& point) const;
    ON_3dPoint CV(int i) const;
    // Homogeneous control point (w x, w y, w z, w); w must be positive.
    bool SetCV(int i, double wx, double wy, double wz, double w);
    double Weight(int i) const;
    // Keeps the Euclidean point; makes the curve rational when w != 1.
    bool SetWeight(int i, double w);
    bool MakeRational();

protected:
    // From the box of each span's control points, which holds the span
    // (weights are positive).
    void GetSpanDistanceBounds(const ON_3dPoint& p, const std::pair<double, double>* pieces, int count,
                               double* lower_bounds) const override;

private:
    int Stride() const { return m_is_rat ? 4 : 3; }
    // Knot index of the span used for t (nurbs_basis::FindSpan, then one
    // span down when side < 0 and t is on its lower knot).
    int SpanIndex(double t, int side) const;

    bool m_is_rat = false;
    int m_order = 0;
    int m_cv_count = 0;
    std::vector<double> m_knot;
    std::vector<double> m_cv;
};
