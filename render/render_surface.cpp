#include "render/render_surface.h"

#include <new>

namespace
{

// Pixel count of a rectangle, or -1 when it is inverted.
long long PixelCount(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1)
{
    if (x1 < x0 || y1 < y0)
        return -1;
    return (static_cast<long long>(x1) - x0) * (static_cast<long long>(y1) - y0);
}

template <class T> bool Reallocate(std::vector<T>& buffer, std::size_t count)
{
    if (buffer.size() == count)
        return true;
    try
    {
        std::vector<T> fresh(count);
        buffer.swap(fresh);
    }
    catch (const std::bad_alloc&)
    {
        std::vector<T>().swap(buffer);
        return false;
    }
    return true;
}

} // namespace

bool cRenderSurfaceColor::Resize(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1)
{
    const long long count = PixelCount(x0, y0, x1, y1);
    if (count < 0 || !Reallocate(m_pixels, static_cast<std::size_t>(count) * 4))
    {
        Release();
        return false;
    }
    m_x0 = x0;
    m_y0 = y0;
    m_x1 = x1;
    m_y1 = y1;
    return true;
}

void cRenderSurfaceColor::Release()
{
    std::vector<std::uint8_t>().swap(m_pixels);
    m_x0 = m_y0 = m_x1 = m_y1 = 0;
}

void cRenderSurfaceColor::SetOrigin(std::int32_t x0, std::int32_t y0)
{
    m_x1 = x0 + (m_x1 - m_x0);
    m_y1 = y0 + (m_y1 - m_y0);
    m_x0 = x0;
    m_y0 = y0;
}

void cRenderSurfaceColor::SetAnchor(const float anchor[3])
{
    for (int i = 0; i < 3; ++i)
        m_anchor[i] = anchor[i];
}

bool cRenderSurfaceDepth::Resize(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1)
{
    const long long count = PixelCount(x0, y0, x1, y1);
    if (count < 0 || !Reallocate(m_values, static_cast<std::size_t>(count)))
    {
        Release();
        return false;
    }
    m_x0 = x0;
    m_y0 = y0;
    m_x1 = x1;
    m_y1 = y1;
    return true;
}

void cRenderSurfaceDepth::Release()
{
    std::vector<float>().swap(m_values);
    m_x0 = m_y0 = m_x1 = m_y1 = 0;
}

void cRenderSurfaceDepth::SetAnchor(const float anchor[3])
{
    for (int i = 0; i < 3; ++i)
        m_anchor[i] = anchor[i];
}
