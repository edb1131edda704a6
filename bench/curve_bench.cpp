// Closest points and arc length on a 200-control-point cubic NURBS curve,
// side by side with OpenCASCADE (GeomAPI_ProjectPointOnCurve,
// GCPnts_AbscissaPoint) on the same curve and the same query points.
// Counters: ns_per_query (ours), ref_ns_per_query, time_ratio (our time /
// the reference's), farther (queries where our point is farther than the
// reference's by more than 1e-9 of the curve's size), rel_diff (lengths).
#include "platform/geometry/nurbs_curve.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <random>
#include <vector>

#ifdef VTL_BENCH_WITH_OCCT
#include <GCPnts_AbscissaPoint.hxx>
#include <Geom_BSplineCurve.hxx>
#include <GeomAPI_ProjectPointOnCurve.hxx>
#include <GeomAdaptor_Curve.hxx>
#include <TColStd_Array1OfInteger.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColgp_Array1OfPnt.hxx>
#endif

namespace
{

using Clock = std::chrono::steady_clock;

// A winding space curve of 200 control points, about 100 units across.
const ON_NurbsCurve& Curve()
{
    static const ON_NurbsCurve curve = [] {
        std::mt19937 rng(42);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        ON_NurbsCurve c(3, false, 4, 200);
        double k = 0.0;
        for (int i = 0; i < c.KnotCount(); ++i)
        {
            if (i >= 4 && i <= 200)
                k += 0.5 + unit(rng);
            c.SetKnot(i, k);
        }
        for (int i = 0; i < 200; ++i)
        {
            const double a = 0.2 * i;
            c.SetCV(i, ON_3dPoint(40 * std::cos(a) + 3 * unit(rng), 40 * std::sin(0.7 * a) + 3 * unit(rng),
                                  0.3 * i + 3 * unit(rng)));
        }
        return c;
    }();
    return curve;
}

const std::vector<ON_3dPoint>& Queries()
{
    static const std::vector<ON_3dPoint> queries = [] {
        std::mt19937 rng(7);
        std::uniform_real_distribution<double> unit(-1.0, 1.0);
        const ON_NurbsCurve& c = Curve();
        const ON_Interval d = c.Domain();
        std::vector<ON_3dPoint> q;
        q.reserve(1000000);
        // Points scattered within a few units of the curve.
        for (int i = 0; i < 1000000; ++i)
            q.push_back(c.PointAt(d.ParameterAt(0.5 + 0.5 * unit(rng))) +
                        ON_3dVector(5 * unit(rng), 5 * unit(rng), 5 * unit(rng)));
        return q;
    }();
    return queries;
}

double Seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

#ifdef VTL_BENCH_WITH_OCCT
Handle(Geom_BSplineCurve) Reference(const ON_NurbsCurve& c)
{
    std::vector<double> distinct;
    std::vector<int> mults;
    for (int i = 0; i < c.KnotCount(); ++i)
    {
        if (!distinct.empty() && c.Knot(i) == distinct.back())
            ++mults.back();
        else
            distinct.push_back(c.Knot(i)), mults.push_back(1);
    }
    TColgp_Array1OfPnt poles(1, c.CVCount());
    for (int i = 0; i < c.CVCount(); ++i)
    {
        const ON_3dPoint p = c.CV(i);
        poles.SetValue(i + 1, gp_Pnt(p.x, p.y, p.z));
    }
    TColStd_Array1OfReal knots(1, static_cast<int>(distinct.size()));
    TColStd_Array1OfInteger multiplicities(1, static_cast<int>(distinct.size()));
    for (std::size_t i = 0; i < distinct.size(); ++i)
    {
        knots.SetValue(static_cast<int>(i) + 1, distinct[i]);
        multiplicities.SetValue(static_cast<int>(i) + 1, mults[i]);
    }
    return new Geom_BSplineCurve(poles, knots, multiplicities, c.Degree());
}
#endif

void BM_ClosestPoint(benchmark::State& state)
{
    const ON_NurbsCurve& c = Curve();
    const std::vector<ON_3dPoint>& queries = Queries();
    std::vector<double> ours(queries.size());
    for (auto _ : state)
    {
        const auto start = Clock::now();
        for (std::size_t i = 0; i < queries.size(); ++i)
        {
            double t = 0.0;
            c.GetClosestPoint(queries[i], &t);
            ours[i] = t;
        }
        const double our_seconds = Seconds(start);
        state.counters["ns_per_query"] = 1e9 * our_seconds / queries.size();
#ifdef VTL_BENCH_WITH_OCCT
        const Handle(Geom_BSplineCurve) ref = Reference(c);
        GeomAPI_ProjectPointOnCurve projector;
        projector.Init(ref, ref->FirstParameter(), ref->LastParameter());
        std::vector<double> ref_distance(queries.size());
        const auto ref_start = Clock::now();
        for (std::size_t i = 0; i < queries.size(); ++i)
        {
            const gp_Pnt p(queries[i].x, queries[i].y, queries[i].z);
            projector.Perform(p);
            ref_distance[i] = projector.NbPoints() > 0 ? projector.LowerDistance() : 1e300;
        }
        const double ref_seconds = Seconds(ref_start);
        int farther = 0;
        for (std::size_t i = 0; i < queries.size(); ++i)
        {
            const double d = queries[i].DistanceTo(c.PointAt(ours[i]));
            // The reference reports interior extrema only; ends count as well.
            const double ref = std::min({ref_distance[i], queries[i].DistanceTo(c.PointAtStart()),
                                         queries[i].DistanceTo(c.PointAtEnd())});
            if (d > ref + 1e-7)
                ++farther;
        }
        state.counters["ref_ns_per_query"] = 1e9 * ref_seconds / queries.size();
        state.counters["time_ratio"] = our_seconds / ref_seconds;
        state.counters["farther"] = farther;
#endif
    }
}
BENCHMARK(BM_ClosestPoint)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_Length(benchmark::State& state)
{
    const ON_NurbsCurve& c = Curve();
    constexpr int kRepeats = 200;
    double length = 0.0;
    for (auto _ : state)
    {
        const auto start = Clock::now();
        for (int r = 0; r < kRepeats; ++r)
        {
            c.GetLength(&length, 1e-8);
            benchmark::DoNotOptimize(length);
        }
        const double our_seconds = Seconds(start);
        state.counters["us_per_length"] = 1e6 * our_seconds / kRepeats;
        state.counters["length"] = length;
#ifdef VTL_BENCH_WITH_OCCT
        const Handle(Geom_BSplineCurve) ref = Reference(c);
        GeomAdaptor_Curve adaptor(ref);
        double ref_length = 0.0;
        const auto ref_start = Clock::now();
        for (int r = 0; r < kRepeats; ++r)
        {
            ref_length = GCPnts_AbscissaPoint::Length(adaptor, 1e-8 * length);
            benchmark::DoNotOptimize(ref_length);
        }
        const double ref_seconds = Seconds(ref_start);
        state.counters["ref_us_per_length"] = 1e6 * ref_seconds / kRepeats;
        state.counters["time_ratio"] = our_seconds / ref_seconds;
        state.counters["rel_diff"] = std::fabs(length - ref_length) / ref_length;
#endif
    }
}
BENCHMARK(BM_Length)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
