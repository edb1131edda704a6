// A polyline as a curve: point i sits at parameter m_t[i] (0, 1, 2, ... by
// default), linear in between.
//
// Record: int point count, the points (three doubles each), then the
// parameters (one double per point, increasing).
#pragma once

#include "platform/geometry/curve.h"
#include "platform/geometry/simple_array.h"

class ON_PolylineCurve : public ON_Curve
{
public:
    ON_SimpleArray<ON_3dPoint> m_pline;
    ON_SimpleArray<double> m_t;

    ON_PolylineCurve() = default;
    // Parameters 0, 1, 2, ...
    explicit ON_PolylineCurve(const ON_SimpleArray<ON_3dPoint>& points);

    static ON_PolylineCurve* Cast(ON_Object* object) { return dynamic_cast<ON_PolylineCurve*>(object); }
    static const ON_PolylineCurve* Cast(const ON_Object* object)
    {
        return dynamic_cast<const ON_PolylineCurve*>(object);
    }

    // Replaces the points; parameters 0, 1, 2, ...
    void SetPoints(const ON_SimpleArray<ON_3dPoint>& points);
    void Destroy();
    int PointCount() const { return m_pline.Count(); }
    ON_3dPoint Point(int i) const;

    bool IsValid(ON_TextLog* text_log = nullptr) const override;
    ON_BoundingBox BoundingBox() const override;
    bool Transform(const ON_Xform& xform) override;

    ON_Curve* Duplicate() const override { return new ON_PolylineCurve(*this); }
    Kind CurveKind() const override { return Kind::polyline; }
    ON_Interval Domain() const override;
    bool SetDomain(double t0, double t1) override;
    int SpanCount() const override { return m_pline.Count() > 1 ? m_pline.Count() - 1 : 0; }
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

private:
    // Segment that holds t: m_t[i] <= t <= m_t[i + 1], with side < 0 taking
    // the segment below a shared parameter.
    int SegmentIndex(double t, int side) const;
};
