#include "platform/geometry/interval.h"

#include "platform/geometry/point.h"

bool ON_Interval::IsValid() const
{
    return ON_IsValid(m_t[0]) && ON_IsValid(m_t[1]);
}

double ON_Interval::ParameterAt(double s) const
{
    return (1.0 - s) * m_t[0] + s * m_t[1];
}

double ON_Interval::NormalizedParameterAt(double t) const
{
    const double len = m_t[1] - m_t[0];
    if (len == 0.0 || !ON_IsValid(len))
        return ON_UNSET_VALUE;
    return (t - m_t[0]) / len;
}

void ON_Interval::Swap()
{
    const double t = m_t[0];
    m_t[0] = m_t[1];
    m_t[1] = t;
}

bool ON_Interval::Union(double t)
{
    if (!ON_IsValid(t))
        return false;
    if (!IsValid())
    {
        Set(t, t);
        return true;
    }
    if (IsDecreasing())
        Swap();
    if (t < m_t[0])
        m_t[0] = t;
    if (t > m_t[1])
        m_t[1] = t;
    return true;
}

bool operator==(const ON_Interval& a, const ON_Interval& b)
{
    return a.m_t[0] == b.m_t[0] && a.m_t[1] == b.m_t[1];
}

bool operator!=(const ON_Interval& a, const ON_Interval& b)
{
    return !(a == b);
}
