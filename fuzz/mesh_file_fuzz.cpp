// Mesh files come from disk and from host documents. Invariant: reading never
// crashes or reads out of bounds; a failed read leaves an empty mesh; an
// accepted mesh has every triangle index inside its vertex block.
#include "core/bin_stream.h"
#include "core/mesh.h"
#include "core/mesh_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> copy(data, data + size);
    copy.push_back(0); // fmemopen refuses an empty buffer
    std::FILE* file = fmemopen(copy.data(), size == 0 ? 1 : size, "rb");
    if (file == nullptr)
        return 0;
    if (size == 0)
        std::fgetc(file);
    cBINFile stream(file);
    cMesh mesh;
    if (!ReadMesh(mesh, &stream, nullptr))
    {
        if (mesh.GetVertexCount() != 0 || mesh.GetTriangleCount() != 0)
            std::abort();
        return 0;
    }
    const std::uint32_t vertices = mesh.GetVertexCount();
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
        for (std::uint32_t corner : mesh.GetTriangle(i)->vertexIndex)
            if (corner >= vertices)
                std::abort();
    return 0;
}
