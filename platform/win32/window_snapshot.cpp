#include "platform/win32/window_snapshot.h"

#include "platform/win32/message.h"
#include "platform/win32/window_scroll_bars.h"

#include <cairo.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace win32
{

namespace
{

// A screen shows windows after their queue has painted them: any paint
// still pending in the window or a visible descendant is done first, so a
// picture taken right after a window was shown, or before the caller
// pumped its messages, does not come out as unpainted (clear, hence black)
// areas. Painting may create or destroy children, hence the snapshot of
// the child list.
void PaintPending(HWND window)
{
    if (!IsWindow(window) || !(GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE))
        return;
    UpdateWindow(window);
    std::vector<HWND> children;
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        children.push_back(c);
    for (HWND child : children)
        PaintPending(child);
}

// Draws the children of parent into out, whose origin is the client
// origin of root, back to front so that front children win.
void ComposeChildren(HWND parent, HWND root, ClientImage& out)
{
    std::vector<HWND> children;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        children.push_back(c);
    for (auto it = children.rbegin(); it != children.rend(); ++it)
    {
        HWND child = *it;
        if (!(GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE))
            continue;
        const ClientImage* image = GetWindowClientImage(child);
        if (image && !image->pixels.empty())
        {
            POINT at{0, 0};
            MapWindowPoints(child, root, &at, 1);
            for (LONG y = 0; y < image->height; ++y)
            {
                const LONG ty = at.y + y;
                if (ty < 0 || ty >= out.height)
                    continue;
                for (LONG x = 0; x < image->width; ++x)
                {
                    const LONG tx = at.x + x;
                    if (tx < 0 || tx >= out.width)
                        continue;
                    // Fully clear pixels show what lies beneath.
                    const std::uint32_t p = image->pixels[static_cast<std::size_t>(y) * image->width + x];
                    if (p >> 24)
                        out.pixels[static_cast<std::size_t>(ty) * out.width + tx] = p;
                }
            }
        }
        win32::detail::DrawWindowScrollBars(child, root, out);
        ComposeChildren(child, root, out);
    }
}

} // namespace

ClientImage ComposeWindowImage(HWND window)
{
    ClientImage out;
    PaintPending(window);
    const ClientImage* own = IsWindow(window) ? GetWindowClientImage(window) : nullptr;
    if (!own)
        return out;
    out = *own;
    ComposeChildren(window, window, out);
    return out;
}

bool WriteComposedPng(HWND window, const std::filesystem::path& path, std::string* error)
{
    ClientImage image = ComposeWindowImage(window);
    if (image.width <= 0 || image.height <= 0 || image.pixels.empty())
    {
        if (error)
            *error = "the window shows nothing";
        return false;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width, image.height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
    {
        cairo_surface_destroy(surface);
        if (error)
            *error = "cannot make the image";
        return false;
    }
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (LONG y = 0; y < image.height; ++y)
    {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (LONG x = 0; x < image.width; ++x)
        {
            // Screenshots show what is on screen: every pixel opaque.
            row[x] = image.pixels[static_cast<std::size_t>(y) * image.width + x] | 0xFF000000u;
        }
    }
    cairo_surface_mark_dirty(surface);
    const cairo_status_t status = cairo_surface_write_to_png(surface, path.string().c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS)
    {
        if (error)
            *error = "cannot write " + path.string() + ": " + cairo_status_to_string(status);
        return false;
    }
    return true;
}

bool WriteSnapshotIfRequested(HWND window, const std::string& name)
{
    const char* dir = std::getenv("VTL_SNAPSHOT_DIR");
    if (!dir || !*dir)
        return false;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return WriteComposedPng(window, std::filesystem::path(dir) / (name + ".png"));
}

} // namespace win32
