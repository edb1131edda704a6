// Kind changes of the whole turned part of the big-scan road, step by step
// (bench/big_scan_turned_scan.h). The extruded fit (direction, cuts, profile,
// draft) and its direction from the normals; the symmetry plane's vertex
// tree over every vertex, its constrained plane and its mirror refinement.
// Wall time on the shared pool.
#include "bench/big_scan_turned_scan.h"
#include "core/bucket_search_tree_prop.h"
#include "fitting/fit_drivers.h"
#include "fitting/plane_fit.h"
#include "fitting/sweep_axis_estimates.h"
#include "fitting/sweep_surface_builders.h"
#include "fitting/symmetry_plane_fit.h"
#include "shapes/extruded_surface.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace
{

const bool kEcho = std::getenv("VTL_BENCH_ECHO") != nullptr;

void BM_ExtrusionDirectionFromNormals(benchmark::State& state)
{
    stTurnedPartScan& scan = TurnedPartScan();
    for (auto _ : state)
    {
        double direction[3];
        bool found = false;
        state.SetIterationTime(
            WallSecondsOf([&] { found = EstimateExtrusionDirectionFromNormals(*scan.points, direction); }));
        if (!found)
            state.SkipWithError("no direction");
        if (kEcho)
            std::printf("direction %a %a %a\n", direction[0], direction[1], direction[2]);
    }
}

// The whole scan's region marked from a seed, triangles and corners.
void BM_MarkRegionWhole(benchmark::State& state)
{
    stTurnedPartScan& scan = TurnedPartScan();
    for (auto _ : state)
        state.SetIterationTime(WallSecondsOf([&] { MarkRegionFromSeeds(scan.Mesh(), {0}, true); }));
}

void BM_ExtrudedFitWhole(benchmark::State& state)
{
    stTurnedPartScan& scan = TurnedPartScan();
    for (auto _ : state)
    {
        Dezaz_ExtrudedObject object;
        stProfileFitParams params;
        params.sectionCount = 20;
        bool fitted = false;
        state.SetIterationTime(WallSecondsOf(
            [&]
            {
                fitted = BuildExtrudedFromSections(*scan.points, scan.Mesh(), *object.GetGeometry(), {0},
                                                   params, 1.1, true);
            }));
        if (!fitted)
            state.SkipWithError("extruded fit failed");
        if (kEcho)
        {
            double frame[12];
            object.GetGeometry()->GetProfileFrame(frame);
            std::printf("frame");
            for (double f : frame)
                std::printf(" %a", f);
            std::printf(" rms %a\n", object.GetGeometry()->GetRms());
        }
    }
}

void BM_SymmetryVertexTree(benchmark::State& state)
{
    stTurnedPartScan& scan = TurnedPartScan();
    cBucketSearchTreeProp* tree = cBucketSearchTreeProp::GetOrAttach(&scan.object, kBucketSearchTreePropertyName);
    for (auto _ : state)
    {
        std::uint32_t depth = 0;
        state.SetIterationTime(WallSecondsOf([&] { depth = tree ? tree->Build(1) : 0; }));
        if (depth == 0)
            state.SkipWithError("no tree");
    }
}

// The symmetry kind change's fit with the normal and offset open: the plane
// fit, the constrained plane and the mirror refinement from it.
void BM_SymmetryPlaneWhole(benchmark::State& state)
{
    stTurnedPartScan& scan = TurnedPartScan();
    cBucketSearchTreeProp* tree = cBucketSearchTreeProp::GetOrAttach(&scan.object, kBucketSearchTreePropertyName);
    if (!tree || !tree->EnsureBuilt())
        return state.SkipWithError("no tree");
    for (auto _ : state)
    {
        tPlane<double> plane;
        double rms = 0.0, n[3], d = 0.0, constrained = 0.0, mirrored = 0.0;
        const std::uint8_t open[4] = {1, 1, 1, 1};
        bool fitted = FitPlane(*scan.points, plane, rms, true, 1.1);
        std::copy(plane.normal, plane.normal + 3, n);
        d = plane.d;
        cSymmetryPlaneFit mirror(1.0, 200, &scan.object);
        constrained = WallSecondsOf([&] {
            fitted = fitted && OnAllRecords<cPlaneFit>(*scan.points, [&](const cPlaneFit& fit) {
                         return FitConstrainedPlane(fit, n, d, open);
                     });
        });
        mirrored = WallSecondsOf([&] { fitted = fitted && mirror.Fit(n, d, open); });
        state.SetIterationTime(constrained + mirrored);
        state.counters["constrained_ms"] = 1e3 * constrained;
        state.counters["mirror_ms"] = 1e3 * mirrored;
        if (!fitted)
            state.SkipWithError("symmetry plane fit failed");
        if (kEcho)
            std::printf("plane %a %a %a %a\n", n[0], n[1], n[2], d);
    }
}

// The constrained plane of the symmetry and plane kind changes over a face's
// worth of points (every seventh vertex of the turned part, 0.7M, as many as
// the road's 1M-triangle face marks), the normal and offset open.
void BM_ConstrainedPlaneFaceSized(benchmark::State& state)
{
    stTurnedPartScan& scan = TurnedPartScan();
    tFitPointQueue records;
    for (std::size_t i = 0; i < scan.points->Points().size(); i += 7)
        records.push_back(scan.points->Points()[i]);
    cPlaneFit fit(records);
    tPlane<double> plane;
    double rms = 0.0;
    if (!FitPlane(fit, plane, rms, true, 1.1))
        return state.SkipWithError("no plane");
    for (auto _ : state)
    {
        double n[3] = {plane.normal[0], plane.normal[1], plane.normal[2]}, d = plane.d;
        const std::uint8_t open[4] = {1, 1, 1, 1};
        bool fitted = false;
        state.SetIterationTime(WallSecondsOf([&] { fitted = FitConstrainedPlane(fit, n, d, open); }));
        if (!fitted)
            state.SkipWithError("constrained plane fit failed");
        if (kEcho)
            std::printf("constrained %a %a %a %a\n", n[0], n[1], n[2], d);
    }
}

} // namespace

BENCHMARK(BM_ExtrusionDirectionFromNormals)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MarkRegionWhole)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ExtrudedFitWhole)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SymmetryVertexTree)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SymmetryPlaneWhole)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ConstrainedPlaneFaceSized)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
