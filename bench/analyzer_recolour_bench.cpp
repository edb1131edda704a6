// The analyser's full recolour after a tolerance change: a 2M-vertex scan
// of a torus (noise 0.05) against a 200k-triangle CAD mesh of it.
//
// BM_ToleranceChange_Rebuild: what the analysis does without keeping its
// state: both search trees built again and every vertex measured again.
// BM_ToleranceChange_Lower: the analysis mode as built: the trees are kept
// (same CAD objects meshed alike) and a lower tolerance recolours from the
// stored deviations. BM_ToleranceChange_Higher: a higher tolerance widens
// the search, so the vertices are measured again, against the kept trees.
// Before timing, the kept-state colours are checked against a fresh run's,
// vertex by vertex (the run stops with an error when they differ).
#include "analysis/analysed_vertex_tree.h"
#include "core/thread_pool.h"
#include "platform/host/dezaz_doc.h"
#include "platform/geometry/plane_surface.h"
#include "plugin/tools/deviation_analysis_mode.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace
{

constexpr double kMajor = 100.0, kMinor = 30.0, kNoise = 0.05, kTwoPi = 6.283185307179586;

std::shared_ptr<ON_Mesh> TorusMesh(int around, int across)
{
    auto mesh = std::make_shared<ON_Mesh>();
    for (int i = 0; i < around; ++i)
        for (int j = 0; j < across; ++j)
        {
            const double u = kTwoPi * i / around, v = kTwoPi * j / across;
            const double r = kMajor + kMinor * std::cos(v);
            mesh->m_V.Append(ON_3fPoint(float(r * std::cos(u) + 500.0), float(r * std::sin(u) - 300.0),
                                        float(kMinor * std::sin(v) + 200.0)));
        }
    for (int i = 0; i < around; ++i)
        for (int j = 0; j < across; ++j)
        {
            const int a = i * across + j, b = ((i + 1) % around) * across + j;
            const int c = ((i + 1) % around) * across + (j + 1) % across, d = i * across + (j + 1) % across;
            ON_MeshFace f{};
            f.vi[0] = a, f.vi[1] = b, f.vi[2] = f.vi[3] = c;
            mesh->m_F.Append(f);
            f.vi[0] = a, f.vi[1] = c, f.vi[2] = f.vi[3] = d;
            mesh->m_F.Append(f);
        }
    return mesh;
}

ON_Mesh TorusScan(std::size_t count)
{
    ON_Mesh scan;
    std::mt19937 random(11);
    std::uniform_real_distribution<double> angle(0.0, kTwoPi), noise(-kNoise, kNoise);
    scan.m_V.SetCapacity(int(count));
    for (std::size_t k = 0; k < count; ++k)
    {
        const double u = angle(random), v = angle(random), rho = kMinor + noise(random);
        const double r = kMajor + rho * std::cos(v);
        scan.m_V.Append(ON_3fPoint(float(r * std::cos(u) + 500.0), float(r * std::sin(u) - 300.0),
                                   float(rho * std::sin(v) + 200.0)));
    }
    return scan;
}

struct stFixture
{
    CDezazDoc doc;
    std::vector<CDezazObjRef> cad;
    ON_Mesh scan;
    cThreadPool pool;
    bool same = true;

    stFixture()
    {
        // The CAD side is one document object whose render mesh is the torus.
        auto surface = std::make_unique<ON_PlaneSurface>(ON_Plane(ON_3dPoint(0, 0, 0), ON_3dVector(0, 0, 1)));
        auto brep = std::make_unique<ON_Brep>();
        ON_Surface* s = surface.release();
        if (!brep->Create(s))
            delete s;
        const CDezazObject* object = doc.AddObject(std::make_unique<CDezazBrepObject>(std::move(brep)));
        cad.emplace_back(object, std::shared_ptr<const ON_Mesh>(TorusMesh(448, 224)));
        scan = TorusScan(2000000);
        pool.Start();
        CVTLAnalysisMode& mode = TheVTLAnalysisMode();
        mode.SetThreadPool(&pool);

        // Kept state: measured at 0.05, recoloured at 0.04...
        Run(0.05f);
        Run(0.04f);
        const std::vector<ON_Color> kept(scan.m_C.Array(), scan.m_C.Array() + scan.m_C.Count());
        // ...against a fresh run at 0.04.
        mode.ReleaseSearchTree();
        Run(0.04f);
        same = int(kept.size()) == scan.m_C.Count();
        for (std::size_t v = 0; same && v < kept.size(); ++v)
            same = kept[v] == scan.m_C[int(v)];
    }
    void Run(float tolerance)
    {
        CVTLAnalysisMode& mode = TheVTLAnalysisMode();
        mode.SetRange(tolerance, 5.0f * tolerance, false);
        mode.BuildSearchTree(doc, cad);
        mode.RecolourMeshes(doc, {&scan});
    }
};

stFixture& Fixture()
{
    static stFixture fixture;
    return fixture;
}

void Report(benchmark::State& state, stFixture& f)
{
    const cON_AVTree* tree = cON_AVTree::Find(&f.scan);
    state.counters["vertices"] = double(f.scan.VertexCount());
    state.counters["cad_triangles"] = double(f.cad[0].Mesh()->FaceCount());
    state.counters["tree_builds"] = double(TheVTLAnalysisMode().TreeBuilds());
    state.counters["compared"] = tree ? double(tree->GetStatistics().compared) : 0.0;
}

void BM_ToleranceChange_Rebuild(benchmark::State& state)
{
    stFixture& f = Fixture();
    if (!f.same)
        state.SkipWithError("the kept state's colours differ from a fresh run's");
    bool low = false;
    for (auto _ : state)
    {
        TheVTLAnalysisMode().ReleaseSearchTree();
        f.Run(low ? 0.04f : 0.05f);
        low = !low;
    }
    Report(state, f);
}

void BM_ToleranceChange_Lower(benchmark::State& state)
{
    stFixture& f = Fixture();
    if (!f.same)
        state.SkipWithError("the kept state's colours differ from a fresh run's");
    for (auto _ : state)
    {
        state.PauseTiming();
        f.Run(0.05f);
        state.ResumeTiming();
        f.Run(0.04f);
    }
    Report(state, f);
}

void BM_ToleranceChange_Higher(benchmark::State& state)
{
    stFixture& f = Fixture();
    for (auto _ : state)
    {
        state.PauseTiming();
        f.Run(0.04f);
        state.ResumeTiming();
        f.Run(0.05f);
    }
    Report(state, f);
}

} // namespace

BENCHMARK(BM_ToleranceChange_Rebuild)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);
BENCHMARK(BM_ToleranceChange_Lower)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);
BENCHMARK(BM_ToleranceChange_Higher)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);
