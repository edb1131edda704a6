// The segmentation tool on big scans: Detect (the sharpness values, the
// marking at the default sensitivity and the clean-up) and Split (the band
// and one host mesh per region into a document) on the generated machined
// part at about 2M and 10M triangles, far from the origin.
//
// The split groups the triangles by region in one pass. Beside it, the
// grouping a scan per region would cost (every triangle looked at once per
// region) on a grid whose band lines cut it into thousands of regions, with
// a check that both give the same triangles in the same order.
#include "analysis/segmentation.h"
#include "analysis/segmentation_split.h"
#include "core/host_mesh_import.h"
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/p3d_scene.h"
#include "core/thread_pool.h"
#include "platform/host/dezaz_doc.h"
#include "plugin/tests/machined_part_mesh.h"

#include <benchmark/benchmark.h>

#include <cfloat>
#include <map>
#include <memory>
#include <vector>

namespace
{

struct Part
{
    explicit Part(double triangles)
    {
        const segmentationtest::stMachinedPart shape = segmentationtest::stMachinedPart::WithTriangles(triangles);
        host = shape.Build();
        object = new cMeshObject();
        AddHostMeshFaces(*object, host);
        scene.AddObject(object.Get());
        limit = SegmentationAreaLimit(object->GetMesh()->GetBoundingBox());
    }
    cMesh& Mesh() { return *object->GetMesh(); }
    void Detect()
    {
        cMesh& mesh = Mesh();
        ComputeSegmentationValues(mesh);
        mesh.SetValuesReady(true);
        MarkSharpTriangles(mesh, 20.0f);
        RemoveSmallRegions(mesh, limit);
        RefreshSelectedVertices(mesh);
    }

    ON_Mesh host;
    tSafePtr<cMeshObject> object;
    cP3DScene scene{nullptr};
    double limit = FLT_MAX;
};

Part& PartOf(double triangles)
{
    static std::map<double, std::unique_ptr<Part>> parts;
    auto& slot = parts[triangles];
    if (!slot)
        slot = std::make_unique<Part>(triangles);
    return *slot;
}

void BM_Detect(benchmark::State& state)
{
    Part& part = PartOf(double(state.range(0)) * 1e6);
    for (auto _ : state)
        part.Detect();
    state.counters["triangles"] = double(part.Mesh().GetTriangleCount());
}
BENCHMARK(BM_Detect)->Arg(2)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(2);

// The clean-up alone on the marked part, on a pool as in the host (the
// islands flipped by the first round; every round joins both classes over
// the same triangles).
void BM_CleanUp(benchmark::State& state)
{
    Part& part = PartOf(double(state.range(0)) * 1e6);
    cMesh& mesh = part.Mesh();
    cThreadPool pool;
    pool.Start();
    SetSharedThreadPool(&pool);
    ComputeSegmentationValues(mesh);
    MarkSharpTriangles(mesh, 20.0f);
    for (auto _ : state)
        RemoveSmallRegions(mesh, part.limit);
    SetSharedThreadPool(nullptr);
    pool.Stop();
}
BENCHMARK(BM_CleanUp)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(6);

void BM_Split(benchmark::State& state)
{
    Part& part = PartOf(double(state.range(0)) * 1e6);
    part.Detect();
    std::size_t objects = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        auto doc = std::make_unique<CDezazDoc>();
        const CDezazObject* host = doc->AddMeshObject(part.host);
        state.ResumeTiming();
        cSegmentationSplitter splitter(doc.get(), host->ModelObjectId(), L"bench");
        splitter.OnSplitIntoSubMeshes(&part.scene);
        objects = doc->Objects().size();
        state.PauseTiming();
        doc.reset();
        state.ResumeTiming();
    }
    state.counters["triangles"] = double(part.Mesh().GetTriangleCount());
    state.counters["objects"] = double(objects);
}
BENCHMARK(BM_Split)->Arg(2)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(2);

// A flat grid of side x side quads whose every 20th row and column is band:
// (side / 20)^2 regions, labelled as the split labels them.
struct LabelledGrid
{
    explicit LabelledGrid(int side)
    {
        for (int j = 0; j <= side; ++j)
            for (int i = 0; i <= side; ++i)
            {
                const float p[3] = {4000.0f + 0.5f * float(i), -3000.0f + 0.5f * float(j), 900.0f};
                mesh.AddVertex(p);
            }
        for (int j = 0; j < side; ++j)
            for (int i = 0; i < side; ++i)
            {
                const auto a = std::uint32_t(j * (side + 1) + i);
                mesh.AddTriangle(a, a + 1, a + std::uint32_t(side) + 2);
                mesh.AddTriangle(a, a + std::uint32_t(side) + 2, a + std::uint32_t(side) + 1);
                if (i % 20 == 0 || j % 20 == 0)
                    for (std::uint32_t k = 1; k <= 2; ++k)
                        mesh.GetTriangle(mesh.GetTriangleCount() - k)->flags |= kTriangleFlagSelected;
            }
        mesh.Update();
        mesh.ForEachTriangle([](cMeshTriangle& t) { t.colour = 0xFFFFFFFFu; });
        for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
        {
            cMeshTriangle* t = mesh.GetTriangle(i);
            if (IsVisibleSelected(*t) || t->GetLabel() != kTriangleUnlabelled)
                continue;
            t->SetLabel(labels++);
            mesh.LabelConnectedTriangles(t, kTriangleFlagSelected);
        }
    }
    cMesh mesh;
    std::uint32_t labels = 0;
};

LabelledGrid& Grid()
{
    // 2M triangles.
    static LabelledGrid* grid = new LabelledGrid(1000);
    return *grid;
}

std::vector<std::vector<std::uint32_t>> GroupInOnePass(cMesh& mesh, std::uint32_t labels)
{
    std::vector<std::vector<std::uint32_t>> regions(labels);
    const std::uint32_t count = mesh.GetTriangleCount();
    for (std::uint32_t i = 0; i < count; ++i)
        if (const std::uint32_t label = mesh.GetTriangle(i)->GetLabel(); label < labels)
            regions[label].push_back(i);
    return regions;
}

std::vector<std::vector<std::uint32_t>> GroupByScanPerRegion(cMesh& mesh, std::uint32_t labels)
{
    std::vector<std::vector<std::uint32_t>> regions(labels);
    const std::uint32_t count = mesh.GetTriangleCount();
    for (std::uint32_t label = 0; label < labels; ++label)
        for (std::uint32_t i = 0; i < count; ++i)
            if (mesh.GetTriangle(i)->GetLabel() == label)
                regions[label].push_back(i);
    return regions;
}

void BM_GroupRegions_OnePass(benchmark::State& state)
{
    LabelledGrid& grid = Grid();
    for (auto _ : state)
        benchmark::DoNotOptimize(GroupInOnePass(grid.mesh, grid.labels));
    state.counters["regions"] = double(grid.labels);
}
BENCHMARK(BM_GroupRegions_OnePass)->Unit(benchmark::kMillisecond);

void BM_GroupRegions_ScanPerRegion(benchmark::State& state)
{
    LabelledGrid& grid = Grid();
    if (GroupInOnePass(grid.mesh, grid.labels) != GroupByScanPerRegion(grid.mesh, grid.labels))
    {
        state.SkipWithError("the two groupings differ");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(GroupByScanPerRegion(grid.mesh, grid.labels));
    state.counters["regions"] = double(grid.labels);
}
BENCHMARK(BM_GroupRegions_ScanPerRegion)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
