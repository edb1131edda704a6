// Mesh files come from disk and from host documents. Invariants: reading
// never crashes or reads out of bounds; a failed read leaves an empty mesh;
// the verdict does not depend on whether the stream can seek; an accepted
// mesh has finite coordinates and every index inside its vertex block, and
// written back and read again it is the same mesh, byte for byte.
#include "core/mesh.h"
#include "core/mesh_file.h"
#include "fuzz/fuzz_streams.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{

std::vector<std::uint8_t> WriteWhole(cMesh& mesh)
{
    fuzz::ScratchFile out;
    if (out.Stream() == nullptr)
        std::abort();
    if (!WriteMeshHeader(out.Stream()) || !WriteMeshVertices(mesh, out.Stream(), nullptr) ||
        !WriteMeshTriangles(mesh, out.Stream(), nullptr))
        std::abort(); // an accepted mesh can always be written
    return out.Bytes();
}

bool SameMesh(cMesh& a, cMesh& b)
{
    if (a.GetVertexCount() != b.GetVertexCount() || a.GetTriangleCount() != b.GetTriangleCount())
        return false;
    for (std::uint32_t i = 0; i < a.GetVertexCount(); ++i)
        if (std::memcmp(&a.GetVertex(i)->x, &b.GetVertex(i)->x, 3 * sizeof(float)) != 0)
            return false;
    for (std::uint32_t i = 0; i < a.GetTriangleCount(); ++i)
        if (std::memcmp(a.GetTriangle(i)->vertexIndex, b.GetTriangle(i)->vertexIndex,
                        sizeof a.GetTriangle(i)->vertexIndex) != 0)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::InputFile input(data, size);
    if (input.Stream() == nullptr)
        return 0;
    cMesh mesh;
    const bool ok = ReadMesh(mesh, input.Stream(), nullptr);

    fuzz::SequentialInput sequential(data, size);
    stMeshFileContent content;
    if (ReadMeshContent(&sequential, nullptr, content) != ok)
        std::abort();

    if (!ok)
    {
        if (mesh.GetVertexCount() != 0 || mesh.GetTriangleCount() != 0)
            std::abort();
        return 0;
    }
    const std::uint32_t vertices = mesh.GetVertexCount();
    if (mesh.GetTriangleCount() == 0)
        std::abort();
    for (std::uint32_t i = 0; i < vertices; ++i)
    {
        const cVertex* v = mesh.GetVertex(i);
        if (!std::isfinite(v->x) || !std::isfinite(v->y) || !std::isfinite(v->z))
            std::abort();
    }
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
        for (std::uint32_t corner : mesh.GetTriangle(i)->vertexIndex)
            if (corner >= vertices)
                std::abort();

    const std::vector<std::uint8_t> written = WriteWhole(mesh);
    fuzz::InputFile again(written.data(), written.size());
    cMesh back;
    if (again.Stream() == nullptr || !ReadMesh(back, again.Stream(), nullptr) || !SameMesh(mesh, back))
        std::abort();
    if (WriteWhole(back) != written)
        std::abort();
    return 0;
}
