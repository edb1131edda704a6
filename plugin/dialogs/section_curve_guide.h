// A section curve as the guide the sectioning places its planes along:
// lengths along its wire, its world point and tangent at a fraction.
#pragma once

#include "fitting/multi_plane_sectioning.h"

class ST_ISectionCurve;

class cSectionCurveGuide : public ISectionGuideCurve
{
public:
    explicit cSectionCurveGuide(const ST_ISectionCurve* curve) : m_curve(curve) {}

    // Whether the curve has a wire to measure along.
    bool IsUsable() const;
    double GetTotalLength() const override;
    double GetLengthBetween(double t0, double t1) const override;
    bool GetParameterAtLength(double s, double tolerance, double& t) const override;
    bool Evaluate(double t, double point[3], double tangent[3]) const override;

private:
    const ST_ISectionCurve* m_curve;
};
