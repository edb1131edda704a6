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

// 7-point Gauss-Legendre rule and its 15-point Kronrod extension on
// [-1, 1]: nodes from the outside in, the centre last; the Gauss nodes are
// the odd-numbered Kronrod nodes.
constexpr double kKronrodNodes[8] = {0.991455371120812639206854697526329, 0.949107912342758524526189684047851,
                                     0.864864423359769072789712788640926, 0.741531185599394439863864773280788,
                                     0.586087235467691130294144845693013, 0.405845151377397166906606412076961,
                                     0.207784955007898467600689403773245, 0.0};
constexpr double kKronrodWeights[8] = {0.022935322010529224963732008058970, 0.063092092629978553290700663189204,
                                       0.104790010322250183839876322541518, 0.140653259715525918745189590510238,
                                       0.169004726639267902826583426598550, 0.190350578064785409913256402421014,
                                       0.204432940075298892414161999234649, 0.209482141084727828012999174891714};
constexpr double kGaussWeights[4] = {0.129484966168869693270611432679082, 0.279705391489276667901467771423780,
                                     0.381830050505118944950369775488975, 0.417959183673469387755102040816327};

struct LengthPiece
{
    double a, b;
    double length;
    double error;
};

// Length of the curve over [a, b] by the Kronrod rule, with the difference
// from the embedded Gauss rule as its error estimate.
LengthPiece KronrodLength(const ON_Curve& curve, double a, double b, bool* ok)
{
    const double half = 0.5 * (b - a), mid = 0.5 * (a + b);
    ON_3dVector v[2];
    auto speed = [&](double t) {
        if (!curve.Evaluate(t, 1, v))
            *ok = false;
        return v[1].Length();
    };
    double kronrod = 0.0, gauss = 0.0;
    for (int i = 0; i < 7; ++i)
    {
        const double pair = speed(mid - half * kKronrodNodes[i]) + speed(mid + half * kKronrodNodes[i]);
        kronrod += kKronrodWeights[i] * pair;
        if (i % 2 == 1)
            gauss += kGaussWeights[i / 2] * pair;
    }
    const double centre = speed(mid);
    kronrod += kKronrodWeights[7] * centre;
    gauss += kGaussWeights[3] * centre;
    return {a, b, kronrod * half, std::fabs(kronrod - gauss) * half};
}

// Halvings one length may spend in all: curves whose speed is not smooth
// enough for the rule (cusps, wild data) stop there with the finest
// estimates instead of running on.
constexpr int kLengthSplitBudget = 20000;

double AdaptiveLength(const ON_Curve& curve, const LengthPiece& piece, double tolerance, int depth, int* budget,
                      bool* ok)
{
    const double m = 0.5 * (piece.a + piece.b);
    if (!*ok || piece.error <= tolerance || depth >= 40 || *budget <= 0 || !(m > piece.a && m < piece.b))
        return piece.length;
    --*budget;
    return AdaptiveLength(curve, KronrodLength(curve, piece.a, m, ok), 0.5 * tolerance, depth + 1, budget, ok) +
           AdaptiveLength(curve, KronrodLength(curve, m, piece.b, ok), 0.5 * tolerance, depth + 1, budget, ok);
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

    struct Sample
    {
        double t = 0.0;
        double f = 0.0; // (C(t) - p) . C'(t), half the derivative of the squared distance
        double g = 0.0; // f'(t)
        bool ok = false;
    };

    Sample At(double t)
    {
        Sample s;
        s.t = t;
        ON_3dVector v[3];
        if (!curve.Evaluate(t, 2, v))
            return s;
        const ON_3dVector r = ON_3dPoint(v[0]) - p;
        Offer(t, r.LengthSquared());
        s.f = ON_DotProduct(r, v[1]);
        s.g = ON_DotProduct(v[1], v[1]) + ON_DotProduct(r, v[2]);
        s.ok = true;
        return s;
    }

    // A local minimum of the distance is where f turns from negative to
    // positive. An interval whose ends bracket such a turn is refined by
    // Newton; one whose ends have the same sign but slopes that turn towards
    // each other (a dip of a positive f, a hump of a negative one) may hide a
    // minimum and is halved to look.
    void Scan(const Sample& a, const Sample& b, int depth)
    {
        if (!a.ok || !b.ok)
            return;
        if (a.f < 0.0 && b.f > 0.0)
        {
            const double t = a.t - a.f * (b.t - a.t) / (b.f - a.f);
            Refine(a.t, b.t, std::clamp(t, a.t, b.t));
            return;
        }
        const bool dip = a.f > 0.0 && b.f > 0.0 && a.g < 0.0 && b.g > 0.0;
        const bool hump = a.f < 0.0 && b.f < 0.0 && a.g > 0.0 && b.g < 0.0;
        const double m = 0.5 * (a.t + b.t);
        if ((dip || hump) && depth < 8 && m > a.t && m < b.t)
        {
            const Sample mid = At(m);
            Scan(a, mid, depth + 1);
            Scan(mid, b, depth + 1);
        }
    }

    void SearchSpan(double lo, double hi)
    {
        const int m = std::min(std::max(3, 2 * curve.Degree() + 1), 2 * nurbs_basis::kMaxOrder + 1);
        Sample prev = At(lo);
        for (int k = 1; k < m; ++k)
        {
            const Sample next = At(k + 1 == m ? hi : lo + (hi - lo) * k / (m - 1));
            Scan(prev, next, 0);
            prev = next;
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

void ON_Curve::GetSpanDistanceBounds(const ON_3dPoint&, const std::pair<double, double>*, int count,
                                     double* lower_bounds) const
{
    std::fill(lower_bounds, lower_bounds + count, 0.0);
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
    GetSpanDistanceBounds(p, pieces.data(), static_cast<int>(pieces.size()), lower.data());
    std::size_t first = 0;
    for (std::size_t i = 1; i < pieces.size(); ++i)
        if (lower[i] < lower[first])
            first = i;
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
    std::vector<LengthPiece> first_pass;
    double estimate = 0.0;
    for (const auto& [lo, hi] : pieces)
    {
        first_pass.push_back(KronrodLength(*this, lo, hi, &ok));
        estimate += first_pass.back().length;
    }
    if (!ok)
        return false;
    if (!(fractional_tolerance > 0.0))
        fractional_tolerance = 1.0e-8;
    const double tolerance = std::max(fractional_tolerance * estimate, 1.0e-300);
    double total = 0.0;
    int budget = on_curve_detail::LengthSplitBudget();
    for (const LengthPiece& piece : first_pass)
        total += AdaptiveLength(*this, piece, tolerance * (piece.b - piece.a) / (b - a), 0, &budget, &ok);
    if (!ok || !std::isfinite(total))
        return false;
    *length = total;
    return true;
}

int& on_curve_detail::LengthSplitBudget()
{
    thread_local int budget = kLengthSplitBudget;
    return budget;
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

ON_Interval BreakpointDomain(const ON_SimpleArray<double>& t)
{
    if (t.Count() < 2)
        return ON_Interval();
    return ON_Interval(t[0], t[t.Count() - 1]);
}

bool RescaleBreakpoints(ON_SimpleArray<double>& t, double t0, double t1)
{
    const ON_Interval d = BreakpointDomain(t);
    if (!(t0 < t1) || !ON_IsValid(t0) || !ON_IsValid(t1) || !d.IsIncreasing())
        return false;
    const double scale = (t1 - t0) / d.Length();
    for (double& v : t)
        v = t0 + (v - d[0]) * scale;
    t[0] = t0;
    t[t.Count() - 1] = t1;
    return true;
}

} // namespace on_curve_detail
