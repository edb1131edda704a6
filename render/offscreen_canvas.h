// An offscreen GDI+ canvas whose size is rounded up to a granularity, so
// that small resizes of the view reuse its buffer. Rows are stored
// bottom-up (as OpenGL reads them) and drawn top-down through GDI+.
#pragma once

#include "render/gdiplus_graphics.h"
#include "render/gdiplus_guard.h"
#include "render/render_surface.h"

#include <cstdint>
#include <memory>

class cOffscreenCanvas : public cRenderSurfaceColor
{
public:
    // A granularity of 0 is taken as 1.
    explicit cOffscreenCanvas(std::uint32_t granularity);
    ~cOffscreenCanvas() override;

    // Rounds both sizes up to the granularity; false (no bitmap left) when
    // the memory cannot be had.
    bool Resize(std::uint32_t width, std::uint32_t height);
    void Release();

    std::uint32_t GetGranularity() const { return m_granularity; }
    cGdiplusGraphics* GetGraphics() { return m_graphics.get(); }
    GpBitmap* GetBitmap() const { return m_bitmap; }
    std::int32_t GetStride() const { return m_stride; }
    // The first row GDI+ sees (the top one, stored last).
    std::uint8_t* GetFirstRow() const { return m_firstRow; }

private:
    void DeleteGraphics();

    cGdiplusGuard m_guard;
    std::uint32_t m_granularity;
    GpBitmap* m_bitmap = nullptr;
    std::unique_ptr<cGdiplusGraphics> m_graphics;
    std::int32_t m_stride = 0;
    std::uint8_t* m_firstRow = nullptr;
};
