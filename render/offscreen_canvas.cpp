#include "render/offscreen_canvas.h"

#include "platform/gdiplus/gdiplus.h"

cOffscreenCanvas::cOffscreenCanvas(std::uint32_t granularity) : m_granularity(granularity ? granularity : 1) {}

cOffscreenCanvas::~cOffscreenCanvas() { DeleteGraphics(); }

void cOffscreenCanvas::DeleteGraphics()
{
    if (m_graphics)
    {
        GdipDeleteGraphics(m_graphics->GetHandle());
        m_graphics.reset();
    }
    if (m_bitmap)
    {
        GdipDisposeImage(m_bitmap);
        m_bitmap = nullptr;
    }
}

bool cOffscreenCanvas::Resize(std::uint32_t width, std::uint32_t height)
{
    const std::uint64_t g = m_granularity;
    const std::uint64_t w = (width + g - 1) / g * g, h = (height + g - 1) / g * g;
    if (w > 0x7FFFFFFFu / 4 || h > 0x7FFFFFFFu)
        return false;
    if (cRenderSurfaceColor::GetWidth() == w && cRenderSurfaceColor::GetHeight() == h &&
        (m_graphics || w == 0 || h == 0))
        return true;
    DeleteGraphics();
    m_stride = 0;
    m_firstRow = nullptr;
    if (!cRenderSurfaceColor::Resize(0, 0, std::int32_t(w), std::int32_t(h)))
        return false;
    m_stride = std::int32_t(4 * w);
    if (w == 0 || h == 0)
        return true;
    m_firstRow = GetPixels() + std::size_t(h - 1) * std::size_t(m_stride);
    GpGraphics* graphics = nullptr;
    if (GdipCreateBitmapFromScan0(INT(w), INT(h), -m_stride, PixelFormat32bppARGB, m_firstRow, &m_bitmap) != Ok ||
        GdipGetImageGraphicsContext(m_bitmap, &graphics) != Ok)
    {
        Release();
        return false;
    }
    m_graphics = std::make_unique<cGdiplusGraphics>(graphics, nullptr);
    SetFormat(kGlBgraExt);
    return true;
}

void cOffscreenCanvas::Release()
{
    DeleteGraphics();
    m_stride = 0;
    m_firstRow = nullptr;
    cRenderSurfaceColor::Release();
}
