// The GDI+ overlay layer of a GL view: a 32-bit ARGB bitmap (straight
// alpha) over a buffer whose rows run bottom-up as OpenGL reads them, drawn
// top-down through GDI+, and blended over the GL frame rectangle by
// rectangle where the overlay drew.
#pragma once

#include "render/area_collector.h"
#include "render/gdiplus_graphics.h"
#include "render/gdiplus_guard.h"
#include "render/render_surface.h"

#include <cstdint>
#include <memory>

class I3DSceneRenderer;

class IGDIGraphicsLayer
{
public:
    virtual ~IGDIGraphicsLayer() = default;
    virtual cGdiplusGraphics* GetGraphics() = 0;
    virtual bool HasGraphics() = 0;
    virtual std::uint32_t GetWidth() = 0;
    virtual std::uint32_t GetHeight() = 0;
    // Blends the drawn rectangles over the renderer's frame; `toBack`
    // selects the back buffer.
    virtual void Composite(I3DSceneRenderer* renderer, bool toBack) = 0;
    // Starts an overlay pass: everything transparent, no rectangles, the
    // graphics' transform and clip reset.
    virtual void BeginDraw() = 0;
};

class cGDIGraphicsLayer : public IGDIGraphicsLayer, public cRenderSurfaceColor
{
public:
    // Rectangles handed to the renderer per call.
    static constexpr std::uint32_t kCompositeBatch = 128;

    cGDIGraphicsLayer() = default;
    ~cGDIGraphicsLayer() override;

    // False (no bitmap left) when the buffer or the bitmap cannot be had.
    bool Resize(std::uint32_t width, std::uint32_t height);

    cGdiplusGraphics* GetGraphics() override { return m_graphics.get(); }
    bool HasGraphics() override { return m_graphics != nullptr; }
    std::uint32_t GetWidth() override { return cRenderSurfaceColor::GetWidth(); }
    std::uint32_t GetHeight() override { return cRenderSurfaceColor::GetHeight(); }
    void Composite(I3DSceneRenderer* renderer, bool toBack) override;
    void BeginDraw() override;

    cAreaCollector& GetCollector() { return m_collector; }
    GpBitmap* GetBitmap() const { return m_bitmap; }

private:
    void DeleteGraphics();

    cGdiplusGuard m_guard;
    GpBitmap* m_bitmap = nullptr;
    std::unique_ptr<cGdiplusGraphics> m_graphics;
    cAreaCollector m_collector;
};
