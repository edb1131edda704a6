// Text dots in document files: the point as three doubles, the height in
// pixels as an int, then the text.
#include "platform/host/dezaz_text_dot.h"
#include "platform/host/geometry_records.h"

#include <cmath>

namespace dezaz
{
namespace
{

// {3B8F5A21-6C4D-4E7A-9F10-2D5C8B7A6E04}
constexpr ON_UUID kTextDotRecordId = {0x3B8F5A21, 0x6C4D, 0x4E7A, {0x9F, 0x10, 0x2D, 0x5C, 0x8B, 0x7A, 0x6E, 0x04}};
// Longer texts are refused on reading: a dot labels a point.
constexpr int kMaxTextLength = 4096;

bool TextDotMatches(const ON_Geometry& g)
{
    return dynamic_cast<const ON_TextDot*>(&g) != nullptr;
}

bool WriteTextDot(const ON_Geometry& g, ON_BinaryArchive& archive)
{
    const ON_TextDot& dot = static_cast<const ON_TextDot&>(g);
    return archive.WriteDouble(dot.m_point.x) && archive.WriteDouble(dot.m_point.y) &&
           archive.WriteDouble(dot.m_point.z) && archive.WriteInt(dot.m_height) && archive.WriteString(dot.m_text);
}

std::unique_ptr<ON_Geometry> ReadTextDot(ON_BinaryArchive& archive, std::wstring& error)
{
    auto dot = std::make_unique<ON_TextDot>();
    if (!archive.ReadDouble(&dot->m_point.x) || !archive.ReadDouble(&dot->m_point.y) ||
        !archive.ReadDouble(&dot->m_point.z) || !archive.ReadInt(&dot->m_height) || !archive.ReadString(dot->m_text))
    {
        error = L"a text dot record is cut short";
        return nullptr;
    }
    if (!dot->IsValid() || dot->m_text.Length() > kMaxTextLength)
    {
        error = L"a text dot has no place, no text or no size";
        return nullptr;
    }
    return dot;
}

const bool kRegistered = [] {
    RegisterGeometryRecord({kTextDotRecordId, DezazObjectType::text_dot, TextDotMatches, WriteTextDot, ReadTextDot});
    return true;
}();

} // namespace
} // namespace dezaz
