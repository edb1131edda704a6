#include "render/gdi_graphics_layer.h"

#include "platform/gdiplus/gdiplus.h"
#include "platform/wgl/wgl.h"
#include "render/renderer.h"

#include <cstring>
#include <vector>

cGDIGraphicsLayer::~cGDIGraphicsLayer() { DeleteGraphics(); }

void cGDIGraphicsLayer::DeleteGraphics()
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

bool cGDIGraphicsLayer::Resize(std::uint32_t width, std::uint32_t height)
{
    if (cRenderSurfaceColor::GetWidth() == width && cRenderSurfaceColor::GetHeight() == height &&
        (HasGraphics() || width == 0 || height == 0))
        return true;
    DeleteGraphics();
    if (width > 0x7FFFFFFFu / 4 || height > 0x7FFFFFFFu ||
        !cRenderSurfaceColor::Resize(0, 0, std::int32_t(width), std::int32_t(height)))
    {
        cRenderSurfaceColor::Release();
        return false;
    }
    if (width == 0 || height == 0)
        return true;
    // GDI+ sees rows top-down from the buffer's last row; OpenGL reads the
    // same memory bottom-up.
    const INT stride = -INT(4 * width);
    BYTE* firstRow = GetPixels() + std::size_t(height - 1) * 4 * width;
    GpGraphics* graphics = nullptr;
    if (GdipCreateBitmapFromScan0(INT(width), INT(height), stride, PixelFormat32bppARGB, firstRow, &m_bitmap) != Ok ||
        GdipGetImageGraphicsContext(m_bitmap, &graphics) != Ok)
    {
        DeleteGraphics();
        cRenderSurfaceColor::Release();
        return false;
    }
    m_graphics = std::make_unique<cGdiplusGraphics>(graphics, &m_collector);
    SetFormat(kGlBgraExt);
    return true;
}

void cGDIGraphicsLayer::BeginDraw()
{
    if (HasPixels())
        std::memset(GetPixels(), 0, std::size_t(cRenderSurfaceColor::GetWidth()) * cRenderSurfaceColor::GetHeight() * 4);
    m_collector.Clear();
    if (m_graphics)
    {
        GdipResetWorldTransform(m_graphics->GetHandle());
        GdipResetClip(m_graphics->GetHandle());
        m_graphics->ClearLastStatus();
    }
}

void cGDIGraphicsLayer::Composite(I3DSceneRenderer* renderer, bool toBack)
{
    if (!renderer || !HasPixels())
        return;
    const GLboolean blending = glIsEnabled(GL_BLEND);
    GLint source = GL_ONE, destination = GL_ZERO;
    glGetIntegerv(GL_BLEND_SRC, &source);
    glGetIntegerv(GL_BLEND_DST, &destination);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    // The collector holds window rectangles (rows from the top); the
    // renderer draws GL rectangles (rows from the bottom).
    RECT batch[kCompositeBatch];
    std::uint32_t count = 0;
    for (cAreaCollector::Node* node = m_collector.GetHead(); node; node = node->next)
    {
        const cAreaCollector::stRect& r = node->value;
        if (r.area == 0)
            continue;
        const RECT window{r.x0, r.y0, r.x1, r.y1};
        renderer->FlipRectY(window, &batch[count]);
        if (++count == kCompositeBatch)
        {
            renderer->DrawColourRects(this, batch, count, toBack);
            count = 0;
        }
    }
    if (count)
        renderer->DrawColourRects(this, batch, count, toBack);

    glBlendFunc(GLenum(source), GLenum(destination));
    if (!blending)
        glDisable(GL_BLEND);
}
