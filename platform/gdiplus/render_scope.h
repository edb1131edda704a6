// Internal to the GDI+ layer: the bridge from a bitmap's straight-alpha
// pixels to cairo. Each drawing call names the device area it may touch;
// the scope copies that area (clipped to the bitmap and the clip) into a
// premultiplied top-down cairo surface, hands out a cairo context with the
// graphics' world transform, antialiasing and compositing set, and on
// destruction writes back only the pixels the drawing changed, so pixels
// it did not touch keep their exact straight-alpha values.
#pragma once

#include "platform/gdiplus/gdiplus_objects.h"

#include <cairo.h>

#include <vector>

namespace gdiplus::detail
{

class RenderScope
{
public:
    // bounds: x0, y0, x1, y1 in device pixels.
    RenderScope(GpGraphics* graphics, const double bounds[4]);
    ~RenderScope();
    RenderScope(const RenderScope&) = delete;
    RenderScope& operator=(const RenderScope&) = delete;

    // Ok with a context; Ok without one when nothing of the area is
    // visible; another status when the drawing cannot be done.
    Status GetStatus() const { return m_status; }
    cairo_t* Context() const { return m_context; }

    // Pens of odd pixel widths stroke along pixel centres, as the platform's
    // integer outlines do: the drawing moves by half a device pixel.
    void ShiftForStroke();
    // Device pixels as user units (the world transform dropped), for pens
    // measured in pixels; the path built so far stays where it is.
    void UseDeviceUnits();

private:
    GpGraphics* m_graphics;
    Status m_status = Ok;
    bool m_shifted = false;
    int m_x = 0, m_y = 0, m_width = 0, m_height = 0;
    std::vector<std::uint32_t> m_before;
    cairo_surface_t* m_surface = nullptr;
    cairo_t* m_context = nullptr;
};

// The device-space bounds of points in world coordinates, grown by `margin`
// device pixels on every side.
void DeviceBounds(const GpGraphics* graphics, const double* xs, const double* ys, int count, double margin,
                  double bounds[4]);

} // namespace gdiplus::detail
