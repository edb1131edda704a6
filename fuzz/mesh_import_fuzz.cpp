// The host's mesh import (STL, OBJ and PLY, binary and ASCII) from a file of
// untrusted bytes. The first byte picks the file's name ending (.stl, .obj,
// .ply or none, so the content decides); the rest is the file. Invariants:
// the import never crashes, hangs or takes memory out of proportion; a
// refusal says why and leaves the mesh as it was; an accepted mesh has
// finite vertices, each used, and triangles of three different vertices,
// no more of them than the file has bytes.
#include "dezaz/mesh_import.h"
#include "fuzz/fuzz_scratch.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const char* const kEndings[] = {".stl", ".obj", ".ply", ""};
    const std::string path = fuzz::ScratchFileName("mesh_import") + kEndings[data[0] % 4];
    std::FILE* fp = std::fopen(path.c_str(), "wb");
    if (!fp)
        std::abort();
    if (size > 1 && std::fwrite(data + 1, 1, size - 1, fp) != size - 1)
        std::abort();
    std::fclose(fp);

    ON_Mesh mesh;
    mesh.SetVertex(0, ON_3dPoint(1, 2, 3));
    std::wstring error;
    dezaz::MeshImportStats stats;
    const bool ok = dezaz::ImportMeshFile(path, mesh, error, &stats);
    std::remove(path.c_str());
    if (!ok)
    {
        if (error.empty() || mesh.VertexCount() != 1 || mesh.FaceCount() != 0 || mesh.m_V[0] != ON_3fPoint(1, 2, 3))
            std::abort();
        return 0;
    }
    const int vertices = mesh.VertexCount();
    if (mesh.FaceCount() == 0 || static_cast<std::size_t>(mesh.FaceCount()) > size ||
        static_cast<std::size_t>(vertices) > size)
        std::abort();
    if (stats.faces_read < stats.faces_dropped ||
        stats.faces_read - stats.faces_dropped != static_cast<std::size_t>(mesh.FaceCount()))
        std::abort();
    std::vector<bool> used(static_cast<std::size_t>(vertices), false);
    for (const ON_MeshFace& f : mesh.m_F)
    {
        if (f.vi[2] != f.vi[3])
            std::abort();
        for (int k = 0; k < 3; ++k)
        {
            if (f.vi[k] < 0 || f.vi[k] >= vertices || f.vi[k] == f.vi[(k + 1) % 3])
                std::abort();
            used[static_cast<std::size_t>(f.vi[k])] = true;
        }
    }
    for (int i = 0; i < vertices; ++i)
        if (!used[static_cast<std::size_t>(i)] || !std::isfinite(mesh.m_V[i].x) || !std::isfinite(mesh.m_V[i].y) ||
            !std::isfinite(mesh.m_V[i].z))
            std::abort();
    return 0;
}
