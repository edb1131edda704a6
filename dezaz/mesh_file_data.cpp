#include "dezaz/mesh_file_data.h"
#include "dezaz/counted_noun.h"

namespace dezaz
{

bool CheckFaceCorners(const stMeshFileData& data, const wchar_t* format, std::wstring& error)
{
    const std::size_t vertices = data.positions.size() / 3;
    for (const std::uint32_t corner : data.corners)
        if (corner >= vertices)
        {
            error = std::wstring(L"The ") + format + L" file has a face whose corner names vertex " +
                    std::to_wstring(std::size_t{corner} + 1) + L", but it holds " +
                    Counted(vertices, L"vertex", L"vertices") + L".";
            return false;
        }
    return true;
}

} // namespace dezaz
