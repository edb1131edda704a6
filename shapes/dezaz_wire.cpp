#include "shapes/dezaz_wire.h"

#include "core/bounding_box.h"
#include "core/thread_pool.h"
#include "platform/geometry/arc_curve.h"
#include "platform/geometry/line_curve.h"
#include "platform/geometry/nurbs_curve.h"
#include "platform/geometry/poly_curve.h"
#include "platform/geometry/polyline_curve.h"
#include "platform/geometry/xform.h"
#include "platform/host/geometry_services_curves.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{

constexpr double kLengthTolerance = 1e-8;

ON_3dPoint ToOn(const t3DPoint<double>& p)
{
    return {p.x, p.y, p.z};
}

t3DPoint<double> FromOn(const ON_3dPoint& p)
{
    return {p.x, p.y, p.z};
}

t3DPoint<double> Widen(const cVertex& v)
{
    return {v.x, v.y, v.z};
}

// The circle about the centre that starts at p0 and turns towards p1 (about
// +z when p1 gives no turning sense); null when the centre and radius do not
// describe a circle through p0.
ON_Curve* FullCircleFrom(const t3DPoint<double>& p0, const t3DPoint<double>& p1, const t3DPoint<double>& centre,
                         double radius)
{
    const ON_3dVector x(p0.x - centre.x, p0.y - centre.y, p0.z - centre.z);
    const ON_3dVector towards(p1.x - centre.x, p1.y - centre.y, p1.z - centre.z);
    if (!(radius > 0.0) || !std::isfinite(radius) || !(std::fabs(x.Length() - radius) <= 1e-6 * (1.0 + radius)))
        return nullptr;
    ON_3dVector normal = ON_CrossProduct(x, towards);
    if (!(normal.Length() > 1e-9 * radius * radius))
        normal = ON_3dVector(0.0, 0.0, 1.0);
    const ON_Plane plane(ToOn(centre), x, ON_CrossProduct(normal, x));
    const ON_Arc circle(ON_Circle(plane, radius), 2.0 * ON_PI);
    if (!circle.IsValid())
        return nullptr;
    return new ON_ArcCurve(circle);
}

} // namespace

Dezaz_Wire::Dezaz_Wire(const Dezaz_Wire& other) : ST_IWire(other)
{
    *this = other;
}

Dezaz_Wire& Dezaz_Wire::operator=(const Dezaz_Wire& other)
{
    if (this == &other)
        return *this;
    m_points = other.m_points;
    m_kind = other.m_kind;
    SetCurve(other.m_curve ? other.m_curve->Duplicate() : nullptr);
    // A composite without its pieces would answer its segment queries with
    // itself; the pieces go with the chain.
    m_segments = other.m_segments;
    return *this;
}

Dezaz_Wire::~Dezaz_Wire()
{
    Reset();
}

void Dezaz_Wire::SetCurve(ON_Curve* curve)
{
    if (curve != m_curve)
        delete m_curve;
    m_curve = curve;
}

void Dezaz_Wire::Reset()
{
    m_points.Clear();
    m_kind = kWireEmpty;
    m_segments.clear();
    SetCurve(nullptr);
}

bool Dezaz_Wire::IsValid() const
{
    return !m_points.IsEmpty() && m_kind != kWireEmpty;
}

bool Dezaz_Wire::SetLine(const t3DPoint<double>& p0, const t3DPoint<double>& p1)
{
    SetCurve(nullptr);
    const double dx = p1.x - p0.x, dy = p1.y - p0.y, dz = p1.z - p0.z;
    if (!(std::sqrt(dx * dx + dy * dy + dz * dz) >= FLT_EPSILON))
        return false;
    SetCurve(new ON_LineCurve(ToOn(p0), ToOn(p1)));
    m_segments.clear();
    m_points.Clear();
    m_points.AddPoint3d(p0.Data());
    m_points.AddPoint3d(p1.Data());
    m_kind = kWireLine;
    return true;
}

bool Dezaz_Wire::SetArcThrough3Points(const t3DPoint<double>& p0, const t3DPoint<double>& p1,
                                      const t3DPoint<double>& p2, const t3DPoint<double>& centre, double radius)
{
    SetCurve(nullptr);
    m_segments.clear();
    const ON_Arc arc(ToOn(p0), ToOn(p1), ToOn(p2));
    // Collinear or coincident points give no arc: the wire keeps the three
    // points without a curve instead of holding an invalid one. A closed arc
    // (start on its end) is the full circle of the given centre and radius.
    if (arc.IsValid())
        SetCurve(new ON_ArcCurve(arc));
    else if (ToOn(p0).DistanceTo(ToOn(p2)) < FLT_EPSILON)
        SetCurve(FullCircleFrom(p0, p1, centre, radius));
    m_points.Clear();
    m_points.AddPoint3d(p0.Data());
    m_points.AddPoint3d(p1.Data());
    m_points.AddPoint3d(p2.Data());
    m_kind = kWireArc;
    return true;
}

bool Dezaz_Wire::InterpolatePoints(const tPolyline<cVertex>& points, bool, std::uint8_t, std::uint32_t)
{
    m_kind = kWireSpline;
    m_points = points;
    m_segments.clear();
    SetCurve(nullptr);
    ON_SimpleArray<ON_3dPoint> pts(static_cast<int>(points.GetVertexCount()));
    for (const cVertex& v : points.vertices)
        pts.Append(ON_3dPoint(v.x, v.y, v.z));
    SetCurve(DezazInterpCurve(3, pts, nullptr, nullptr, 1));
    return true;
}

bool Dezaz_Wire::AdoptCurve(ON_Curve* curve, std::int32_t kind, const tPolyline<cVertex>& points)
{
    if (curve == nullptr || curve == m_curve || !curve->IsValid() || points.IsEmpty() ||
        (kind != kWireLine && kind != kWireArc && kind != kWireSpline))
    {
        if (curve != m_curve)
            delete curve;
        return false;
    }
    m_segments.clear();
    SetCurve(curve);
    m_points = points;
    m_kind = kind;
    return true;
}

bool Dezaz_Wire::SetControlPoints(const tPolyline<cVertex>& points)
{
    auto* nurbs = ON_NurbsCurve::Cast(m_curve);
    if (!nurbs || static_cast<int>(points.GetVertexCount()) != nurbs->CVCount())
        return false;
    for (int i = 0; i < nurbs->CVCount(); ++i)
    {
        const cVertex& v = *points.GetVertex(static_cast<std::uint32_t>(i));
        if (!nurbs->SetCV(i, ON_3dPoint(v.x, v.y, v.z)))
            return false;
    }
    return true;
}

void Dezaz_Wire::GetControlPoints(tPolyline<cVertex>& out) const
{
    out.Clear();
    const auto* nurbs = ON_NurbsCurve::Cast(m_curve);
    if (!nurbs)
        return;
    for (int i = 0; i < nurbs->CVCount(); ++i)
    {
        ON_3dPoint p;
        if (nurbs->GetCV(i, p))
        {
            const double d[3] = {p.x, p.y, p.z};
            out.AddPoint3d(d);
        }
    }
}

void Dezaz_Wire::ToPolyline(tPolyline<cVertex>& out, double tolerance) const
{
    out.Clear();
    if (!m_curve)
    {
        out = m_points;
        return;
    }
    ON_PolylineCurve polyline;
    if (!DezazConvertCurveToPolyline(*m_curve, 0, 0, 1.5707963267948966, 5.0 * tolerance, 0.0, tolerance, 0.0,
                                     3.4028234663852886e38, polyline, true, nullptr))
        return;
    for (const ON_3dPoint& p : polyline.m_pline)
    {
        const double d[3] = {p.x, p.y, p.z};
        out.AddPoint3d(d);
    }
}

bool Dezaz_Wire::AddSegment(const ST_IWire& segment)
{
    const auto* piece = dynamic_cast<const Dezaz_Wire*>(&segment);
    if (piece == nullptr || piece == this || piece->m_curve == nullptr || !piece->IsValid())
        return false;
    if (m_kind != kWireEmpty && m_kind != kWireComposite)
        return false;
    m_segments.push_back(*piece);
    // The chain grows by the new piece alone: rebuilding it from every piece
    // on each addition would make a wire of many pieces cost their square.
    auto* chain = m_kind == kWireComposite ? ON_PolyCurve::Cast(m_curve) : nullptr;
    if (chain == nullptr)
        RebuildComposite();
    else
        AppendToComposite(*chain, m_segments.back());
    return true;
}

void Dezaz_Wire::AppendToComposite(ON_PolyCurve& chain, const Dezaz_Wire& piece)
{
    ON_Curve* copy = piece.m_curve->Duplicate();
    if (!chain.Append(copy))
        delete copy;
    for (const cVertex& v : piece.m_points.vertices)
    {
        // A joint shared with the previous piece is kept once.
        if (!m_points.IsEmpty())
        {
            const cVertex& last = *m_points.GetLastVertex();
            if (last.x == v.x && last.y == v.y && last.z == v.z)
                continue;
        }
        m_points.AddVertex(v);
    }
}

void Dezaz_Wire::RebuildComposite()
{
    auto* chain = new ON_PolyCurve;
    m_points.Clear();
    for (const Dezaz_Wire& s : m_segments)
        AppendToComposite(*chain, s);
    SetCurve(chain);
    m_kind = kWireComposite;
}

std::uint32_t Dezaz_Wire::GetSegmentCount() const
{
    if (!m_segments.empty())
        return static_cast<std::uint32_t>(m_segments.size());
    return m_points.IsEmpty() ? 0u : 1u;
}

ST_IWire* Dezaz_Wire::GetSegment(std::uint32_t index)
{
    if (m_segments.empty())
        return index < 1 ? this : nullptr;
    return index < m_segments.size() ? &m_segments[index] : nullptr;
}

void Dezaz_Wire::GetBoundingBox(float box[6]) const
{
    MakeEmptyBox3f(box);
    if (m_points.IsEmpty())
        return;
    tPolyline<cVertex> copy = m_points;
    if (!copy.boxValid)
        copy.UpdateBoundingBox();
    std::copy(copy.box, copy.box + 6, box);
}

void Dezaz_Wire::Transform(const double m[12])
{
    if (m_curve)
    {
        ON_Xform xform;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c)
                xform.m_xform[r][c] = m[4 * r + c];
        m_curve->Transform(xform);
    }
    m_points.Transform(m);
    for (Dezaz_Wire& s : m_segments)
        s.Transform(m);
}

double Dezaz_Wire::GetFitRms(const tPolylineCollection<tFramePolyline<cVertex>>& polylines) const
{
    if (!IsValid() || !m_curve)
        return 0.0;
    // Each point's closest point on the curve is searched for a block of
    // points at a time on the shared pool (a big scan's extruded profile
    // has some 200,000 section points, and reading its shape from a
    // document measured them all on one thread); the squared distances are
    // then added in the points' order, as one pass adds them. A point the
    // curve gives no closest point for keeps kNotMeasured (no square is
    // negative) and is left out.
    constexpr double kNotMeasured = -1.0;
    constexpr std::size_t kBlock = 1024;
    std::vector<const cVertex*> points;
    for (std::uint32_t i = 0; i < polylines.GetCount(); ++i)
        for (const cVertex& v : polylines[i].vertices)
            points.push_back(&v);
    std::vector<double> squares(points.size());
    auto measure = [&](std::size_t k) {
        const cVertex& v = *points[k];
        const ON_3dPoint p(v.x, v.y, v.z);
        double t = 0.0;
        ON_3dPoint q;
        if (!m_curve->GetClosestPoint(p, &t) || !m_curve->EvPoint(t, q))
        {
            squares[k] = kNotMeasured;
            return;
        }
        const double d = p.DistanceTo(q);
        squares[k] = d * d;
    };
    ParallelForEach(points.size() > kBlock ? SharedThreadPool() : nullptr, points.size(), kBlock, measure);
    double sum = 0.0;
    std::size_t count = 0;
    for (const double square : squares)
        if (square != kNotMeasured)
        {
            sum += square;
            ++count;
        }
    return count > 0 ? std::sqrt(sum / static_cast<double>(count)) : 0.0;
}

double Dezaz_Wire::GetDistanceToPoint(const t3DPoint<double>& point) const
{
    double t = 0.0;
    ON_3dPoint q;
    if (!IsValid() || !m_curve || !m_curve->GetClosestPoint(ToOn(point), &t) || !m_curve->EvPoint(t, q))
        return FLT_MAX;
    return q.DistanceTo(ToOn(point));
}

double Dezaz_Wire::GetLength() const
{
    double length = 0.0;
    if (m_curve && m_curve->GetLength(&length, kLengthTolerance))
        return length;
    return m_points.GetLength();
}

double Dezaz_Wire::GetLengthBetween(double fraction_a, double fraction_b) const
{
    if (!m_curve)
        return m_points.GetLength();
    const ON_Interval d = m_curve->Domain();
    if (!d.IsIncreasing())
        return FLT_MAX;
    const double t0 = d[0], t1 = d[1];
    const ON_Interval piece(t0 + (t1 - t0) * std::max(fraction_a, 0.0), t0 + (t1 - t0) * std::min(fraction_b, 1.0));
    double length = 0.0;
    if (m_curve->GetLength(&length, kLengthTolerance, &piece))
        return length;
    return m_points.GetLength();
}

bool Dezaz_Wire::GetFractionAtLength(double length, double* fraction, double tolerance) const
{
    const double total = GetLength();
    if (!fraction || !(length >= 0.0) || length > total)
        return false;
    if (std::fabs(total - length) < FLT_EPSILON)
    {
        *fraction = 1.0;
        return true;
    }
    if (std::fabs(length) < FLT_EPSILON)
    {
        *fraction = 0.0;
        return true;
    }
    if (!m_curve)
        return false;
    const ON_Interval d = m_curve->Domain();
    const double t0 = d[0], t1 = d[1];
    if (!d.IsIncreasing() || t1 - t0 < FLT_EPSILON)
        return false;
    double lo = t0, hi = t1, m = 0.5 * (t0 + t1);
    // The interval halves each pass, so the cap is only reached where the
    // parameters run out of precision before the length reaches tolerance.
    for (int pass = 0; pass < 200; ++pass)
    {
        double s = 0.0;
        const ON_Interval head(t0, m);
        if (!m_curve->GetLength(&s, kLengthTolerance, &head))
            return false;
        if (std::fabs(s - length) < tolerance)
        {
            *fraction = (m - t0) / (t1 - t0);
            return true;
        }
        // Stop where the parameters run out of precision (relative to their
        // size, so domains far from zero end too); a fixed step would either
        // stop short of fine tolerances or never stop on large parameters.
        const double resolution =
            4.0 * std::numeric_limits<double>::epsilon() * std::max({std::fabs(lo), std::fabs(hi), t1 - t0});
        if (std::fabs(hi - lo) <= resolution)
            return false;
        if (length < s)
            hi = m;
        else
            lo = m;
        m = 0.5 * (lo + hi);
    }
    return false;
}

t3DPoint<double> Dezaz_Wire::GetStartPoint() const
{
    if (m_curve)
        return FromOn(m_curve->PointAtStart());
    return m_points.IsEmpty() ? kUnsetWirePoint : Widen(*m_points.GetFirstVertex());
}

t3DPoint<double> Dezaz_Wire::GetEndPoint() const
{
    if (m_curve)
        return FromOn(m_curve->PointAtEnd());
    return m_points.IsEmpty() ? kUnsetWirePoint : Widen(*m_points.GetLastVertex());
}

t3DPoint<double> Dezaz_Wire::GetMidPoint() const
{
    ON_3dPoint p;
    if (!m_curve || !m_curve->Domain().IsIncreasing() || !m_curve->EvPoint(m_curve->Domain().Mid(), p))
        return kUnsetWirePoint;
    return FromOn(p);
}

t3DPoint<double> Dezaz_Wire::TangentAt(double t) const
{
    ON_3dPoint p;
    ON_3dVector tangent;
    if (!m_curve || !m_curve->EvTangent(t, p, tangent))
        return kUnsetWirePoint;
    return {tangent.x, tangent.y, tangent.z};
}

t3DPoint<double> Dezaz_Wire::GetStartTangent() const
{
    return m_curve ? TangentAt(m_curve->Domain()[0]) : kUnsetWirePoint;
}

t3DPoint<double> Dezaz_Wire::GetMidTangent() const
{
    return m_curve ? TangentAt(m_curve->Domain().Mid()) : kUnsetWirePoint;
}

t3DPoint<double> Dezaz_Wire::GetEndTangent() const
{
    // From below, so a chain reports the direction its last piece ends in.
    if (!m_curve)
        return kUnsetWirePoint;
    ON_3dPoint p;
    ON_3dVector tangent;
    if (!m_curve->EvTangent(m_curve->Domain()[1], p, tangent, -1))
        return kUnsetWirePoint;
    return {tangent.x, tangent.y, tangent.z};
}

bool Dezaz_Wire::EvaluateAtFraction(double fraction, t3DPoint<double>* point, t3DPoint<double>* tangent) const
{
    if (point)
        *point = kUnsetWirePoint;
    if (tangent)
        *tangent = kUnsetWirePoint;
    if (!m_curve || !(fraction >= 0.0 && fraction <= 1.0))
        return false;
    const ON_Interval d = m_curve->Domain();
    if (!d.IsIncreasing())
        return false;
    ON_3dPoint p;
    ON_3dVector v;
    if (!m_curve->EvTangent(d[0] + (d[1] - d[0]) * fraction, p, v, fraction == 1.0 ? -1 : 1))
        return false;
    if (point)
        *point = FromOn(p);
    if (tangent)
        *tangent = {v.x, v.y, v.z};
    return true;
}

double Dezaz_Wire::GetFractionAtPoint(const t3DPoint<double>& point) const
{
    if (!m_curve)
        return -FLT_MAX;
    const ON_Interval d = m_curve->Domain();
    double t = 0.0;
    if (!d.IsIncreasing() || !m_curve->GetClosestPoint(ToOn(point), &t))
        return -FLT_MAX;
    return (t - d[0]) / (d[1] - d[0]);
}
