#include "platform/geometry/bounding_box.h"

#include "platform/geometry/xform.h"

const ON_BoundingBox ON_BoundingBox::EmptyBoundingBox;

bool ON_BoundingBox::IsValid() const
{
    return m_min.IsValid() && m_max.IsValid() && m_min.x <= m_max.x && m_min.y <= m_max.y && m_min.z <= m_max.z;
}

bool ON_BoundingBox::Set(const ON_3dPoint& p, bool grow_box)
{
    if (!p.IsValid())
        return false;
    if (!grow_box || !IsValid())
    {
        m_min = m_max = p;
        return true;
    }
    for (int i = 0; i < 3; ++i)
    {
        if (p[i] < m_min[i])
            m_min[i] = p[i];
        if (p[i] > m_max[i])
            m_max[i] = p[i];
    }
    return true;
}

bool ON_BoundingBox::Union(const ON_BoundingBox& other)
{
    if (!other.IsValid())
        return IsValid();
    if (!IsValid())
    {
        *this = other;
        return true;
    }
    Set(other.m_min, true);
    Set(other.m_max, true);
    return true;
}

ON_3dPoint ON_BoundingBox::Center() const
{
    return 0.5 * (m_min + ON_3dVector(m_max));
}

ON_3dPoint ON_BoundingBox::Corner(int index) const
{
    return {(index & 1) ? m_max.x : m_min.x, (index & 2) ? m_max.y : m_min.y, (index & 4) ? m_max.z : m_min.z};
}

bool ON_BoundingBox::IsPointIn(const ON_3dPoint& p, bool strictly_in) const
{
    if (!IsValid())
        return false;
    for (int i = 0; i < 3; ++i)
    {
        if (strictly_in ? !(m_min[i] < p[i] && p[i] < m_max[i]) : !(m_min[i] <= p[i] && p[i] <= m_max[i]))
            return false;
    }
    return true;
}

bool ON_BoundingBox::Transform(const ON_Xform& xform)
{
    if (!IsValid())
        return false;
    ON_BoundingBox b;
    for (int i = 0; i < 8; ++i)
        b.Set(xform * Corner(i), true);
    if (!b.IsValid())
        return false;
    *this = b;
    return true;
}
