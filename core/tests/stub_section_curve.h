// A section curve over a straight wire between two local points, for the
// tests of what the section-curve base does by itself.
#pragma once

#include "core/section_curve.h"

#include <algorithm>
#include <cmath>
#include <memory>

class cStubLineWire : public ST_IWire
{
public:
    t3DPoint<double> a{0, 0, 0};
    t3DPoint<double> b{1, 0, 0};
    bool valid = true;

    void Reset() override { valid = false; }
    bool IsValid() const override { return valid; }
    ST_IWire* CreateEmpty() const override { return new cStubLineWire; }
    bool InterpolatePoints(const tPolyline<cVertex>&, bool, std::uint8_t, std::uint32_t) override { return false; }
    bool SetArcThrough3Points(const t3DPoint<double>&, const t3DPoint<double>&, const t3DPoint<double>&,
                              const t3DPoint<double>&, double) override
    {
        return false;
    }
    bool SetLine(const t3DPoint<double>& p0, const t3DPoint<double>& p1) override
    {
        a = p0, b = p1, valid = true;
        return true;
    }
    bool SetControlPoints(const tPolyline<cVertex>&) override { return false; }
    void GetControlPoints(tPolyline<cVertex>& out) const override { out.Clear(); }
    void ToPolyline(tPolyline<cVertex>& out, double) const override { GetPolyline(out); }
    void GetPolyline(tPolyline<cVertex>& out) const override
    {
        out.Clear();
        out.AddPoint3d(a.Data());
        out.AddPoint3d(b.Data());
    }
    bool AddSegment(const ST_IWire&) override { return false; }
    std::uint32_t GetSegmentCount() const override { return 1; }
    void RemoveSegment(const ST_IWire&) override {}
    ST_IWire* GetSegment(std::uint32_t) override { return this; }
    void GetBoundingBox(float box[6]) const override
    {
        for (int i = 0; i < 3; ++i)
        {
            box[i] = static_cast<float>(std::min(a.Data()[i], b.Data()[i]));
            box[i + 3] = static_cast<float>(std::max(a.Data()[i], b.Data()[i]));
        }
    }
    void Transform(const double[12]) override {}
    double Fraction(const t3DPoint<double>& p) const
    {
        const double d[3] = {b.x - a.x, b.y - a.y, b.z - a.z};
        const double dd = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
        const double t = ((p.x - a.x) * d[0] + (p.y - a.y) * d[1] + (p.z - a.z) * d[2]) / dd;
        return std::clamp(t, 0.0, 1.0);
    }
    double GetDistanceToPoint(const t3DPoint<double>& p) const override
    {
        const double t = Fraction(p);
        const double q[3] = {a.x + t * (b.x - a.x) - p.x, a.y + t * (b.y - a.y) - p.y, a.z + t * (b.z - a.z) - p.z};
        return std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
    }
    double GetFitRms(const tPolylineCollection<tFramePolyline<cVertex>>& polylines) const override
    {
        double sum = 0.0;
        int count = 0;
        for (std::uint32_t i = 0; i < polylines.GetCount(); ++i)
            for (const cVertex& v : polylines[i].vertices)
            {
                const double d = GetDistanceToPoint({v.x, v.y, v.z});
                sum += d * d;
                ++count;
            }
        return count > 0 ? std::sqrt(sum / count) : 0.0;
    }
    double GetLengthBetween(double fa, double fb) const override { return (fb - fa) * GetLength(); }
    double GetLength() const override
    {
        return std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y) + (b.z - a.z) * (b.z - a.z));
    }
    bool GetFractionAtLength(double length, double* fraction, double) const override
    {
        *fraction = length / GetLength();
        return true;
    }
    GUID GetClassGuid() const override { return {0x1, 0x2, 0x3, {0, 0, 0, 0, 0, 0, 0, 4}}; }
    std::int32_t GetKind() const override { return kWireLine; }
    t3DPoint<double> GetStartPoint() const override { return a; }
    t3DPoint<double> GetMidPoint() const override { return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2}; }
    t3DPoint<double> GetEndPoint() const override { return b; }
    t3DPoint<double> GetStartTangent() const override { return Direction(); }
    t3DPoint<double> GetMidTangent() const override { return Direction(); }
    t3DPoint<double> GetEndTangent() const override { return Direction(); }
    t3DPoint<double> Direction() const
    {
        const double l = GetLength();
        return {(b.x - a.x) / l, (b.y - a.y) / l, (b.z - a.z) / l};
    }
    bool EvaluateAtFraction(double, t3DPoint<double>*, t3DPoint<double>*) const override { return false; }
    double GetFractionAtPoint(const t3DPoint<double>& p) const override { return Fraction(p); }
};

class cStubSectionCurve : public ST_ISectionCurve
{
public:
    cStubLineWire wire;
    bool hasWire = true;
    int setFrameCalls = 0;
    int ownValue = 0;
    std::uint32_t sectionsSeenByCopyFrom = 0;

    ST_IWire* GetWire() override { return hasWire ? &wire : nullptr; }
    GUID GetClassGuid() const override { return {0x5, 0x6, 0x7, {0, 0, 0, 0, 0, 0, 0, 8}}; }
    bool Read(IBinStream&, std::uint32_t, std::uint32_t) override { return false; }
    bool Write(IBinStream&) const override { return false; }
    void CopyFrom(const ST_ISectionCurve& source) override
    {
        // The common part must already be in place when the class part runs.
        sectionsSeenByCopyFrom = sections.GetCount();
        ownValue = static_cast<const cStubSectionCurve&>(source).ownValue;
    }
    bool RebuildWire(const double[12], const tPolylineCollection<tFramePolyline<cVertex>>&, float,
                     tPolyline<cVertex>*) override
    {
        return false;
    }
    bool SetFrame(const double f[12]) override
    {
        std::copy(f, f + 12, frame);
        ++setFrameCalls;
        return true;
    }
    bool FitToPolyline(const double[12], const tPolyline<cVertex>&, double, std::uint8_t) override { return false; }
    bool InterpolatePolyline(const double[12], const tPolyline<cVertex>&, std::uint8_t) override { return false; }
    bool ExtendStart(double, bool) override { return false; }
    bool ExtendEnd(double, bool) override { return false; }
    const tPolyline<cVertex>* GetDefiningPoints() const override { return nullptr; }
    const tPolyline<cVertex>* GetControlPoints() const override { return nullptr; }
    std::unique_ptr<ST_ISectionCurve> Clone() const override { return std::make_unique<cStubSectionCurve>(); }
    bool EvaluateInWorld(double, t3DPoint<double>*, t3DPoint<double>*, t3DPoint<double>*) const override
    {
        return false;
    }
    bool IsHorizontal() const override { return false; }
    bool IsVertical() const override { return false; }
};
