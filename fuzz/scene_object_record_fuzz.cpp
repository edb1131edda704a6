// A mesh scene object's record (the common scene-object record followed by
// its mesh) comes from a host document or a file. Invariants: reading never
// crashes or reads out of bounds; a failed read changes nothing of the
// object (name, ids, mesh); an accepted record has a name terminated within
// its 127 characters, and written back and read into a third object it
// gives the same object and the same bytes.
#include "core/mesh_object.h"
#include "fuzz/fuzz_streams.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

namespace
{

std::vector<std::uint8_t> WriteWhole(cMeshObject& object)
{
    fuzz::ScratchFile out;
    if (out.Stream() == nullptr || !object.Write(out.Stream()))
        std::abort(); // an accepted record can always be written
    return out.Bytes();
}

bool SameObject(cMeshObject& a, cMeshObject& b)
{
    cMesh& ma = *a.GetMesh();
    cMesh& mb = *b.GetMesh();
    if (std::wcscmp(a.GetName(), b.GetName()) != 0 || !(a.GetObjectId() == b.GetObjectId()) ||
        !(a.GetGroupGuid() == b.GetGroupGuid()) || a.GetTag() != b.GetTag() || a.GetState() != b.GetState() ||
        std::memcmp(a.GetDecorator().m_colours, b.GetDecorator().m_colours, sizeof a.GetDecorator().m_colours) != 0)
        return false;
    if (ma.GetVertexCount() != mb.GetVertexCount() || ma.GetTriangleCount() != mb.GetTriangleCount())
        return false;
    for (std::uint32_t i = 0; i < ma.GetVertexCount(); ++i)
        if (std::memcmp(&ma.GetVertex(i)->x, &mb.GetVertex(i)->x, 3 * sizeof(float)) != 0)
            return false;
    for (std::uint32_t i = 0; i < ma.GetTriangleCount(); ++i)
        if (std::memcmp(ma.GetTriangle(i)->vertexIndex, mb.GetTriangle(i)->vertexIndex,
                        sizeof ma.GetTriangle(i)->vertexIndex) != 0)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::InputFile input(data, size);
    if (input.Stream() == nullptr)
        return 0;
    cMeshObject object;
    object.SetName(L"Before");
    const float corners[4][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (const auto& p : corners)
        object.GetMesh()->AddVertex(p);
    object.GetMesh()->AddTriangle(0, 2, 1);
    object.GetMesh()->AddTriangle(0, 1, 3);
    object.GetMesh()->Update();
    const GUID before = object.GetObjectId();

    if (!object.Read(input.Stream()))
    {
        if (std::wcscmp(object.GetName(), L"Before") != 0 || !(object.GetObjectId() == before) ||
            object.GetMesh()->GetVertexCount() != 4 || object.GetMesh()->GetTriangleCount() != 2)
            std::abort();
        return 0;
    }
    if (std::wcslen(object.GetName()) > 127)
        std::abort();
    const std::vector<std::uint8_t> written = WriteWhole(object);
    fuzz::InputFile again(written.data(), written.size());
    cMeshObject copy;
    if (again.Stream() == nullptr || !copy.Read(again.Stream()) || !SameObject(object, copy))
        std::abort();
    if (WriteWhole(copy) != written)
        std::abort();
    return 0;
}
