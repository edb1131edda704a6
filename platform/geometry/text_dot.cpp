#include "platform/geometry/text_dot.h"

#include "platform/geometry/xform.h"

#include <cmath>

bool ON_TextDot::IsValid(ON_TextLog*) const
{
    return std::isfinite(m_point.x) && std::isfinite(m_point.y) && std::isfinite(m_point.z) && m_text.IsNotEmpty() &&
           m_height > 0;
}

ON_BoundingBox ON_TextDot::BoundingBox() const
{
    ON_BoundingBox box;
    box.Set(m_point, false);
    return box;
}

bool ON_TextDot::Transform(const ON_Xform& xform)
{
    m_point = xform * m_point;
    return std::isfinite(m_point.x) && std::isfinite(m_point.y) && std::isfinite(m_point.z);
}
