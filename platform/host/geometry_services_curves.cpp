#include "platform/host/geometry_services_curves.h"

#include "platform/geometry/line.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{

constexpr int kMaxPolylinePoints = 1000000;

// Rows of a banded system whose non-zeros in row i start at column first[i]
// and span `width` columns; elimination without pivoting keeps that shape
// because the spans move right with the rows (interpolation matrices of
// B-splines are totally positive, so no pivoting is needed).
struct BandSystem
{
    int n = 0;
    int width = 0;
    std::vector<int> first;
    std::vector<double> a;   // n x width
    std::vector<double> rhs; // n x 3

    double& At(int row, int col) { return a[static_cast<std::size_t>(row) * width + (col - first[row])]; }

    bool Solve(std::vector<ON_3dPoint>& x)
    {
        for (int k = 0; k < n; ++k)
        {
            if (k < first[k] || k >= first[k] + width)
                return false;
            const double pivot = At(k, k);
            if (!(std::fabs(pivot) > 1e-14) || !std::isfinite(pivot))
                return false;
            const int last = first[k] + width - 1;
            for (int i = k + 1; i < n && first[i] <= k; ++i)
            {
                if (first[i] + width - 1 < last)
                    return false;
                const double f = At(i, k) / pivot;
                if (f == 0.0)
                    continue;
                for (int j = k; j <= last; ++j)
                    At(i, j) -= f * At(k, j);
                for (int c = 0; c < 3; ++c)
                    rhs[static_cast<std::size_t>(i) * 3 + c] -= f * rhs[static_cast<std::size_t>(k) * 3 + c];
            }
        }
        x.assign(static_cast<std::size_t>(n), ON_3dPoint());
        for (int k = n - 1; k >= 0; --k)
        {
            double s[3] = {rhs[static_cast<std::size_t>(k) * 3], rhs[static_cast<std::size_t>(k) * 3 + 1],
                           rhs[static_cast<std::size_t>(k) * 3 + 2]};
            const int last = std::min(n - 1, first[k] + width - 1);
            for (int j = k + 1; j <= last; ++j)
                for (int c = 0; c < 3; ++c)
                    s[c] -= At(k, j) * x[static_cast<std::size_t>(j)][c];
            const double pivot = At(k, k);
            x[static_cast<std::size_t>(k)].Set(s[0] / pivot, s[1] / pivot, s[2] / pivot);
            if (!x[static_cast<std::size_t>(k)].IsValid())
                return false;
        }
        return true;
    }
};

} // namespace

ON_NurbsCurve* DezazInterpCurve(int degree, const ON_SimpleArray<ON_3dPoint>& points,
                                const ON_3dVector* start_tangent, const ON_3dVector* end_tangent, int knot_style,
                                ON_NurbsCurve* nurbs_curve)
{
    if (degree < 1 || degree > 11 || knot_style < 0 || knot_style > 2)
        return nullptr;
    std::vector<ON_3dPoint> q;
    for (const ON_3dPoint& p : points)
    {
        if (!p.IsValid())
            return nullptr;
        if (q.empty() || p != q.back())
            q.push_back(p);
    }
    const int n = static_cast<int>(q.size());
    if (n < 2)
        return nullptr;
    ON_3dVector tangents[2];
    const ON_3dVector* given[2] = {start_tangent, end_tangent};
    for (int e = 0; e < 2; ++e)
        if (given[e])
        {
            tangents[e] = *given[e];
            if (degree != 3 || !tangents[e].Unitize())
                return nullptr;
        }
    const int p = std::min(degree, n - 1);
    const bool with_start = start_tangent && p == 3;
    const bool with_end = end_tangent && p == 3;
    // With fewer than four points a tangent cannot be added to the cubic.
    if ((start_tangent || end_tangent) && p != 3)
        return nullptr;

    std::vector<double> t(static_cast<std::size_t>(n), 0.0);
    for (int i = 1; i < n; ++i)
    {
        const double chord = q[i].DistanceTo(q[i - 1]);
        const double step = knot_style == 0 ? 1.0 : (knot_style == 1 ? chord : std::sqrt(chord));
        t[i] = t[i - 1] + step;
        if (!(t[i] > t[i - 1]) || !std::isfinite(t[i]))
            return nullptr;
    }

    const int cv_count = n + (with_start ? 1 : 0) + (with_end ? 1 : 0);
    std::vector<double> knots(static_cast<std::size_t>(cv_count + p + 1));
    for (int i = 0; i <= p; ++i)
    {
        knots[i] = t.front();
        knots[knots.size() - 1 - i] = t.back();
    }
    const int interior = cv_count - p - 1;
    if (with_start && with_end)
    {
        for (int j = 1; j <= interior; ++j)
            knots[p + j] = t[j];
    }
    else if (with_start || with_end)
    {
        // One extra control point: interior knots between the parameters.
        for (int j = 1; j <= interior; ++j)
            knots[p + j] = 0.5 * (t[j] + t[j + 1]);
    }
    else
    {
        for (int j = 1; j <= interior; ++j)
        {
            double s = 0.0;
            for (int i = j; i < j + p; ++i)
                s += t[i];
            knots[p + j] = s / p;
        }
    }

    BandSystem sys;
    sys.n = cv_count;
    sys.width = p + 1;
    sys.first.assign(static_cast<std::size_t>(cv_count), 0);
    sys.a.assign(static_cast<std::size_t>(cv_count) * sys.width, 0.0);
    sys.rhs.assign(static_cast<std::size_t>(cv_count) * 3, 0.0);
    int row = 0;
    auto add_row = [&](double param, int der, const ON_3dPoint& value) {
        const int span = nurbs_basis::FindSpan(p, cv_count, knots.data(), param);
        if (span < 0)
            return false;
        double ders[2 * nurbs_basis::kMaxOrder];
        nurbs_basis::BasisFunctionDerivatives(span, param, p, der, knots.data(), ders);
        sys.first[row] = span - p;
        for (int j = 0; j <= p; ++j)
            sys.a[static_cast<std::size_t>(row) * sys.width + j] = ders[der * (p + 1) + j];
        for (int c = 0; c < 3; ++c)
            sys.rhs[static_cast<std::size_t>(row) * 3 + c] = value[c];
        ++row;
        return true;
    };
    bool ok = add_row(t.front(), 0, q.front());
    if (with_start)
        ok = ok && add_row(t.front(), 1, ON_3dPoint(tangents[0]));
    for (int i = 1; i + 1 < n; ++i)
        ok = ok && add_row(t[i], 0, q[i]);
    if (with_end)
        ok = ok && add_row(t.back(), 1, ON_3dPoint(tangents[1]));
    ok = ok && add_row(t.back(), 0, q.back());
    std::vector<ON_3dPoint> cvs;
    if (!ok || row != cv_count || !sys.Solve(cvs))
        return nullptr;

    ON_NurbsCurve result(3, false, p + 1, cv_count);
    for (int i = 0; i < static_cast<int>(knots.size()); ++i)
        result.SetKnot(i, knots[i]);
    for (int i = 0; i < cv_count; ++i)
        result.SetCV(i, cvs[static_cast<std::size_t>(i)]);
    // The ends exactly on the first and last point.
    result.SetCV(0, q.front());
    result.SetCV(cv_count - 1, q.back());
    if (!result.IsValid())
        return nullptr;
    if (nurbs_curve)
    {
        *nurbs_curve = result;
        return nurbs_curve;
    }
    return new ON_NurbsCurve(result);
}

namespace
{

struct PolylineLimits
{
    double angle = 0.0;
    double chord = 0.0;
    double ratio = 0.0;
    double min_edge = 0.0;
    double max_edge = 0.0;
};

struct Sample
{
    double t;
    ON_3dPoint p;
    ON_3dVector tangent;
};

class PolylineBuilder
{
public:
    PolylineBuilder(const ON_Curve& curve, const PolylineLimits& limits) : m_curve(curve), m_limits(limits) {}

    bool Eval(double t, Sample& s, int side) const
    {
        s.t = t;
        return m_curve.EvTangent(t, s.p, s.tangent, side) || m_curve.EvPoint(t, s.p, side);
    }

    bool NeedsSplit(const Sample& a, const Sample& b)
    {
        const double length = a.p.DistanceTo(b.p);
        if (m_limits.min_edge > 0.0 && length < m_limits.min_edge)
            return false;
        if (m_limits.max_edge > 0.0 && length > m_limits.max_edge)
            return true;
        if (m_limits.angle > 0.0 && !a.tangent.IsZero() && !b.tangent.IsZero())
        {
            const double c = std::clamp(ON_DotProduct(a.tangent, b.tangent), -1.0, 1.0);
            if (std::acos(c) > m_limits.angle)
                return true;
        }
        if (m_limits.chord > 0.0 || m_limits.ratio > 0.0)
        {
            const ON_Line chord(a.p, b.p);
            double height = 0.0;
            // Three inner samples catch an S-shaped piece whose middle sits
            // on the chord.
            for (double f : {0.25, 0.5, 0.75})
            {
                ON_3dPoint q;
                if (m_curve.EvPoint(a.t + f * (b.t - a.t), q))
                    height = std::max(height, chord.DistanceTo(q));
            }
            if (m_limits.chord > 0.0 && height > m_limits.chord)
                return true;
            if (m_limits.ratio > 0.0 && length > 0.0 && height / length > m_limits.ratio)
                return true;
        }
        return false;
    }

    // Appends the points after a up to and including b.
    bool Refine(const Sample& a, const Sample& b, int depth, ON_PolylineCurve& out)
    {
        if (depth < 40 && NeedsSplit(a, b))
        {
            Sample m;
            const double tm = 0.5 * (a.t + b.t);
            if (tm > a.t && tm < b.t && Eval(tm, m, 0))
                return Refine(a, m, depth + 1, out) && Refine(m, b, depth + 1, out);
        }
        if (out.m_pline.Count() >= kMaxPolylinePoints)
            return false;
        out.m_pline.Append(b.p);
        out.m_t.Append(b.t);
        return true;
    }

private:
    const ON_Curve& m_curve;
    PolylineLimits m_limits;
};

} // namespace

bool DezazConvertCurveToPolyline(const ON_Curve& curve, int, int min_point_count, double angle_tolerance,
                                 double max_chord_height, double chord_height_ratio, double tolerance,
                                 double min_edge_length, double max_edge_length, ON_PolylineCurve& polyline,
                                 bool keep_span_bounds, const ON_Interval* sub_domain)
{
    polyline.Destroy();
    ON_Interval d = curve.Domain();
    if (!curve.IsValid() || !d.IsIncreasing())
        return false;
    if (sub_domain)
    {
        if (!sub_domain->IsIncreasing())
            return false;
        d.Set(std::max(d[0], (*sub_domain)[0]), std::min(d[1], (*sub_domain)[1]));
        if (!d.IsIncreasing())
            return false;
    }
    auto positive = [](double v) { return std::isfinite(v) && v > 0.0 ? v : 0.0; };
    PolylineLimits limits;
    limits.angle = positive(angle_tolerance);
    limits.chord = positive(max_chord_height);
    if (positive(tolerance) > 0.0 && (limits.chord == 0.0 || tolerance < limits.chord))
        limits.chord = tolerance;
    limits.ratio = positive(chord_height_ratio);
    limits.min_edge = positive(min_edge_length);
    limits.max_edge = positive(max_edge_length);

    // Start from the span bounds (each smooth span halved once, so a closed
    // span is not mistaken for a point) and the requested point count.
    std::vector<double> starts = {d[0], d[1]};
    if (keep_span_bounds || curve.Degree() > 1)
    {
        std::vector<double> bounds(static_cast<std::size_t>(std::max(0, curve.SpanCount())) + 1);
        if (curve.SpanCount() > 0 && curve.GetSpanVector(bounds.data()))
            for (std::size_t i = 0; i < bounds.size(); ++i)
            {
                if (keep_span_bounds && bounds[i] > d[0] && bounds[i] < d[1])
                    starts.push_back(bounds[i]);
                if (curve.Degree() > 1 && i + 1 < bounds.size())
                {
                    const double mid = 0.5 * (bounds[i] + bounds[i + 1]);
                    if (mid > d[0] && mid < d[1])
                        starts.push_back(mid);
                }
            }
    }
    const int wanted = std::clamp(min_point_count, 2, kMaxPolylinePoints);
    for (int i = 1; i + 1 < wanted; ++i)
        starts.push_back(d.ParameterAt(static_cast<double>(i) / (wanted - 1)));
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    if (static_cast<int>(starts.size()) > kMaxPolylinePoints)
        return false;

    PolylineBuilder builder(curve, limits);
    Sample a;
    if (!builder.Eval(starts[0], a, 1))
        return false;
    polyline.m_pline.Append(a.p);
    polyline.m_t.Append(a.t);
    for (std::size_t i = 1; i < starts.size(); ++i)
    {
        // Both sides of a span bound: the tangent from below for the end of
        // the piece, from above for the start of the next.
        Sample b_below, b_above;
        if (!builder.Eval(starts[i], b_below, -1) || !builder.Eval(starts[i], b_above, 1) ||
            !builder.Refine(a, b_below, 0, polyline))
        {
            polyline.Destroy();
            return false;
        }
        a = b_above;
    }
    return true;
}
