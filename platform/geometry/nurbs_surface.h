// Rational and polynomial tensor-product B-spline surfaces: the exact form
// every other surface converts to. Knot vectors follow nurbs_basis.h (each
// direction has cv_count + order knots); a rational control point is stored
// homogeneous as (w x, w y, w z, w).
#pragma once

#include "platform/geometry/surface.h"

#include <vector>

class ON_NurbsSurface : public ON_Surface
{
public:
    int m_dim = 3;
    bool m_is_rat = false;
    int m_order[2] = {0, 0};
    int m_cv_count[2] = {0, 0};
    std::vector<double> m_knot[2];
    // Control point (i, j) starts at (i * m_cv_count[1] + j) * CVSize().
    std::vector<double> m_cv;

    ON_NurbsSurface() = default;
    ON_NurbsSurface(bool is_rat, int order0, int order1, int cv_count0, int cv_count1);

    // Sizes the arrays (knots and control points zeroed); false for orders
    // below 2 or fewer control points than the order.
    bool Create(bool is_rat, int order0, int order1, int cv_count0, int cv_count1);
    void Destroy();

    int CVSize() const { return m_is_rat ? m_dim + 1 : m_dim; }
    int KnotCount(int dir) const { return m_cv_count[dir != 0] + m_order[dir != 0]; }
    double* CV(int i, int j);
    const double* CV(int i, int j) const;
    // Sets a control point from Euclidean coordinates and a weight (the
    // weight is ignored by a polynomial surface).
    bool SetCV(int i, int j, const ON_3dPoint& point, double weight = 1.0);
    // Euclidean control point and its weight; false for indices out of range.
    bool GetCV(int i, int j, ON_3dPoint& point, double* weight = nullptr) const;
    double Weight(int i, int j) const;
    // Sets every knot of one direction at once (KnotCount(dir) values).
    bool SetKnots(int dir, const double* knots);
    // Maps one direction's domain linearly onto [t0, t1].
    bool SetDomain(int dir, double t0, double t1);

    ON_Surface* DuplicateSurface() const override { return new ON_NurbsSurface(*this); }
    Type SurfaceType() const override { return Type::nurbs; }
    ON_Interval Domain(int dir) const override;
    bool Evaluate(double s, double t, int der_count, ON_3dVector* v) const override;
    int GetNurbForm(ON_NurbsSurface& srf, double tolerance = 0.0) const override;
    bool Write(ON_BinaryArchive& archive) const override;
    bool Read(ON_BinaryArchive& archive) override;

    // Valid knot vectors in both directions, finite control points and
    // positive weights.
    bool IsValid(ON_TextLog* text_log = nullptr) const override;
    // The box of the control points: it holds the whole surface (positive
    // weights keep it inside the convex hull).
    ON_BoundingBox BoundingBox() const override;
    // Control points by the transform (exact for projective transforms).
    bool Transform(const ON_Xform& xform) override;

private:
    bool EvaluatePoint(int span0, int span1, double s, double t, ON_3dVector* v) const;
};
