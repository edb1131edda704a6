// The wire of a sketch: it has no curve of its own and answers its segment
// queries with the wires of the sketch's sub-curves.
#pragma once

#include "core/section_curve.h"
#include "core/wire.h"

// {55C3EBCF-A4E4-4917-900B-69CF7565D14D}
inline constexpr GUID CLSID_ST_SketchWire = {0x55C3EBCF, 0xA4E4, 0x4917, {0x90, 0x0B, 0x69, 0xCF, 0x75, 0x65, 0xD1, 0x4D}};

class ST_SketchWire : public ST_IWire
{
public:
    // The sketch section curve it represents (not owned; may be null).
    explicit ST_SketchWire(ST_ISectionCurve* sketch = nullptr) : m_sketch(sketch) {}

    void SetSketch(ST_ISectionCurve* sketch) { m_sketch = sketch; }
    ST_ISectionCurve* GetSketch() const { return m_sketch; }

    void Reset() override {}
    bool IsValid() const override { return m_sketch != nullptr && m_sketch->GetSegmentCount() > 0; }
    ST_IWire* CreateEmpty() const override { return new ST_SketchWire(m_sketch); }
    bool InterpolatePoints(const tPolyline<cVertex>&, bool, std::uint8_t, std::uint32_t) override { return false; }
    bool SetArcThrough3Points(const t3DPoint<double>&, const t3DPoint<double>&, const t3DPoint<double>&,
                              const t3DPoint<double>&, double) override
    {
        return false;
    }
    bool SetLine(const t3DPoint<double>&, const t3DPoint<double>&) override { return false; }
    bool SetControlPoints(const tPolyline<cVertex>&) override { return false; }
    void GetControlPoints(tPolyline<cVertex>& out) const override { out.Clear(); }
    void ToPolyline(tPolyline<cVertex>&, double) const override {}
    void GetPolyline(tPolyline<cVertex>&) const override {}
    // The sketch holds its sub-curves itself.
    bool AddSegment(const ST_IWire&) override { return true; }
    std::uint32_t GetSegmentCount() const override { return m_sketch ? m_sketch->GetSegmentCount() : 0u; }
    void RemoveSegment(const ST_IWire&) override {}
    // The wire of sub-curve i; null without a sketch or past its end.
    ST_IWire* GetSegment(std::uint32_t index) override;
    void GetBoundingBox(float box[6]) const override;
    void Transform(const double[12]) override {}
    double GetFitRms(const tPolylineCollection<tFramePolyline<cVertex>>&) const override { return -FLT_MAX; }
    double GetDistanceToPoint(const t3DPoint<double>&) const override { return 0.0; }
    double GetLengthBetween(double, double) const override { return 0.0; }
    double GetLength() const override { return 0.0; }
    bool GetFractionAtLength(double, double*, double) const override { return false; }
    GUID GetClassGuid() const override { return CLSID_ST_SketchWire; }
    std::int32_t GetKind() const override { return kWireSketch; }
    t3DPoint<double> GetStartPoint() const override { return {}; }
    t3DPoint<double> GetMidPoint() const override { return {}; }
    t3DPoint<double> GetEndPoint() const override { return {}; }
    t3DPoint<double> GetStartTangent() const override { return {}; }
    t3DPoint<double> GetMidTangent() const override { return {}; }
    t3DPoint<double> GetEndTangent() const override { return {}; }
    bool EvaluateAtFraction(double, t3DPoint<double>*, t3DPoint<double>*) const override { return false; }
    double GetFractionAtPoint(const t3DPoint<double>&) const override { return FLT_MAX; }

private:
    ST_ISectionCurve* m_sketch;
};
