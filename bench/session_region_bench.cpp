// Marking a session's region on a large scan and storing it in the document:
// a 1000 x 1000 quad grid (2M triangles) 5,000 units from the origin whose
// middle 300 x 300 quads (180k triangles) are the region. Painting walks
// every triangle (box test, then one tree query for those in the box); the
// history writes and reads the region as floats.
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/triangle_colour_property.h"
#include "shapes/entities_history.h"
#include "shapes/session_kinds.h"

#include <benchmark/benchmark.h>

namespace
{

constexpr int kSide = 1000;
constexpr int kRegionFrom = 350, kRegionTo = 650;

struct Scene
{
    Scene()
    {
        cMesh& mesh = *object.GetMesh();
        for (int j = 0; j <= kSide; ++j)
            for (int i = 0; i <= kSide; ++i)
            {
                const float p[3] = {5000.0f + 0.5f * static_cast<float>(i), -5000.0f + 0.5f * static_cast<float>(j),
                                    2500.0f};
                mesh.AddVertex(p);
            }
        for (int j = 0; j < kSide; ++j)
            for (int i = 0; i < kSide; ++i)
            {
                const auto a = static_cast<std::uint32_t>(j * (kSide + 1) + i);
                mesh.AddTriangle(a, a + 1, a + kSide + 2);
                mesh.AddTriangle(a, a + kSide + 2, a + kSide + 1);
                if (i >= kRegionFrom && i < kRegionTo && j >= kRegionFrom && j < kRegionTo)
                {
                    mesh.GetTriangle(mesh.GetTriangleCount() - 1)->flags |= kTriangleFlagSelected;
                    mesh.GetTriangle(mesh.GetTriangleCount() - 2)->flags |= kTriangleFlagSelected;
                }
            }
        mesh.Update();
        CTriangleColourProperties::GetOrCreate(&object)->Resize(mesh.GetTriangleCount());
        session = history.GetOrCreate(ON_UuidFromString("0E8A1C2B-3D4F-4A5B-8C6D-7E8F9A0B1C2D"))
                      ->CreateSession(CLSID_CSessionPlane, false);
        session->TakeSelection(&object);
    }
    cMeshObject object;
    CEntitiesHistory history;
    CSessionSurface* session = nullptr;
};

Scene& TheScene()
{
    static Scene* scene = new Scene;
    return *scene;
}

void BM_PaintRegion(benchmark::State& state)
{
    Scene& scene = TheScene();
    for (auto _ : state)
        scene.session->PaintMeshRegion(&scene.object);
    state.SetItemsProcessed(state.iterations() * scene.object.GetMesh()->GetTriangleCount());
}
BENCHMARK(BM_PaintRegion)->Unit(benchmark::kMillisecond);

void BM_TakeSelection(benchmark::State& state)
{
    Scene& scene = TheScene();
    for (auto _ : state)
        scene.session->TakeSelection(&scene.object);
    state.SetItemsProcessed(state.iterations() * scene.object.GetMesh()->GetTriangleCount());
}
BENCHMARK(BM_TakeSelection)->Unit(benchmark::kMillisecond);

void BM_HistoryWriteAndRead(benchmark::State& state)
{
    Scene& scene = TheScene();
    for (auto _ : state)
    {
        ON_MemoryArchive out;
        scene.history.Write(out);
        ON_MemoryArchive in(out.Buffer().data(), out.Buffer().size());
        int major = 0, minor = 0;
        in.Read3dmChunkVersion(&major, &minor);
        CEntitiesHistory back;
        benchmark::DoNotOptimize(back.Read(in, major, minor));
    }
    state.SetItemsProcessed(state.iterations() * scene.session->GetRegionPoints().GetCount());
}
BENCHMARK(BM_HistoryWriteAndRead)->Unit(benchmark::kMillisecond);

} // namespace
