// Writing and reading the binary mesh file through a C-file stream: the
// writer makes one stream call per record, so the cost per record of the
// stream layer shows; the reader one per step of records.
// The reader's time includes the mesh update (normals and neighbour links).
#include "core/bin_stream.h"
#include "core/mesh.h"
#include "core/mesh_file.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace
{

// A side x side vertex grid, two triangles per cell.
void BuildGridMesh(cMesh& mesh, std::uint32_t side)
{
    for (std::uint32_t r = 0; r < side; ++r)
        for (std::uint32_t c = 0; c < side; ++c)
        {
            const float p[3] = {static_cast<float>(c), static_cast<float>(r), 0.01f * static_cast<float>((c * r) % 7)};
            mesh.AddVertex(p);
        }
    for (std::uint32_t r = 0; r + 1 < side; ++r)
        for (std::uint32_t c = 0; c + 1 < side; ++c)
        {
            const std::uint32_t a = c + r * side;
            mesh.AddTriangle(a, a + 1, a + 1 + side);
            mesh.AddTriangle(a, a + 1 + side, a + side);
        }
}

std::FILE* WriteToTemporaryFile(cMesh& mesh)
{
    cBINFile stream(std::tmpfile());
    WriteMeshHeader(&stream);
    WriteMeshVertices(mesh, &stream, nullptr);
    WriteMeshTriangles(mesh, &stream, nullptr);
    return stream.DetachFile();
}

void BM_WriteMeshFile(benchmark::State& state)
{
    cMesh mesh;
    BuildGridMesh(mesh, static_cast<std::uint32_t>(state.range(0)));
    for (auto _ : state)
    {
        std::FILE* file = WriteToTemporaryFile(mesh);
        std::fclose(file);
    }
    state.SetItemsProcessed(state.iterations() * (mesh.GetVertexCount() + mesh.GetTriangleCount()));
}
BENCHMARK(BM_WriteMeshFile)->Arg(300)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_ReadMeshFile(benchmark::State& state)
{
    cMesh source;
    BuildGridMesh(source, static_cast<std::uint32_t>(state.range(0)));
    std::FILE* file = WriteToTemporaryFile(source);
    cBINFile stream(file);
    for (auto _ : state)
    {
        cMesh mesh;
        stream.Rewind();
        benchmark::DoNotOptimize(ReadMesh(mesh, &stream, nullptr));
    }
    state.SetItemsProcessed(state.iterations() * (source.GetVertexCount() + source.GetTriangleCount()));
}
BENCHMARK(BM_ReadMeshFile)->Arg(300)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace
