// A line segment as a curve; the domain maps linearly onto the segment.
//
// Record: from, to (three doubles each), domain (two doubles).
#pragma once

#include "platform/geometry/curve.h"
#include "platform/geometry/line.h"

class ON_LineCurve : public ON_Curve
{
public:
    ON_Line m_line;
    ON_Interval m_t{0.0, 1.0};

    ON_LineCurve() = default;
    ON_LineCurve(const ON_3dPoint& from, const ON_3dPoint& to) : m_line(from, to) {}
    explicit ON_LineCurve(const ON_Line& line) : m_line(line) {}
    ON_LineCurve(const ON_Line& line, double t0, double t1) : m_line(line), m_t(t0, t1) {}

    static ON_LineCurve* Cast(ON_Object* object) { return dynamic_cast<ON_LineCurve*>(object); }
    static const ON_LineCurve* Cast(const ON_Object* object) { return dynamic_cast<const ON_LineCurve*>(object); }

    bool IsValid(ON_TextLog* text_log = nullptr) const override;
    ON_BoundingBox BoundingBox() const override;
    bool Transform(const ON_Xform& xform) override;

    ON_Curve* Duplicate() const override { return new ON_LineCurve(*this); }
    Kind CurveKind() const override { return Kind::line; }
    ON_Interval Domain() const override { return m_t; }
    bool SetDomain(double t0, double t1) override;
    int SpanCount() const override { return 1; }
    bool GetSpanVector(double* span_bounds) const override;
    int Degree() const override { return 1; }
    bool Evaluate(double t, int der_count, ON_3dVector* values, int side = 0) const override;
    bool Reverse() override;
    bool GetClosestPoint(const ON_3dPoint& p, double* t, double maximum_distance = 0.0,
                         const ON_Interval* sub_domain = nullptr) const override;
    bool GetLength(double* length, double fractional_tolerance = 1.0e-8,
                   const ON_Interval* sub_domain = nullptr) const override;
    bool Write(ON_BinaryArchive& archive) const override;
    bool Read(ON_BinaryArchive& archive) override;
};
