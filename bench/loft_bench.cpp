// The loft: skinning 20 sections of 200 points each (open waves, and loops
// whose seams and directions disagree), and resampling 500 sections onto a
// 500 x 500 grid of new sections. The loft service stands on OpenCASCADE's
// section skinning after putting the sections on one knot vector; the peer
// is OpenCASCADE's skinning of the same open sections as they are (merging
// their knots itself), timed alternately with ours in thread CPU time
// (paired_timing.h). The machine is shared: read the paired ratio.
#include "core/frame_math.h"
#include "fitting/loft_sampling.h"
#include "platform/geometry/nurbs_surface.h"
#include "platform/host/geometry_services_curves.h"
#include "platform/host/geometry_services_loft.h"
#include "shapes/spline_section_curve.h"

#include "bench/paired_timing.h"
#include "platform/geometry/mesh.h"
#include "platform/host/geometry_services_sweeps.h"

#include <BRepBuilderAPI_MakeEdge.hxx>
#include <BRepBuilderAPI_MakeWire.hxx>
#include <BRepOffsetAPI_ThruSections.hxx>
#include <Geom_BSplineCurve.hxx>
#include <TColStd_Array1OfInteger.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColgp_Array1OfPnt.hxx>
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace
{

constexpr double kPi = 3.14159265358979323846;

// Section k of the loft through 200 points: a wave across x, or a loop
// about the z axis starting at an angle of its own and running either way.
ON_NurbsCurve* Section(int k, bool loop)
{
    ON_SimpleArray<ON_3dPoint> points;
    const double z = 5.0 * k;
    for (int i = 0; i < 200; ++i)
    {
        if (loop)
        {
            const double a = 0.7 * k + (k % 2 != 0 ? -1.0 : 1.0) * 2.0 * kPi * i / 199.0;
            const double r = 20.0 + 3.0 * std::sin(3.0 * a + 0.1 * k);
            points.Append(ON_3dPoint(r * std::cos(a), r * std::sin(a), z));
        }
        else
        {
            const double x = 100.0 * i / 199.0;
            points.Append(ON_3dPoint(x, (2.0 + 0.1 * k) * std::sin(0.2 * x + 0.3 * k), z));
        }
    }
    return DezazInterpCurve(3, points, nullptr, nullptr, 1);
}

void BM_LoftThrough20Sections(benchmark::State& state)
{
    const bool loop = state.range(0) != 0;
    CArgsDezazLoft args;
    // The free-form surface asks for its sections rebuilt through its
    // samples; 0 lofts them as they are.
    args.m_sample_count = static_cast<std::int32_t>(state.range(1));
    for (int k = 0; k < 20; ++k)
    {
        auto* section = new CDezazLoftCurve;
        section->m_curve = Section(k, loop);
        args.m_loftcurves.Append(section);
    }
    for (auto _ : state)
    {
        ON_SimpleArray<ON_NurbsSurface*> surfaces;
        if (!DezazSdkLoftSurface(args, surfaces))
            state.SkipWithError("the loft failed");
        for (int i = 0; i < surfaces.Count(); ++i)
            delete surfaces[i];
    }
    for (int i = 0; i < args.m_loftcurves.Count(); ++i)
    {
        delete args.m_loftcurves[i]->m_curve;
        delete args.m_loftcurves[i];
    }
}
BENCHMARK(BM_LoftThrough20Sections)
    ->ArgNames({"loops", "samples"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 24})
    ->Args({1, 24})
    ->Unit(benchmark::kMillisecond);

// Our open section as an exact B-spline of the peer.
Handle(Geom_BSplineCurve) PeerCurve(const ON_Curve& curve)
{
    ON_NurbsCurveData data;
    if (!DezazCurveToNurbsData(curve, data) || data.is_rat)
        return nullptr;
    std::vector<double> knots;
    std::vector<int> mults;
    for (double k : data.knot)
    {
        if (!knots.empty() && k == knots.back())
            ++mults.back();
        else
            knots.push_back(k), mults.push_back(1);
    }
    TColgp_Array1OfPnt poles(1, data.cv_count);
    for (int i = 0; i < data.cv_count; ++i)
        poles.SetValue(i + 1, gp_Pnt(data.CV(i)[0], data.CV(i)[1], data.CV(i)[2]));
    TColStd_Array1OfReal k(1, static_cast<int>(knots.size()));
    TColStd_Array1OfInteger m(1, static_cast<int>(mults.size()));
    for (std::size_t i = 0; i < knots.size(); ++i)
        k.SetValue(static_cast<int>(i) + 1, knots[i]), m.SetValue(static_cast<int>(i) + 1, mults[i]);
    return new Geom_BSplineCurve(poles, k, m, data.order - 1);
}

// Our service beside the peer's skinning of the sections as they are, on
// the 20 open waves.
void BM_LoftBesideThePeer(benchmark::State& state)
{
    CArgsDezazLoft args;
    std::vector<Handle(Geom_BSplineCurve)> peerCurves;
    for (int k = 0; k < 20; ++k)
    {
        auto* section = new CDezazLoftCurve;
        section->m_curve = Section(k, false);
        args.m_loftcurves.Append(section);
        peerCurves.push_back(PeerCurve(*section->m_curve));
    }
    int poles = 0;
    PairedTimes times;
    int round = 0;
    for (auto _ : state)
        times.Run(
            round++,
            [&](int) {
                ON_SimpleArray<ON_NurbsSurface*> surfaces;
                if (!DezazSdkLoftSurface(args, surfaces))
                    state.SkipWithError("the loft failed");
                for (int i = 0; i < surfaces.Count(); ++i)
                {
                    poles = surfaces[i]->m_cv_count[0] * surfaces[i]->m_cv_count[1];
                    delete surfaces[i];
                }
            },
            [&](int) {
                // As the service used to hand them over (its own settings).
                BRepOffsetAPI_ThruSections loft(Standard_False, Standard_False, 1e-6);
                loft.CheckCompatibility(Standard_False);
                loft.SetMaxDegree(3);
                for (const Handle(Geom_BSplineCurve)& curve : peerCurves)
                    loft.AddWire(BRepBuilderAPI_MakeWire(BRepBuilderAPI_MakeEdge(curve).Edge()).Wire());
                loft.Build();
                if (!loft.IsDone())
                    state.SkipWithError("the peer's loft failed");
            });
    times.Report(state);
    state.counters["poles"] = poles;
    for (int i = 0; i < args.m_loftcurves.Count(); ++i)
    {
        delete args.m_loftcurves[i]->m_curve;
        delete args.m_loftcurves[i];
    }
}
BENCHMARK(BM_LoftBesideThePeer)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_SampleLoftOntoGrid(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    stLoftSections source;
    source.sampling = n;
    source.expand = 0.0;
    double identity[12];
    MakeIdentity3x4(identity);
    for (int k = 0; k < n; ++k)
    {
        tPolyline<cVertex> points;
        for (int i = 0; i < 50; ++i)
        {
            const double x = 100.0 * i / 49.0;
            const double p[3] = {x, 2.0 * std::sin(0.2 * x + 0.01 * k), 0.5 * k};
            points.AddPoint3d(p);
        }
        auto curve = std::make_unique<ST_TSplineCurve<Dezaz_Wire>>();
        curve->FitToPolyline(identity, points, 0.0, 0);
        LoftSection section;
        section.curve = std::move(curve);
        section.position = static_cast<double>(k) / (n - 1);
        source.sections.push_back(std::move(section));
    }
    for (auto _ : state)
    {
        stLoftSections destination;
        if (!SampleLoftToGrid(nullptr, source, &destination))
            state.SkipWithError("the sampling failed");
        benchmark::DoNotOptimize(destination.sections.size());
    }
    state.SetItemsProcessed(state.iterations() * n * n);
}
BENCHMARK(BM_SampleLoftOntoGrid)->ArgName("grid")->Arg(100)->Arg(500)->Unit(benchmark::kMillisecond);

} // namespace
