// Mesh import of the host program: a generated binary STL of 5M triangles
// read and welded into a host mesh object, beside Assimp's own read of the
// same file with the same processing (time_ratio = ours / Assimp alone,
// goal <= 1.1) and beside Assimp with its own vertex joining (join_ratio).
// Times are thread CPU medians of rounds run alternately; the peak resident
// memory of each side is measured from the process's high-water mark. Before
// timing, the host mesh is checked to be the one Assimp's triangles give
// when welded by the host's welder (same vertices bit for bit, same faces).
#include "bench/paired_timing.h"
#include "bench/process_memory.h"
#include "dezaz/mesh_import.h"
#include "dezaz/sample_part.h"
#include "platform/host/dezaz_doc.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <filesystem>

namespace
{

namespace fs = std::filesystem;
using benchmemory::PeakMemoryOf;

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

constexpr unsigned kSameProcessing = aiProcess_Triangulate | aiProcess_SortByPType | aiProcess_ValidateDataStructure;

// The host mesh Assimp's triangles give through the host's welder.
bool WeldedFromAssimp(const fs::path& path, ON_Mesh& mesh)
{
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path.string(), kSameProcessing);
    if (!scene)
        return false;
    std::vector<float> soup;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m)
    {
        const aiMesh& source = *scene->mMeshes[m];
        for (unsigned f = 0; f < source.mNumFaces; ++f)
            for (unsigned k = 0; k < source.mFaces[f].mNumIndices; ++k)
            {
                const aiVector3D& v = source.mVertices[source.mFaces[f].mIndices[k]];
                soup.insert(soup.end(), {v.x, v.y, v.z});
            }
    }
    dezaz::WeldTriangles(soup.data(), soup.size() / 9, mesh);
    return true;
}

bool SameMesh(const ON_Mesh& a, const ON_Mesh& b)
{
    if (a.VertexCount() != b.VertexCount() || a.FaceCount() != b.FaceCount())
        return false;
    for (int i = 0; i < a.VertexCount(); ++i)
        if (std::memcmp(&a.m_V[i], &b.m_V[i], sizeof(ON_3fPoint)) != 0)
            return false;
    for (int i = 0; i < a.FaceCount(); ++i)
        if (std::memcmp(a.m_F[i].vi, b.m_F[i].vi, sizeof a.m_F[i].vi) != 0)
            return false;
    return true;
}

void BM_ImportBinaryStl(benchmark::State& state)
{
    const fs::path path = GeneratedStl(static_cast<int>(state.range(0)));
    if (path.empty())
    {
        state.SkipWithError("cannot write the generated STL");
        return;
    }
    {
        ON_Mesh ours, theirs;
        std::wstring error;
        if (!dezaz::ImportMeshFile(path.string(), ours, error) || !WeldedFromAssimp(path, theirs) ||
            !SameMesh(ours, theirs))
        {
            state.SkipWithError("the host's mesh is not the one Assimp's triangles weld to");
            return;
        }
        state.counters["vertices"] = ours.VertexCount();
    }
    const auto ours = [&](int) {
        CDezazDoc doc;
        auto mesh = std::make_unique<ON_Mesh>();
        std::wstring error;
        if (dezaz::ImportMeshFile(path.string(), *mesh, error))
            benchmark::DoNotOptimize(doc.AddMeshObject(std::move(mesh)));
    };
    const auto assimp = [&](unsigned flags) {
        Assimp::Importer importer;
        benchmark::DoNotOptimize(importer.ReadFile(path.string(), flags));
    };
    // Memory first, each side once, outside the timed rounds.
    state.counters["ours_peak_mb"] = static_cast<double>(PeakMemoryOf([&] { ours(0); })) / (1 << 20);
    state.counters["assimp_peak_mb"] =
        static_cast<double>(PeakMemoryOf([&] { assimp(kSameProcessing); })) / (1 << 20);
    state.counters["assimp_join_peak_mb"] = static_cast<double>(PeakMemoryOf([&] {
                                                assimp(kSameProcessing | aiProcess_JoinIdenticalVertices);
                                            })) /
                                            (1 << 20);
    PairedTimes read, join;
    int round = 0;
    for (auto _ : state)
    {
        read.Run(round, ours, [&](int) { assimp(kSameProcessing); });
        join.Run(round, ours, [&](int) { assimp(kSameProcessing | aiProcess_JoinIdenticalVertices); });
        state.SetIterationTime(read.ours.back());
        ++round;
    }
    read.Report(state);
    state.counters["join_ratio"] = Median(join.ratios);
}

BENCHMARK(BM_ImportBinaryStl)->Arg(5000000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
