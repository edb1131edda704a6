#include "fitting/packed_fit_points.h"

#include <new>

cPackedFitPoints::cPackedFitPoints(const tFitPointQueue& points)
{
    std::size_t active = 0;
    for (const stFitPoint& p : points)
        active += p.active ? 1 : 0;
    m_x.reserve(active);
    m_y.reserve(active);
    m_z.reserve(active);
    for (const stFitPoint& p : points)
    {
        if (!p.active)
            continue;
        m_x.push_back(p.position[0]);
        m_y.push_back(p.position[1]);
        m_z.push_back(p.position[2]);
    }
}

cPackedFitPoints cPackedFitPoints::EveryNth(std::size_t stride) const
{
    cPackedFitPoints out;
    if (stride == 0)
        stride = 1;
    const std::size_t count = (Count() + stride - 1) / stride;
    out.m_x.reserve(count);
    out.m_y.reserve(count);
    out.m_z.reserve(count);
    for (std::size_t i = 0; i < Count(); i += stride)
    {
        out.m_x.push_back(m_x[i]);
        out.m_y.push_back(m_y[i]);
        out.m_z.push_back(m_z[i]);
    }
    return out;
}

std::unique_ptr<cPackedFitPoints> PackActivePoints(const tFitPointQueue& points)
{
    try
    {
        return std::make_unique<cPackedFitPoints>(points);
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
}
