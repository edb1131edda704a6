// Revolved and extruded fits from a marked region of a scan of 100k, 1M and
// 5M triangles: the region marking, the fan or stack of sections, the
// profile fit and the host surface. A revolved knob (axis given, as the
// surface's own refit passes it) and a rounded-rectangle extrusion with a
// measured 3-degree draft. The peak resident size is reported beside the
// time; the cost should grow about linearly with the triangles.
#include "shapes/extruded_surface.h"
#include "shapes/revolved_surface.h"
#include "shapes/tests/sweep_scans.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <memory>

namespace
{

using namespace sweep_scans;

// around x along quads, two triangles each.
void GridFor(std::int64_t triangles, std::uint32_t& around, std::uint32_t& along)
{
    along = static_cast<std::uint32_t>(std::sqrt(static_cast<double>(triangles) / 4.0));
    around = static_cast<std::uint32_t>(triangles / (2 * along));
}

tFitPointQueue AllVertices(const cMesh& mesh)
{
    tFitPointQueue points;
    for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
    {
        const cVertex* v = mesh.GetVertex(i);
        stFitPoint p;
        p.position[0] = v->x, p.position[1] = v->y, p.position[2] = v->z;
        points.push_back(p);
    }
    return points;
}

double PeakResidentMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void Frame(double frame[12])
{
    const double axis[3] = {0.2, -0.5, 0.84}, origin[3] = {1000.0, -400.0, 250.0};
    PlacedFrame(frame, axis, origin);
}

void BM_RevolvedFit(benchmark::State& state)
{
    double frame[12];
    Frame(frame);
    std::uint32_t around = 0, along = 0;
    GridFor(state.range(0), around, along);
    auto mesh = std::make_unique<cMesh>();
    BuildKnob(*mesh, frame, 0.75 * kPi, around, along, 0.01);
    cFitContainer points(AllVertices(*mesh));
    stProfileFitParams params;
    params.direction[0] = frame[1], params.direction[1] = frame[5], params.direction[2] = frame[9];
    params.point[0] = frame[3], params.point[1] = frame[7], params.point[2] = frame[11];
    params.directionFixed = 1;
    params.pointFixed = 1;
    params.sectionCount = 8;
    params.profileKind = 3;
    for (auto _ : state)
    {
        Dezaz_RevolvedObject object;
        Dezaz_Revolved& surface = *object.GetGeometry();
        const bool ok = BuildRevolvedFromSections(points, *mesh, surface, {0}, params, true) &&
                        surface.BuildHostSurface();
        if (!ok)
            state.SkipWithError("revolved fit failed");
        benchmark::DoNotOptimize(surface.CachedBrepCount());
    }
    state.counters["triangles"] = mesh->GetTriangleCount();
    state.counters["peak_MB"] = PeakResidentMegabytes();
    state.SetComplexityN(state.range(0));
}

void BM_ExtrudedFit(benchmark::State& state)
{
    double frame[12];
    Frame(frame);
    std::uint32_t around = 0, along = 0;
    GridFor(state.range(0), around, along);
    auto mesh = std::make_unique<cMesh>();
    BuildRoundedPrism(*mesh, frame, 30.0, 20.0, 5.0, 40.0, 3.0 * kPi / 180.0, around, along, 0.02);
    cFitContainer points(AllVertices(*mesh));
    stProfileFitParams params;
    params.sectionCount = 6;
    params.profileKind = 4;
    params.draftMode = 1;
    for (auto _ : state)
    {
        Dezaz_ExtrudedObject object;
        Dezaz_Extruded& surface = *object.GetGeometry();
        if (!BuildExtrudedFromSections(points, *mesh, surface, {0}, params, 1.0, true))
            state.SkipWithError("extruded fit failed");
        benchmark::DoNotOptimize(surface.CachedBrepCount());
    }
    state.counters["triangles"] = mesh->GetTriangleCount();
    state.counters["peak_MB"] = PeakResidentMegabytes();
    state.SetComplexityN(state.range(0));
}

} // namespace

BENCHMARK(BM_RevolvedFit)->Arg(100000)->Arg(1000000)->Arg(5000000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(BM_ExtrudedFit)->Arg(100000)->Arg(1000000)->Arg(5000000)->Unit(benchmark::kMillisecond)->Complexity();
