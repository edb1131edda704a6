// A mesh object's properties come from a document's key/value store: a
// title, a group GUID as text and the name of the mesh file, all untrusted.
// Input: a flags byte (which values exist; whether the file name is that of
// a scratch file holding the mesh bytes), then the title (UTF-16LE), the
// group text and the file name, each ended by a 0xFF byte, then the mesh
// file's bytes. Invariants: no read past any text or buffer; the name is the
// title cut to 127 characters, the group the parsed text cut to 255; a load
// that succeeds leaves a sound mesh, one that fails an empty or untouched
// mesh, and every missing value fails the load.
#include "core/mesh_object.h"
#include "core/serializable.h"
#include "fuzz/fuzz_scratch.h"
#include "platform/win32/codepage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace
{

// Values in maps; a read copies at most maxLength characters and ends them.
class FuzzStore : public IKeyValueStore
{
public:
    bool WriteWideText(const wchar_t* key, const wchar_t* text) override
    {
        wide[key] = text;
        return true;
    }
    bool WriteAnsiText(const wchar_t* key, const char* text) override
    {
        ansi[key] = text;
        return true;
    }
    bool ReadAnsiText(const wchar_t* key, char* buffer, std::size_t maxLength) override
    {
        auto it = ansi.find(key);
        if (it == ansi.end())
            return false;
        const std::size_t n = std::min(maxLength, it->second.size());
        std::memcpy(buffer, it->second.data(), n);
        buffer[n] = '\0';
        return true;
    }
    bool ReadWideText(const wchar_t* key, wchar_t* buffer, std::size_t maxLength) override
    {
        auto it = wide.find(key);
        if (it == wide.end())
            return false;
        const std::size_t n = std::min(maxLength, it->second.size());
        std::wmemcpy(buffer, it->second.data(), n);
        buffer[n] = L'\0';
        return true;
    }
    std::map<std::wstring, std::string> ansi;
    std::map<std::wstring, std::wstring> wide;
};

// The next part of the input, up to a 0xFF byte or the end.
std::vector<std::uint8_t> NextPart(const std::uint8_t*& at, const std::uint8_t* end)
{
    const std::uint8_t* stop = std::find(at, end, 0xFF);
    std::vector<std::uint8_t> part(at, stop);
    at = stop == end ? end : stop + 1;
    return part;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t flags = data[0];
    const std::uint8_t* at = data + 1;
    const std::uint8_t* end = data + size;
    const std::vector<std::uint8_t> titleBytes = NextPart(at, end);
    const std::vector<std::uint8_t> groupBytes = NextPart(at, end);
    const std::vector<std::uint8_t> nameBytes = NextPart(at, end);

    FuzzStore store;
    const std::wstring title = win32::DecodeUtf16Le(titleBytes.data(), titleBytes.size());
    const std::string group(groupBytes.begin(), groupBytes.end());
    if (flags & 1)
        store.WriteWideText(L"TITLE", title.c_str());
    if (flags & 2)
        store.WriteAnsiText(L"GROUP_GUID", group.c_str());
    if (flags & 4)
    {
        std::wstring path;
        if (flags & 8)
        {
            std::FILE* file = std::fopen(fuzz::ScratchFileName("mesh_properties_fuzz").c_str(), "wb");
            if (file == nullptr)
                return 0;
            const bool written = at == end || std::fwrite(at, 1, static_cast<std::size_t>(end - at), file) ==
                                                   static_cast<std::size_t>(end - at);
            if (std::fclose(file) != 0 || !written)
                return 0;
            path = win32::Utf8ToWide(fuzz::ScratchFileName("mesh_properties_fuzz"));
        }
        else
        {
            // Any name, but no directories: the target must not wander
            // into device files that never end.
            std::string name(nameBytes.begin(), nameBytes.end());
            std::replace(name.begin(), name.end(), '/', '_');
            path = win32::Utf8ToWide(name);
        }
        store.WriteWideText(L"FILE_NAME", path.c_str());
    }

    cMeshObject object;
    object.SetName(L"Before");
    const float corners[4][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (const auto& p : corners)
        object.GetMesh()->AddVertex(p);
    object.GetMesh()->AddTriangle(0, 2, 1);
    object.GetMesh()->AddTriangle(0, 1, 3);
    object.GetMesh()->Update();

    const bool loaded = object.LoadProperties(&store);
    if (loaded && (flags & 7) != 7)
        std::abort();
    if (flags & 1)
    {
        std::wstring expected(title.c_str());
        if (expected.size() > 127)
            expected.resize(127);
        if (expected != object.GetName())
            std::abort();
        if (flags & 2)
        {
            const GUID parsed = ParseGuidText(group.substr(0, 255).c_str());
            const GUID got = object.GetGroupGuid();
            if (std::memcmp(&parsed, &got, sizeof got) != 0)
                std::abort();
        }
    }
    else if (std::wcscmp(object.GetName(), L"Before") != 0)
        std::abort();

    cMesh& mesh = *object.GetMesh();
    if (loaded)
    {
        if (mesh.GetTriangleCount() == 0)
            std::abort();
        for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
            if (!std::isfinite(mesh.GetVertex(i)->x) || !std::isfinite(mesh.GetVertex(i)->y) ||
                !std::isfinite(mesh.GetVertex(i)->z))
                std::abort();
        for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
            for (std::uint32_t corner : mesh.GetTriangle(i)->vertexIndex)
                if (corner >= mesh.GetVertexCount())
                    std::abort();
    }
    else
    {
        const bool untouched = mesh.GetVertexCount() == 4 && mesh.GetTriangleCount() == 2;
        const bool empty = mesh.GetVertexCount() == 0 && mesh.GetTriangleCount() == 0;
        if (!untouched && !empty)
            std::abort();
    }
    return 0;
}
