#include "platform/geometry/curve.h"

#include "platform/geometry/arc_curve.h"
#include "platform/geometry/binary_archive.h"
#include "platform/geometry/line_curve.h"
#include "platform/geometry/nurbs_basis.h"
#include "platform/geometry/nurbs_curve.h"
#include "platform/geometry/poly_curve.h"
#include "platform/geometry/polyline_curve.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace
{

// 8-point Gauss-Legendre rule on [-1, 1].
constexpr double kGaussNodes[4] = {0.1834346424956498, 0.5255324099163290, 0.7966664774136267, 0.9602898564975363};
constexpr double kGaussWeights[4] = {0.3626837833783620, 0.3137066458778873, 0.2223810344533745, 0.1012285362903763};

double SpeedIntegral(const ON_Curve& curve, double a, double b, bool* ok)
{
    const double half = 0.5 * (b - a), mid = 0.5 * (a + b);
    double sum = 0.0;
    ON_3dVector v[2];
    for (int i = 0; i < 4; ++i)
        for (double sign : {-1.0, 1.0})
        {
            if (!curve.Evaluate(mid + sign * half * kGaussNodes[i], 1, v))
                *ok = false;
            sum += kGaussWeights[i] * v[1].Length();
        }
    return sum * half;
}

double AdaptiveLength(const ON_Curve& curve, double a, double b, double whole, double tolerance, int depth, bool* ok)
{
    const double m = 0.5 * (a + b);
    const double left = SpeedIntegral(curve, a, m, ok);
    const double right = SpeedIntegral(curve, m, b, ok);
    const double sum = left + right;
    // The depth cap ends the recursion on curves whose speed is not smooth
    // enough for the rule (cusps); the answer is then the finest estimate.
    if (!*ok || std::fabs(sum - whole) <= tolerance || depth >= 40 || !(m > a && m < b))
        return sum;
    return AdaptiveLength(curve, a, m, left, 0.5 * tolerance, depth + 1, ok) +
           AdaptiveLength(curve, m, b, right, 0.5 * tolerance, depth + 1, ok);
}

double BoxDistanceSquared(const ON_BoundingBox& box, const ON_3dPoint& p)
{
    double d2 = 0.0;
    for (int i = 0; i < 3; ++i)
    {
        const double d = p[i] < box.m_min[i] ? box.m_min[i] - p[i] : (p[i] > box.m_max[i] ? p[i] - box.m_max[i] : 0.0);
        d2 += d * d;
    }
    return d2;
}

// Spans of the curve clipped to [a, b], as parameter pairs.
bool ClippedSpans(const ON_Curve& curve, double a, double b, std::vector<double>& bounds,
                  std::vector<std::pair<double, double>>& pieces)
{
    const int n = curve.SpanCount();
    if (n < 1)
        return false;
    bounds.resize(static_cast<std::size_t>(n) + 1);
    if (!curve.GetSpanVector(bounds.data()))
        return false;
    pieces.clear();
    for (int i = 0; i < n; ++i)
    {
        const double lo = std::max(bounds[i], a), hi = std::min(bounds[i + 1], b);
        if (lo < hi || (lo == hi && a == b && pieces.empty()))
            pieces.emplace_back(lo, hi);
    }
    return !pieces.empty();
}

struct ClosestSearch
{
    const ON_Curve& curve;
    ON_3dPoint p;
    double best_d2 = std::numeric_limits<double>::infinity();
    double best_t = 0.0;

    double DistanceSquared(double t)
    {
        ON_3dVector v;
        if (!curve.Evaluate(t, 0, &v))
            return std::numeric_limits<double>::infinity();
        return (ON_3dPoint(v) - p).LengthSquared();
    }

    void Offer(double t, double d2)
    {
        if (d2 < best_d2)
            best_d2 = d2, best_t = t;
    }

    // Newton on f(t) = (C(t) - p) . C'(t) kept inside [lo, hi]; the sign of
    // f shrinks the bracket, so a step that leaves it becomes a bisection.
    void Refine(double lo, double hi, double t)
    {
        ON_3dVector v[3];
        const double scale = std::max(std::fabs(lo), std::fabs(hi)) + (hi - lo);
        for (int iter = 0; iter < 60; ++iter)
        {
            if (!curve.Evaluate(t, 2, v))
                return;
            const ON_3dVector r = ON_3dPoint(v[0]) - p;
            Offer(t, r.LengthSquared());
            const double f = ON_DotProduct(r, v[1]);
            const double df = ON_DotProduct(v[1], v[1]) + ON_DotProduct(r, v[2]);
            if (f > 0.0)
                hi = t;
            else if (f < 0.0)
                lo = t;
            else
                return;
            double next = df > 0.0 ? t - f / df : 0.5 * (lo + hi);
            if (!(next > lo && next < hi))
                next = 0.5 * (lo + hi);
            if (std::fabs(next - t) <= 4.0 * std::numeric_limits<double>::epsilon() * scale ||
                hi - lo <= 4.0 * std::numeric_limits<double>::epsilon() * scale)
            {
                Offer(next, DistanceSquared(next));
                return;
            }
            t = next;
        }
    }

    void SearchSpan(double lo, double hi)
    {
        const int samples = std::max(3, 2 * curve.Degree() + 3);
        double ts[2 * nurbs_basis::kMaxOrder + 3];
        double d2[2 * nurbs_basis::kMaxOrder + 3];
        const int m = std::min(samples, 2 * nurbs_basis::kMaxOrder + 3);
        for (int k = 0; k < m; ++k)
        {
            ts[k] = k + 1 == m ? hi : lo + (hi - lo) * k / (m - 1);
            d2[k] = DistanceSquared(ts[k]);
            Offer(ts[k], d2[k]);
        }
        for (int k = 0; k < m; ++k)
        {
            const bool below_left = k == 0 || d2[k] <= d2[k - 1];
            const bool below_right = k + 1 == m || d2[k] <= d2[k + 1];
            if (below_left && below_right)
                Refine(ts[k > 0 ? k - 1 : 0], ts[k + 1 < m ? k + 1 : m - 1], ts[k]);
        }
    }
};

thread_local int g_read_depth = 0;

} // namespace

bool ON_Curve::EvPoint(double t, ON_3dPoint& point, int side) const
{
    ON_3dVector v;
    if (!Evaluate(t, 0, &v, side))
        return false;
    point = ON_3dPoint(v);
    return true;
}

bool ON_Curve::Ev1Der(double t, ON_3dPoint& point, ON_3dVector& d1, int side) const
{
    ON_3dVector v[2];
    if (!Evaluate(t, 1, v, side))
        return false;
    point = ON_3dPoint(v[0]);
    d1 = v[1];
    return true;
}

bool ON_Curve::Ev2Der(double t, ON_3dPoint& point, ON_3dVector& d1, ON_3dVector& d2, int side) const
{
    ON_3dVector v[3];
    if (!Evaluate(t, 2, v, side))
        return false;
    point = ON_3dPoint(v[0]);
    d1 = v[1];
    d2 = v[2];
    return true;
}

bool ON_Curve::EvTangent(double t, ON_3dPoint& point, ON_3dVector& tangent, int side) const
{
    ON_3dVector v[4];
    if (!Evaluate(t, 3, v, side))
        return false;
    point = ON_3dPoint(v[0]);
    for (int k = 1; k <= 3; ++k)
    {
        tangent = v[k];
        if (tangent.Unitize())
            return true;
    }
    tangent = ON_3dVector();
    return false;
}

ON_3dPoint ON_Curve::PointAt(double t) const
{
    ON_3dPoint p;
    return EvPoint(t, p) ? p : ON_UNSET_POINT;
}

ON_3dVector ON_Curve::DerivativeAt(double t) const
{
    ON_3dPoint p;
    ON_3dVector d;
    return Ev1Der(t, p, d) ? d : ON_3dVector();
}

ON_3dVector ON_Curve::TangentAt(double t) const
{
    ON_3dPoint p;
    ON_3dVector d;
    return EvTangent(t, p, d) ? d : ON_3dVector();
}

bool ON_Curve::IsClosed() const
{
    const ON_Interval d = Domain();
    if (!d.IsIncreasing())
        return false;
    const ON_3dPoint a = PointAt(d[0]), b = PointAt(d[1]), m = PointAt(d.Mid());
    if (!a.IsValid() || !b.IsValid())
        return false;
    const double scale = std::max({1.0, std::fabs(a.x), std::fabs(a.y), std::fabs(a.z)});
    // A curve that stays on one point is not a closed loop.
    return a.DistanceTo(b) <= ON_ZERO_TOLERANCE * scale && a.DistanceTo(m) > ON_ZERO_TOLERANCE * scale;
}

bool ON_Curve::IsPlanar(ON_Plane* plane, double tolerance) const
{
    const ON_Interval d = Domain();
    std::vector<double> bounds;
    std::vector<std::pair<double, double>> pieces;
    if (!d.IsIncreasing() || !ClippedSpans(*this, d[0], d[1], bounds, pieces))
        return false;
    std::vector<ON_3dPoint> pts;
    const int per_span = std::max(2, 2 * Degree() + 1);
    for (const auto& [lo, hi] : pieces)
        for (int k = 0; k <= per_span; ++k)
        {
            const ON_3dPoint q = PointAt(lo + (hi - lo) * k / per_span);
            if (!q.IsValid())
                return false;
            pts.push_back(q);
        }
    const ON_3dPoint p0 = pts.front();
    ON_3dPoint p1 = p0;
    for (const ON_3dPoint& q : pts)
        if (q.DistanceTo(p0) > p1.DistanceTo(p0))
            p1 = q;
    const ON_3dVector axis = p1 - p0;
    ON_3dVector normal;
    double best = 0.0;
    for (const ON_3dPoint& q : pts)
    {
        const ON_3dVector c = ON_CrossProduct(axis, q - p0);
        if (c.Length() > best)
            best = c.Length(), normal = c;
    }
    const double axis_length = axis.Length();
    ON_Plane result;
    if (axis_length == 0.0 || best / axis_length <= tolerance)
    {
        // A straight curve lies in every plane through it.
        ON_3dVector y;
        if (axis_length == 0.0)
            y = ON_yaxis;
        else
            y.PerpendicularTo(axis);
        if (!result.CreateFromFrame(p0, axis_length == 0.0 ? ON_xaxis : axis, y))
            return false;
    }
    else
    {
        if (!result.CreateFromNormal(p0, normal))
            return false;
        for (const ON_3dPoint& q : pts)
            if (std::fabs(result.DistanceTo(q)) > tolerance)
                return false;
    }
    if (plane)
        *plane = result;
    return true;
}

bool ON_Curve::GetSpanBoundingBox(const ON_Interval&, ON_BoundingBox&) const
{
    return false;
}

bool ON_Curve::GetClosestPoint(const ON_3dPoint& p, double* t, double maximum_distance,
                               const ON_Interval* sub_domain) const
{
    const ON_Interval d = Domain();
    if (!p.IsValid() || !d.IsIncreasing())
        return false;
    double a = d[0], b = d[1];
    if (sub_domain)
    {
        if (!sub_domain->IsValid())
            return false;
        a = std::max(a, sub_domain->Min());
        b = std::min(b, sub_domain->Max());
        if (!(a <= b))
            return false;
    }
    std::vector<double> bounds;
    std::vector<std::pair<double, double>> pieces;
    if (!ClippedSpans(*this, a, b, bounds, pieces))
        return false;

    // Lower bounds from the span boxes; the span most likely to hold the
    // answer is searched first so the others can mostly be skipped.
    std::vector<double> lower(pieces.size(), 0.0);
    std::size_t first = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i)
    {
        ON_BoundingBox box;
        if (GetSpanBoundingBox(ON_Interval(pieces[i].first, pieces[i].second), box))
            lower[i] = BoxDistanceSquared(box, p);
        if (lower[i] < lower[first])
            first = i;
    }
    ClosestSearch search{*this, p};
    search.SearchSpan(pieces[first].first, pieces[first].second);
    for (std::size_t i = 0; i < pieces.size(); ++i)
        if (i != first && lower[i] < search.best_d2)
            search.SearchSpan(pieces[i].first, pieces[i].second);
    if (!std::isfinite(search.best_d2))
        return false;
    if (maximum_distance > 0.0 && std::sqrt(search.best_d2) > maximum_distance)
        return false;
    if (t)
        *t = search.best_t;
    return true;
}

bool ON_Curve::GetLength(double* length, double fractional_tolerance, const ON_Interval* sub_domain) const
{
    const ON_Interval d = Domain();
    if (!length || !d.IsIncreasing())
        return false;
    double a = d[0], b = d[1];
    if (sub_domain)
    {
        if (!sub_domain->IsValid() || sub_domain->IsDecreasing())
            return false;
        a = std::max(a, (*sub_domain)[0]);
        b = std::min(b, (*sub_domain)[1]);
        if (!(a <= b))
            return false;
        if (a == b)
        {
            *length = 0.0;
            return true;
        }
    }
    std::vector<double> bounds;
    std::vector<std::pair<double, double>> pieces;
    if (!ClippedSpans(*this, a, b, bounds, pieces))
        return false;
    bool ok = true;
    std::vector<double> estimates;
    double estimate = 0.0;
    for (const auto& [lo, hi] : pieces)
    {
        estimates.push_back(SpeedIntegral(*this, lo, hi, &ok));
        estimate += estimates.back();
    }
    if (!ok)
        return false;
    if (!(fractional_tolerance > 0.0))
        fractional_tolerance = 1.0e-8;
    const double tolerance = std::max(fractional_tolerance * estimate, 1.0e-300);
    double total = 0.0;
    for (std::size_t i = 0; i < pieces.size(); ++i)
    {
        const auto [lo, hi] = pieces[i];
        total += AdaptiveLength(*this, lo, hi, estimates[i], tolerance * (hi - lo) / (b - a), 0, &ok);
    }
    if (!ok || !std::isfinite(total))
        return false;
    *length = total;
    return true;
}

bool ON_WriteCurve(ON_BinaryArchive& archive, const ON_Curve* curve)
{
    if (!curve)
        return false;
    return archive.WriteInt(static_cast<int>(curve->CurveKind())) && curve->Write(archive);
}

ON_Curve* ON_ReadCurve(ON_BinaryArchive& archive)
{
    int kind = 0;
    if (!archive.ReadInt(&kind))
        return nullptr;
    std::unique_ptr<ON_Curve> curve;
    switch (static_cast<ON_Curve::Kind>(kind))
    {
    case ON_Curve::Kind::line: curve = std::make_unique<ON_LineCurve>(); break;
    case ON_Curve::Kind::arc: curve = std::make_unique<ON_ArcCurve>(); break;
    case ON_Curve::Kind::nurbs: curve = std::make_unique<ON_NurbsCurve>(); break;
    case ON_Curve::Kind::polyline: curve = std::make_unique<ON_PolylineCurve>(); break;
    case ON_Curve::Kind::polycurve: curve = std::make_unique<ON_PolyCurve>(); break;
    default: return nullptr;
    }
    if (!curve->Read(archive))
        return nullptr;
    return curve.release();
}

namespace on_curve_detail
{

bool ReadFinite(ON_BinaryArchive& archive, double* value)
{
    double v = 0.0;
    if (!archive.ReadDouble(&v) || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

bool ReadPoint(ON_BinaryArchive& archive, ON_3dPoint& point)
{
    ON_3dPoint p;
    if (!ReadFinite(archive, &p.x) || !ReadFinite(archive, &p.y) || !ReadFinite(archive, &p.z))
        return false;
    point = p;
    return true;
}

bool WritePoint(ON_BinaryArchive& archive, const ON_3dPoint& point)
{
    return archive.WriteDouble(point.x) && archive.WriteDouble(point.y) && archive.WriteDouble(point.z);
}

bool ReadInterval(ON_BinaryArchive& archive, ON_Interval& interval)
{
    double t0 = 0.0, t1 = 0.0;
    if (!ReadFinite(archive, &t0) || !ReadFinite(archive, &t1) || !(t0 < t1))
        return false;
    interval.Set(t0, t1);
    return true;
}

bool WriteInterval(ON_BinaryArchive& archive, const ON_Interval& interval)
{
    return archive.WriteDouble(interval[0]) && archive.WriteDouble(interval[1]);
}

int& ReadDepth()
{
    return g_read_depth;
}

} // namespace on_curve_detail
