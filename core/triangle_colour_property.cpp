#include "core/triangle_colour_property.h"

#include "core/scene_object.h"

#include <algorithm>

CTriangleColourProperties::~CTriangleColourProperties()
{
    m_bytes.clear();
    m_bytes.shrink_to_fit();
}

CTriangleColourProperties* CTriangleColourProperties::GetOrCreate(ISceneObject* object, std::wstring_view name)
{
    return GetOrCreateAttachedProperty<CTriangleColourProperties>(object, name);
}

bool CTriangleColourProperties::Resize(std::uint32_t count)
{
    try
    {
        m_bytes.assign(count, 0);
    }
    catch (...)
    {
        m_bytes.clear();
        m_hasColours = false;
        return false;
    }
    m_hasColours = false;
    return true;
}

bool CTriangleColourProperties::Set(std::uint32_t triangle, std::uint8_t kind)
{
    if (triangle >= m_bytes.size())
        return false;
    m_bytes[triangle] = kind;
    return true;
}

void CTriangleColourProperties::SetRun(std::uint32_t first, std::uint32_t count, std::uint8_t kind)
{
    if (first < m_bytes.size())
        std::fill_n(m_bytes.begin() + first, std::min<std::size_t>(count, m_bytes.size() - first), kind);
}

void CTriangleColourProperties::RecomputeHasColours()
{
    m_hasColours = std::any_of(m_bytes.begin(), m_bytes.end(), [](std::uint8_t b) { return b != 0; });
}
