// A spline profile fitted to a mesh section to a tolerance: the adaptive fit
// (FitToPolyline) followed by the refinement (RefineToTolerance), on
// sections of 1k to 100k points; beside it OpenCASCADE's approximation of
// the same points to the same tolerance (GeomAPI_PointsToBSpline).
#include "shapes/spline_section_curve.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#if defined(VTL_BENCH_WITH_OCCT)
#include <GeomAPI_PointsToBSpline.hxx>
#include <Geom_BSplineCurve.hxx>
#include <TColgp_Array1OfPnt.hxx>
#endif

namespace
{

constexpr double kTolerance = 0.01;

// A wavy profile some 150 units long, as a scan section of a moulded part:
// a half circle of radius 40 with a ripple, sampled with noise of 0.001.
tPolyline<cVertex> Section(int count)
{
    std::mt19937 rng(17);
    std::normal_distribution<double> noise(0.0, 0.001);
    tPolyline<cVertex> points;
    for (int i = 0; i < count; ++i)
    {
        const double a = 3.14159265358979 * i / (count - 1);
        const double r = 40.0 + 2.0 * std::sin(6.0 * a);
        const double p[3] = {r * std::cos(a) + noise(rng), r * std::sin(a) + noise(rng), 0.0};
        points.AddPoint3d(p);
    }
    return points;
}

void BM_SplineFitAndRefine(benchmark::State& state)
{
    const tPolyline<cVertex> section = Section(static_cast<int>(state.range(0)));
    double frame[12];
    MakeIdentity3x4(frame);
    std::uint32_t points = 0;
    for (auto _ : state)
    {
        ST_TSplineCurve<Dezaz_Wire> spline;
        if (!spline.FitToPolyline(frame, section, kTolerance, 0))
            state.SkipWithError("fit failed");
        spline.RefineToTolerance(static_cast<float>(kTolerance));
        points = spline.InterpolationPoints().GetVertexCount();
        benchmark::DoNotOptimize(points);
    }
    state.counters["interpolation_points"] = points;
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SplineFitAndRefine)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();

// The adaptive fit alone.
void BM_SplineFit(benchmark::State& state)
{
    const tPolyline<cVertex> section = Section(static_cast<int>(state.range(0)));
    double frame[12];
    MakeIdentity3x4(frame);
    std::uint32_t points = 0;
    for (auto _ : state)
    {
        ST_TSplineCurve<Dezaz_Wire> spline;
        if (!spline.FitToPolyline(frame, section, kTolerance, 0))
            state.SkipWithError("fit failed");
        points = spline.InterpolationPoints().GetVertexCount();
        benchmark::DoNotOptimize(points);
    }
    state.counters["interpolation_points"] = points;
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SplineFit)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

#if defined(VTL_BENCH_WITH_OCCT)
void BM_OcctPointsToBSpline(benchmark::State& state)
{
    const tPolyline<cVertex> section = Section(static_cast<int>(state.range(0)));
    TColgp_Array1OfPnt points(1, static_cast<int>(section.GetVertexCount()));
    int i = 1;
    for (const cVertex& v : section.vertices)
        points.SetValue(i++, gp_Pnt(v.x, v.y, v.z));
    int poles = 0;
    for (auto _ : state)
    {
        GeomAPI_PointsToBSpline fit(points, 3, 8, GeomAbs_C2, kTolerance);
        if (!fit.IsDone())
            state.SkipWithError("approximation failed");
        else
            poles = fit.Curve()->NbPoles();
        benchmark::DoNotOptimize(poles);
    }
    state.counters["poles"] = poles;
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
// Its time grows with the square of the points (16 s at 10k here), so the
// 100k section (about half an hour) is left out.
BENCHMARK(BM_OcctPointsToBSpline)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();
#endif

} // namespace
