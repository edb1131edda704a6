// Mesh import of the host program: a generated binary STL of 5M triangles
// read by Assimp and welded into a host mesh object, beside Assimp's own
// import of the same file with the same processing (time_ratio = ours /
// Assimp alone: what welding and the host mesh cost) and beside Assimp with
// its own vertex joining (join_ratio = ours / that).
#include "dezaz/mesh_import.h"
#include "dezaz/sample_part.h"
#include "platform/host/dezaz_doc.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <filesystem>

namespace
{

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A wavy height field of the given number of triangles, written once.
fs::path GeneratedStl(int triangles)
{
    const fs::path path = fs::temp_directory_path() / ("vtl_import_bench_" + std::to_string(triangles) + ".stl");
    const auto expected = static_cast<std::uintmax_t>(84 + 50ull * static_cast<unsigned>(triangles));
    if (fs::exists(path) && fs::file_size(path) == expected)
        return path;
    const int columns = static_cast<int>(std::sqrt(triangles / 2.0));
    const int rows = triangles / 2 / columns;
    ON_Mesh mesh;
    mesh.m_V.Reserve((rows + 1) * (columns + 1));
    for (int j = 0; j <= rows; ++j)
        for (int i = 0; i <= columns; ++i)
            mesh.m_V.Append(ON_3fPoint(i * 0.1f, j * 0.1f, 2.0f * std::sin(i * 0.05f) * std::cos(j * 0.07f)));
    mesh.m_F.Reserve(triangles);
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i)
        {
            const int a = j * (columns + 1) + i, b = a + 1, c = a + columns + 2, d = a + columns + 1;
            mesh.SetTriangle(mesh.FaceCount(), a, b, c);
            mesh.SetTriangle(mesh.FaceCount(), a, c, d);
        }
    while (mesh.FaceCount() < triangles) // the remainder as a fan on the first row
        mesh.SetTriangle(mesh.FaceCount(), 0, 1 + mesh.FaceCount() % columns, columns + 1);
    std::wstring error;
    if (!dezaz::WriteBinaryStl(path, mesh, error))
        return {};
    return path;
}

double SecondsOf(const auto& work)
{
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_ImportBinaryStl(benchmark::State& state)
{
    const fs::path path = GeneratedStl(static_cast<int>(state.range(0)));
    if (path.empty())
    {
        state.SkipWithError("cannot write the generated STL");
        return;
    }
    double ours = 0, assimp = 0, assimp_join = 0;
    int vertices = 0;
    for (auto _ : state)
    {
        assimp += SecondsOf([&] {
            Assimp::Importer importer;
            const aiScene* scene = importer.ReadFile(
                path.string(), aiProcess_Triangulate | aiProcess_SortByPType | aiProcess_ValidateDataStructure);
            benchmark::DoNotOptimize(scene);
        });
        assimp_join += SecondsOf([&] {
            Assimp::Importer importer;
            const aiScene* scene = importer.ReadFile(path.string(), aiProcess_Triangulate | aiProcess_SortByPType |
                                                                        aiProcess_ValidateDataStructure |
                                                                        aiProcess_JoinIdenticalVertices);
            benchmark::DoNotOptimize(scene);
        });
        const double seconds = SecondsOf([&] {
            CDezazDoc doc;
            auto mesh = std::make_unique<ON_Mesh>();
            std::wstring error;
            if (dezaz::ImportMeshFile(path.string(), *mesh, error))
            {
                const CDezazMeshObject* object = doc.AddMeshObject(std::move(mesh));
                vertices = object ? object->Mesh()->VertexCount() : 0;
            }
        });
        ours += seconds;
        state.SetIterationTime(seconds);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["ours_s"] = ours / n;
    state.counters["assimp_s"] = assimp / n;
    state.counters["assimp_join_s"] = assimp_join / n;
    state.counters["time_ratio"] = assimp > 0 ? ours / assimp : 0.0;
    state.counters["join_ratio"] = assimp_join > 0 ? ours / assimp_join : 0.0;
    state.counters["vertices"] = vertices;
}

BENCHMARK(BM_ImportBinaryStl)->Arg(5000000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace
