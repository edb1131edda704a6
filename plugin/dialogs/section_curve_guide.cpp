#include "plugin/dialogs/section_curve_guide.h"

#include "core/section_curve.h"

#include <cmath>

bool cSectionCurveGuide::IsUsable() const
{
    const ST_IWire* wire = m_curve ? m_curve->GetWire() : nullptr;
    return wire && wire->IsValid() && std::isfinite(wire->GetLength()) && wire->GetLength() > 0.0;
}

// The frame of a section curve is rigid, so lengths in its plane are world
// lengths.
double cSectionCurveGuide::GetTotalLength() const
{
    return IsUsable() ? m_curve->GetWire()->GetLength() : 0.0;
}

double cSectionCurveGuide::GetLengthBetween(double t0, double t1) const
{
    return IsUsable() ? m_curve->GetWire()->GetLengthBetween(t0, t1) : 0.0;
}

bool cSectionCurveGuide::GetParameterAtLength(double s, double tolerance, double& t) const
{
    return IsUsable() && std::isfinite(s) && m_curve->GetWire()->GetFractionAtLength(s, &t, tolerance);
}

bool cSectionCurveGuide::Evaluate(double t, double point[3], double tangent[3]) const
{
    t3DPoint<double> p, d, third;
    if (!m_curve || !std::isfinite(t) || !m_curve->EvaluateInWorld(t, &p, &d, &third))
        return false;
    point[0] = p.x, point[1] = p.y, point[2] = p.z;
    tangent[0] = d.x, tangent[1] = d.y, tangent[2] = d.z;
    return true;
}
