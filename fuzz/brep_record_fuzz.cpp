// Reads a brep record (surfaces and faces) from untrusted bytes. What reads
// back must be a valid brep that meshes, writes and reads again to the same
// bytes.
#include "platform/geometry/geometry.h"

#include <cstddef>
#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ON_MemoryArchive in(data, size);
    ON_Brep brep;
    if (!brep.Read(in))
    {
        if (brep.FaceCount() != 0)
            __builtin_trap(); // a failed read left something behind
        return 0;
    }
    if (!brep.IsValid())
        __builtin_trap();
    brep.BoundingBox();
    // A coarse mesh keeps each run short; it must not fail on valid data.
    ON_MeshParameters coarse = ON_MeshParameters::FastRenderMesh;
    coarse.m_grid_max_count = 16;
    for (int f = 0; f < brep.FaceCount(); ++f)
        std::unique_ptr<ON_Mesh>(brep.Face(f)->CreateMesh(coarse));
    ON_MemoryArchive out;
    if (!brep.Write(out))
        __builtin_trap();
    ON_MemoryArchive again(out.Buffer().data(), out.Buffer().size());
    ON_Brep back;
    if (!back.Read(again) || back.FaceCount() != brep.FaceCount())
        __builtin_trap();
    return 0;
}
