#include "platform/gdiplus/graphics.h"

#include "platform/gdiplus/gdiplus_objects.h"

#include <algorithm>
#include <cmath>
#include <new>

using namespace gdiplus::detail;

namespace
{

bool Finite(std::initializer_list<double> values)
{
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

// Prepending M to the world transform W means a point goes through M first
// and then W; appending, the other way round. cairo_matrix_multiply(r, a, b)
// is "a first, then b".
void Apply(cairo_matrix_t& world, const cairo_matrix_t& m, MatrixOrder order)
{
    cairo_matrix_t result;
    if (order == MatrixOrderAppend)
        cairo_matrix_multiply(&result, &world, &m);
    else
        cairo_matrix_multiply(&result, &m, &world);
    world = result;
}

Status ValidOrder(MatrixOrder order)
{
    return order == MatrixOrderPrepend || order == MatrixOrderAppend ? Ok : InvalidParameter;
}

Status SetClip(GpGraphics* graphics, double x, double y, double width, double height, CombineMode mode)
{
    if (!graphics || !Finite({x, y, width, height}))
        return InvalidParameter;
    if (mode != CombineModeReplace && mode != CombineModeIntersect)
        return NotImplemented;
    if (width < 0)
    {
        x += width;
        width = -width;
    }
    if (height < 0)
    {
        y += height;
        height = -height;
    }
    double xs[4] = {x, x + width, x, x + width};
    double ys[4] = {y, y, y + height, y + height};
    for (int i = 0; i < 4; ++i)
        cairo_matrix_transform_point(&graphics->world, &xs[i], &ys[i]);
    double box[4] = {*std::min_element(xs, xs + 4), *std::min_element(ys, ys + 4), *std::max_element(xs, xs + 4),
                     *std::max_element(ys, ys + 4)};
    if (mode == CombineModeIntersect && graphics->clipped)
    {
        box[0] = std::max(box[0], graphics->clip[0]);
        box[1] = std::max(box[1], graphics->clip[1]);
        box[2] = std::max(box[0], std::min(box[2], graphics->clip[2]));
        box[3] = std::max(box[1], std::min(box[3], graphics->clip[3]));
    }
    std::copy(box, box + 4, graphics->clip);
    graphics->clipped = true;
    return Ok;
}

} // namespace

Status GdipGetImageGraphicsContext(GpImage* image, GpGraphics** graphics)
{
    if (!image || !graphics)
        return InvalidParameter;
    *graphics = nullptr;
    auto* bitmap = dynamic_cast<GpBitmap*>(image);
    if (!bitmap)
        return NotImplemented;
    // Drawing into indexed or locked bitmaps is refused, as the platform does.
    if (bitmap->locked)
        return WrongState;
    constexpr PixelFormat kIndexed = 0x00010000;
    if (bitmap->format & kIndexed)
        return OutOfMemory;
    *graphics = new (std::nothrow) GpGraphics(bitmap);
    return *graphics ? Ok : OutOfMemory;
}

Status GdipDeleteGraphics(GpGraphics* graphics)
{
    if (!graphics)
        return InvalidParameter;
    delete graphics;
    return Ok;
}

Status GdipResetWorldTransform(GpGraphics* graphics)
{
    if (!graphics)
        return InvalidParameter;
    cairo_matrix_init_identity(&graphics->world);
    return Ok;
}

Status GdipTranslateWorldTransform(GpGraphics* graphics, REAL dx, REAL dy, MatrixOrder order)
{
    if (!graphics || !Finite({dx, dy}) || ValidOrder(order) != Ok)
        return InvalidParameter;
    cairo_matrix_t m;
    cairo_matrix_init_translate(&m, dx, dy);
    Apply(graphics->world, m, order);
    return Ok;
}

Status GdipScaleWorldTransform(GpGraphics* graphics, REAL sx, REAL sy, MatrixOrder order)
{
    if (!graphics || !Finite({sx, sy}) || sx == 0 || sy == 0 || ValidOrder(order) != Ok)
        return InvalidParameter;
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, sx, sy);
    Apply(graphics->world, m, order);
    return Ok;
}

Status GdipRotateWorldTransform(GpGraphics* graphics, REAL degrees, MatrixOrder order)
{
    if (!graphics || !Finite({degrees}) || ValidOrder(order) != Ok)
        return InvalidParameter;
    cairo_matrix_t m;
    cairo_matrix_init_rotate(&m, degrees * M_PI / 180.0);
    Apply(graphics->world, m, order);
    return Ok;
}

Status GdipSetWorldTransform(GpGraphics* graphics, GpMatrix* matrix)
{
    if (!graphics || !matrix)
        return InvalidParameter;
    cairo_matrix_t copy = matrix->m;
    if (cairo_matrix_invert(&copy) != CAIRO_STATUS_SUCCESS)
        return InvalidParameter;
    graphics->world = matrix->m;
    return Ok;
}

Status GdipGetWorldTransform(GpGraphics* graphics, GpMatrix* matrix)
{
    if (!graphics || !matrix)
        return InvalidParameter;
    matrix->m = graphics->world;
    return Ok;
}

Status GdipMultiplyWorldTransform(GpGraphics* graphics, const GpMatrix* matrix, MatrixOrder order)
{
    if (!graphics || !matrix || ValidOrder(order) != Ok)
        return InvalidParameter;
    Apply(graphics->world, matrix->m, order);
    return Ok;
}

Status GdipResetClip(GpGraphics* graphics)
{
    if (!graphics)
        return InvalidParameter;
    graphics->clipped = false;
    return Ok;
}

Status GdipSetClipRect(GpGraphics* graphics, REAL x, REAL y, REAL width, REAL height, CombineMode mode)
{
    return SetClip(graphics, x, y, width, height, mode);
}

Status GdipSetClipRectI(GpGraphics* graphics, INT x, INT y, INT width, INT height, CombineMode mode)
{
    return SetClip(graphics, x, y, width, height, mode);
}

Status GdipGetClipBoundsI(GpGraphics* graphics, GpRect* rect)
{
    if (!graphics || !rect)
        return InvalidParameter;
    double box[4] = {0, 0, double(graphics->target->width), double(graphics->target->height)};
    if (graphics->clipped)
        std::copy(graphics->clip, graphics->clip + 4, box);
    const INT x0 = INT(std::floor(box[0])), y0 = INT(std::floor(box[1]));
    *rect = GpRect{x0, y0, INT(std::ceil(box[2])) - x0, INT(std::ceil(box[3])) - y0};
    return Ok;
}

Status GdipSetSmoothingMode(GpGraphics* graphics, SmoothingMode mode)
{
    if (!graphics || mode < SmoothingModeDefault || mode > SmoothingModeAntiAlias)
        return InvalidParameter;
    graphics->smoothing = mode;
    return Ok;
}

Status GdipGetSmoothingMode(GpGraphics* graphics, SmoothingMode* mode)
{
    if (!graphics || !mode)
        return InvalidParameter;
    *mode = graphics->smoothing;
    return Ok;
}

Status GdipSetCompositingMode(GpGraphics* graphics, CompositingMode mode)
{
    if (!graphics || (mode != CompositingModeSourceOver && mode != CompositingModeSourceCopy))
        return InvalidParameter;
    graphics->compositing = mode;
    return Ok;
}

Status GdipGetCompositingMode(GpGraphics* graphics, CompositingMode* mode)
{
    if (!graphics || !mode)
        return InvalidParameter;
    *mode = graphics->compositing;
    return Ok;
}

Status GdipSaveGraphics(GpGraphics* graphics, GraphicsState* state)
{
    if (!graphics || !state)
        return InvalidParameter;
    GpGraphics::SavedState saved{graphics->nextState++, graphics->world, graphics->clipped, {},
                                 graphics->smoothing, graphics->compositing};
    std::copy(graphics->clip, graphics->clip + 4, saved.clip);
    graphics->saved.push_back(saved);
    *state = saved.id;
    return Ok;
}

Status GdipRestoreGraphics(GpGraphics* graphics, GraphicsState state)
{
    if (!graphics)
        return InvalidParameter;
    auto it = std::find_if(graphics->saved.begin(), graphics->saved.end(),
                           [state](const GpGraphics::SavedState& s) { return s.id == state; });
    if (it == graphics->saved.end())
        return Ok; // an unknown or already restored state changes nothing
    graphics->world = it->world;
    graphics->clipped = it->clipped;
    std::copy(it->clip, it->clip + 4, graphics->clip);
    graphics->smoothing = it->smoothing;
    graphics->compositing = it->compositing;
    graphics->saved.erase(it, graphics->saved.end());
    return Ok;
}

Status GdipCreateMatrix(GpMatrix** matrix)
{
    if (!matrix)
        return InvalidParameter;
    *matrix = new (std::nothrow) GpMatrix;
    return *matrix ? Ok : OutOfMemory;
}

Status GdipCreateMatrix2(REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy, GpMatrix** matrix)
{
    if (!matrix)
        return InvalidParameter;
    *matrix = nullptr;
    if (!Finite({m11, m12, m21, m22, dx, dy}))
        return InvalidParameter;
    *matrix = new (std::nothrow) GpMatrix;
    if (!*matrix)
        return OutOfMemory;
    cairo_matrix_init(&(*matrix)->m, m11, m12, m21, m22, dx, dy);
    return Ok;
}

Status GdipDeleteMatrix(GpMatrix* matrix)
{
    if (!matrix)
        return InvalidParameter;
    delete matrix;
    return Ok;
}

Status GdipSetMatrixElements(GpMatrix* matrix, REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy)
{
    if (!matrix || !Finite({m11, m12, m21, m22, dx, dy}))
        return InvalidParameter;
    cairo_matrix_init(&matrix->m, m11, m12, m21, m22, dx, dy);
    return Ok;
}

Status GdipGetMatrixElements(const GpMatrix* matrix, REAL* elements)
{
    if (!matrix || !elements)
        return InvalidParameter;
    const cairo_matrix_t& m = matrix->m;
    const double values[6] = {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
    for (int i = 0; i < 6; ++i)
        elements[i] = REAL(values[i]);
    return Ok;
}
