// A chain of curves joined end to end. Segment i covers [m_t[i], m_t[i+1]]
// of the chain's domain, mapped linearly onto the segment's own domain. The
// chain owns its segments.
//
// Record: int segment count, the segments (each as a tagged curve record),
// then the count + 1 segment parameters. Chains nest at most 8 deep.
#pragma once

#include "platform/geometry/curve.h"
#include "platform/geometry/simple_array.h"

class ON_PolyCurve : public ON_Curve
{
public:
    ON_PolyCurve() = default;
    ON_PolyCurve(const ON_PolyCurve& other);
    ON_PolyCurve& operator=(const ON_PolyCurve& other);
    ~ON_PolyCurve() override;

    static ON_PolyCurve* Cast(ON_Object* object) { return dynamic_cast<ON_PolyCurve*>(object); }
    static const ON_PolyCurve* Cast(const ON_Object* object) { return dynamic_cast<const ON_PolyCurve*>(object); }

    // Takes ownership of the segment and appends it after the last one; its
    // piece of the domain is as long as its own domain. False (and the
    // segment still the caller's) for a null or invalid segment.
    bool Append(ON_Curve* segment);
    void Destroy();
    int Count() const { return m_segment.Count(); }
    ON_Curve* SegmentCurve(int i) const;
    ON_Interval SegmentDomain(int i) const;
    // Segment that holds the chain parameter t (side as for Evaluate), or -1.
    int SegmentIndex(double t, int side = 0) const;
    // The segment's own parameter at chain parameter t.
    double SegmentParameter(int i, double t) const;

    bool IsValid(ON_TextLog* text_log = nullptr) const override;
    ON_BoundingBox BoundingBox() const override;
    bool Transform(const ON_Xform& xform) override;

    ON_Curve* Duplicate() const override { return new ON_PolyCurve(*this); }
    Kind CurveKind() const override { return Kind::polycurve; }
    ON_Interval Domain() const override;
    bool SetDomain(double t0, double t1) override;
    int SpanCount() const override;
    bool GetSpanVector(double* span_bounds) const override;
    int Degree() const override;
    bool Evaluate(double t, int der_count, ON_3dVector* values, int side = 0) const override;
    bool Reverse() override;
    bool GetClosestPoint(const ON_3dPoint& p, double* t, double maximum_distance = 0.0,
                         const ON_Interval* sub_domain = nullptr) const override;
    bool GetLength(double* length, double fractional_tolerance = 1.0e-8,
                   const ON_Interval* sub_domain = nullptr) const override;
    bool Write(ON_BinaryArchive& archive) const override;
    bool Read(ON_BinaryArchive& archive) override;

private:
    ON_SimpleArray<ON_Curve*> m_segment;
    ON_SimpleArray<double> m_t;
};
