// A circular arc as a curve; the domain maps linearly onto the arc's angle
// interval (by default the domain is that interval).
//
// Record: the circle's origin, x axis and y axis (three doubles each), the
// radius, the angle interval and the domain (two doubles each).
#pragma once

#include "platform/geometry/arc.h"
#include "platform/geometry/curve.h"

class ON_ArcCurve : public ON_Curve
{
public:
    ON_Arc m_arc;
    ON_Interval m_t{0.0, 2.0 * ON_PI};

    ON_ArcCurve() = default;
    explicit ON_ArcCurve(const ON_Arc& arc) : m_arc(arc), m_t(arc.m_angle) {}
    ON_ArcCurve(const ON_Arc& arc, double t0, double t1) : m_arc(arc), m_t(t0, t1) {}

    static ON_ArcCurve* Cast(ON_Object* object) { return dynamic_cast<ON_ArcCurve*>(object); }
    static const ON_ArcCurve* Cast(const ON_Object* object) { return dynamic_cast<const ON_ArcCurve*>(object); }

    bool IsValid(ON_TextLog* text_log = nullptr) const override;
    ON_BoundingBox BoundingBox() const override;
    bool Transform(const ON_Xform& xform) override;

    ON_Curve* Duplicate() const override { return new ON_ArcCurve(*this); }
    Kind CurveKind() const override { return Kind::arc; }
    ON_Interval Domain() const override { return m_t; }
    bool SetDomain(double t0, double t1) override;
    int SpanCount() const override { return 1; }
    bool GetSpanVector(double* span_bounds) const override;
    int Degree() const override { return 2; }
    bool Evaluate(double t, int der_count, ON_3dVector* values, int side = 0) const override;
    bool Reverse() override;
    bool GetClosestPoint(const ON_3dPoint& p, double* t, double maximum_distance = 0.0,
                         const ON_Interval* sub_domain = nullptr) const override;
    bool GetLength(double* length, double fractional_tolerance = 1.0e-8,
                   const ON_Interval* sub_domain = nullptr) const override;
    bool Write(ON_BinaryArchive& archive) const override;
    bool Read(ON_BinaryArchive& archive) override;

    double Radius() const { return m_arc.radius; }
    bool IsCircle() const { return m_arc.IsCircle(); }

private:
    double AngleAt(double t) const;
    double ParameterAtAngle(double angle) const;
};
