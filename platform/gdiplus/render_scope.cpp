#include "platform/gdiplus/render_scope.h"

#include <algorithm>
#include <cmath>

namespace gdiplus::detail
{

RenderScope::RenderScope(GpGraphics* graphics, const double bounds[4]) : m_graphics(graphics)
{
    GpBitmap* bitmap = graphics->target;
    if (bitmap->locked)
    {
        m_status = WrongState;
        return;
    }
    double x0 = std::max(0.0, bounds[0]), y0 = std::max(0.0, bounds[1]);
    double x1 = std::min(double(bitmap->width), bounds[2]), y1 = std::min(double(bitmap->height), bounds[3]);
    if (graphics->clipped)
    {
        x0 = std::max(x0, graphics->clip[0]);
        y0 = std::max(y0, graphics->clip[1]);
        x1 = std::min(x1, graphics->clip[2]);
        y1 = std::min(y1, graphics->clip[3]);
    }
    if (!(x1 > x0 && y1 > y0))
        return; // nothing visible
    m_x = int(std::floor(x0));
    m_y = int(std::floor(y0));
    m_width = int(std::ceil(x1)) - m_x;
    m_height = int(std::ceil(y1)) - m_y;

    m_surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, m_width, m_height);
    if (cairo_surface_status(m_surface) != CAIRO_STATUS_SUCCESS)
    {
        cairo_surface_destroy(m_surface);
        m_surface = nullptr;
        m_status = OutOfMemory;
        return;
    }
    unsigned char* data = cairo_image_surface_get_data(m_surface);
    const int stride = cairo_image_surface_get_stride(m_surface);
    m_before.resize(std::size_t(m_width) * std::size_t(m_height));
    for (int row = 0; row < m_height; ++row)
    {
        auto* out = reinterpret_cast<std::uint32_t*>(data + std::ptrdiff_t(row) * stride);
        for (int column = 0; column < m_width; ++column)
        {
            const std::uint32_t premultiplied = Premultiply(bitmap->Get(UINT(m_x + column), UINT(m_y + row)));
            out[column] = premultiplied;
            m_before[std::size_t(row) * std::size_t(m_width) + std::size_t(column)] = premultiplied;
        }
    }
    cairo_surface_mark_dirty(m_surface);

    m_context = cairo_create(m_surface);
    cairo_translate(m_context, -m_x, -m_y);
    if (graphics->clipped)
    {
        cairo_rectangle(m_context, graphics->clip[0], graphics->clip[1], graphics->clip[2] - graphics->clip[0],
                        graphics->clip[3] - graphics->clip[1]);
        cairo_clip(m_context);
    }
    cairo_transform(m_context, &graphics->world);
    const bool smooth =
        graphics->smoothing == SmoothingModeAntiAlias || graphics->smoothing == SmoothingModeHighQuality;
    cairo_set_antialias(m_context, smooth ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
    cairo_set_operator(m_context, graphics->compositing == CompositingModeSourceCopy ? CAIRO_OPERATOR_SOURCE
                                                                                     : CAIRO_OPERATOR_OVER);
}

RenderScope::~RenderScope()
{
    if (!m_surface)
        return;
    cairo_destroy(m_context);
    cairo_surface_flush(m_surface);
    const unsigned char* data = cairo_image_surface_get_data(m_surface);
    const int stride = cairo_image_surface_get_stride(m_surface);
    GpBitmap* bitmap = m_graphics->target;
    for (int row = 0; row < m_height; ++row)
    {
        const auto* in = reinterpret_cast<const std::uint32_t*>(data + std::ptrdiff_t(row) * stride);
        for (int column = 0; column < m_width; ++column)
            if (in[column] != m_before[std::size_t(row) * std::size_t(m_width) + std::size_t(column)])
                bitmap->Set(UINT(m_x + column), UINT(m_y + row), Unpremultiply(in[column]));
    }
    cairo_surface_destroy(m_surface);
}

void RenderScope::ShiftForStroke()
{
    if (!m_context)
        return;
    m_shifted = true;
    cairo_identity_matrix(m_context);
    cairo_translate(m_context, 0.5 - m_x, 0.5 - m_y);
    cairo_transform(m_context, &m_graphics->world);
}

void RenderScope::UseDeviceUnits()
{
    if (!m_context)
        return;
    cairo_identity_matrix(m_context);
    const double shift = m_shifted ? 0.5 : 0.0;
    cairo_translate(m_context, shift - m_x, shift - m_y);
}

void DeviceBounds(const GpGraphics* graphics, const double* xs, const double* ys, int count, double margin,
                  double bounds[4])
{
    bounds[0] = bounds[1] = HUGE_VAL;
    bounds[2] = bounds[3] = -HUGE_VAL;
    for (int i = 0; i < count; ++i)
    {
        double x = xs[i], y = ys[i];
        cairo_matrix_transform_point(&graphics->world, &x, &y);
        bounds[0] = std::min(bounds[0], x);
        bounds[1] = std::min(bounds[1], y);
        bounds[2] = std::max(bounds[2], x);
        bounds[3] = std::max(bounds[3], y);
    }
    bounds[0] -= margin;
    bounds[1] -= margin;
    bounds[2] += margin;
    bounds[3] += margin;
}

} // namespace gdiplus::detail
