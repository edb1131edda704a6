#include "dezaz/mesh_file_data.h"
#include "dezaz/counted_noun.h"

namespace dezaz
{

bool CheckFaceCorners(const stMeshFileData& data, const wchar_t* format, int first_vertex_number, std::wstring& error)
{
    const std::size_t vertices = data.positions.size() / 3;
    const std::size_t first = static_cast<std::size_t>(first_vertex_number);
    for (const std::uint32_t corner : data.corners)
        if (corner >= vertices)
        {
            error = std::wstring(L"The ") + format + L" file has a face whose corner names vertex " +
                    std::to_wstring(std::size_t{corner} + first) + L", but it holds " +
                    Counted(vertices, L"vertex", L"vertices") +
                    (vertices ? L" (numbered " + std::to_wstring(first) + L" to " +
                                    std::to_wstring(vertices - 1 + first) + L")"
                              : std::wstring()) +
                    L".";
            return false;
        }
    return true;
}

} // namespace dezaz
