// OBJ files: vertex lines ("v x y z", with an optional weight or colour
// after) and face lines ("f" with corners "v", "v/t", "v//n" or "v/t/n",
// negative numbers counting back from the last vertex read). Every other
// line (texture and normal vertices, groups, materials, points, lines) is
// read past. Corners are checked against the vertices once the whole file
// is read, as a face may name a vertex that comes after it.
#include "dezaz/mesh_file_data.h"
#include "dezaz/text_scanner.h"

#include <limits>

namespace dezaz
{

namespace
{

// The vertex number at the start of a corner word, up to its first '/'.
bool CornerNumber(std::string_view corner, std::int64_t& number)
{
    const std::size_t slash = corner.find('/');
    const std::string_view head = corner.substr(0, slash);
    if (!cTextScanner::Number(head, number))
        return false;
    if (slash == std::string_view::npos)
        return true;
    // What follows names texture and normal vertices the mesh does not keep;
    // it must still be numbers and slashes.
    for (char c : corner.substr(slash))
        if (c != '/' && c != '-' && (c < '0' || c > '9'))
            return false;
    return true;
}

} // namespace

bool ReadObj(const char* bytes, std::size_t size, stMeshFileData& out, std::wstring& error)
{
    cTextScanner text(bytes, bytes + size);
    const auto fail = [&](const std::wstring& what) {
        error = L"The OBJ file " + what + L" (line " + std::to_wstring(text.Line()) + L").";
        return false;
    };
    for (; !text.AtEnd(); text.SkipLine())
    {
        const std::string_view keyword = text.Word();
        if (keyword == "v")
        {
            float p[3];
            if (!text.Float(p[0]) || !text.Float(p[1]) || !text.Float(p[2]))
                return fail(L"has a vertex that is not three numbers");
            if (out.positions.size() / 3 >= std::numeric_limits<std::uint32_t>::max())
                return fail(L"has more vertices than a mesh can hold");
            out.positions.insert(out.positions.end(), p, p + 3);
            continue;
        }
        if (keyword != "f")
            continue;
        const auto vertices = static_cast<std::int64_t>(out.positions.size() / 3);
        std::uint32_t count = 0;
        for (std::string_view corner = text.Word(); !corner.empty(); corner = text.Word())
        {
            std::int64_t number = 0;
            if (!CornerNumber(corner, number))
                return fail(L"has the face corner " + cTextScanner::Quoted(corner) + L", which is not a vertex number");
            if (number < 0)
                number += vertices; // -1 is the last vertex read so far
            else
                number -= 1; // numbered from 1
            if (number < 0 || number > std::numeric_limits<std::uint32_t>::max())
                return fail(L"has a face corner that names no vertex");
            out.corners.push_back(static_cast<std::uint32_t>(number));
            ++count;
        }
        if (count < 3)
        {
            // A face of fewer than three corners is a point or a line.
            out.corners.resize(out.corners.size() - count);
            ++out.faces_dropped;
            out.corners_dropped += count;
            continue;
        }
        out.face_sizes.push_back(count);
    }
    return CheckFaceCorners(out, L"OBJ", 1, error);
}

} // namespace dezaz
