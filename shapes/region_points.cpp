#include "shapes/region_points.h"

#include "core/bounding_box.h"
#include "core/frame_math.h"
#include "core/vertex.h"

#include <algorithm>
#include <cstring>

bool cRegionPoints::Append(const float p[3])
{
    stRegionPoint* point = m_points.Append();
    if (point == nullptr)
        return false;
    std::memcpy(point->xyz, p, sizeof point->xyz);
    m_boxValid = false;
    return true;
}

bool cRegionPoints::Append(const float* xyz, std::uint32_t n)
{
    m_boxValid = m_boxValid && n == 0;
    while (n != 0)
    {
        const std::uint32_t at = m_points.GetCount();
        if (at >= kArrayMaxRecords || (at >= m_points.GetCapacity() && !m_points.Resize(at + 1)))
            return false;
        // As many as the chunk at `at` still holds.
        const std::uint32_t room = std::min(n, kArrayChunkSize - (at & kArrayChunkMask));
        std::memcpy(static_cast<void*>(&m_points[at]), xyz, std::size_t{room} * sizeof(stRegionPoint));
        m_points.SetCount(at + room);
        xyz += 3 * std::size_t{room};
        n -= room;
    }
    return true;
}

bool cRegionPoints::Replace(std::uint32_t i, const float p[3])
{
    float* xyz = m_points[i].xyz;
    const bool kept = std::memcmp(xyz, p, 3 * sizeof(float)) == 0;
    std::memcpy(xyz, p, 3 * sizeof(float));
    m_boxValid = m_boxValid && kept;
    return kept;
}

bool cRegionPoints::Resize(std::uint32_t count)
{
    if (count <= m_points.GetCount())
    {
        Truncate(count);
        return true;
    }
    if (!m_points.Resize(count))
        return false;
    m_points.SetCount(count);
    m_boxValid = false;
    return true;
}

bool cRegionPoints::Store(std::uint32_t i, const float p[3])
{
    float* xyz = m_points[i].xyz;
    const bool kept = std::memcmp(xyz, p, 3 * sizeof(float)) == 0;
    std::memcpy(xyz, p, 3 * sizeof(float));
    return kept;
}

void cRegionPoints::Truncate(std::uint32_t count)
{
    if (count >= m_points.GetCount())
        return;
    if (count == 0)
    {
        Clear();
        return;
    }
    m_points.Resize(count);
    m_points.SetCount(count);
    m_boxValid = false;
}

void cRegionPoints::Clear()
{
    m_points.Clear();
    m_boxValid = false;
}

void cRegionPoints::Transform(const double m[12])
{
    const std::uint32_t count = m_points.GetCount();
    for (std::uint32_t i = 0; i < count; ++i)
    {
        float* xyz = m_points[i].xyz;
        if (IsFloatUnset(xyz[0]))
            continue;
        const float old[3] = {xyz[0], xyz[1], xyz[2]};
        TransformPoint3f(m, xyz, old);
    }
    m_boxValid = false;
}

const float* cRegionPoints::GetBoundingBox()
{
    if (!m_boxValid)
    {
        MakeEmptyBox3f(m_box);
        const std::uint32_t count = m_points.GetCount();
        for (std::uint32_t i = 0; i < count; ++i)
            GrowBox3f(m_box, m_points[i].xyz);
        m_boxValid = true;
    }
    return m_box;
}
