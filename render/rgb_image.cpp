#include "render/rgb_image.h"

#include <new>

namespace
{

bool Reallocate(std::vector<std::uint8_t>& pixels, std::uint64_t bytes)
{
    if (pixels.size() == bytes)
        return true;
    try
    {
        std::vector<std::uint8_t> fresh(static_cast<std::size_t>(bytes));
        pixels.swap(fresh);
    }
    catch (const std::bad_alloc&)
    {
        std::vector<std::uint8_t>().swap(pixels);
        return false;
    }
    return true;
}

} // namespace

bool cRGBImage::Resize(std::uint32_t width, std::uint32_t height, std::uint32_t alignment)
{
    if (alignment == 0)
        alignment = 1;
    const std::uint64_t stride = (std::uint64_t(width) * 3 + alignment - 1) / alignment * alignment;
    if (stride > 0xFFFFFFFFu || !Reallocate(m_pixels, stride * height))
    {
        Release();
        return false;
    }
    m_width = width;
    m_height = height;
    m_stride = std::uint32_t(stride);
    return true;
}

void cRGBImage::Release()
{
    std::vector<std::uint8_t>().swap(m_pixels);
    m_width = m_height = m_stride = 0;
}

bool cRGBAImage::Resize(std::uint32_t width, std::uint32_t height)
{
    if (!Reallocate(m_pixels, std::uint64_t(width) * height * 4))
    {
        m_width = m_height = 0;
        return false;
    }
    m_width = width;
    m_height = height;
    return true;
}
