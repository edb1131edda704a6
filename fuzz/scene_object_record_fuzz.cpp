// A mesh scene object's record (the common scene-object record followed by
// its mesh) comes from a host document or a file. Invariant: reading never
// crashes or reads out of bounds; a short common record changes nothing; a
// name is terminated within its 127 characters; a failed mesh leaves the
// object with an empty mesh.
#include "core/bin_stream.h"
#include "core/mesh_object.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
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
    cMeshObject object;
    const GUID before = object.GetObjectId();
    const bool ok = object.Read(&stream);
    if (std::wcslen(object.GetName()) > 127)
        std::abort();
    if (size < kSceneObjectRecordSize && !(object.GetObjectId() == before))
        std::abort();
    if (!ok && size >= kSceneObjectRecordSize + 144 &&
        (object.GetMesh()->GetVertexCount() != 0 || object.GetMesh()->GetTriangleCount() != 0))
        std::abort();
    return 0;
}
