#include "platform/gdiplus/graphics_draw.h"

#include "platform/gdiplus/render_scope.h"

#include <algorithm>
#include <new>
#include <cmath>
#include <vector>

using namespace gdiplus::detail;

namespace
{

void SetColour(cairo_t* context, ARGB colour)
{
    cairo_set_source_rgba(context, ((colour >> 16) & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0,
                          (colour & 0xFF) / 255.0, (colour >> 24) / 255.0);
}

const GpSolidFill* SolidOf(GpBrush* brush) { return dynamic_cast<const GpSolidFill*>(brush); }

bool Finite(std::initializer_list<double> values)
{
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

// How far a pen reaches beyond its path, in device pixels (generous: miter
// joins and the transform's largest stretch).
double PenMargin(const GpGraphics* graphics, const GpPen* pen)
{
    const cairo_matrix_t& m = graphics->world;
    const double stretch = std::max(std::hypot(m.xx, m.yx), std::hypot(m.xy, m.yy));
    const double width = pen->unit == UnitPixel ? pen->width : pen->width * stretch;
    return std::max(1.0, width) * 5.0 + 2.0;
}

// Fills the path built by `build` in the area given by the world points.
template <class Build>
Status Fill(GpGraphics* graphics, GpBrush* brush, const std::vector<double>& xs, const std::vector<double>& ys,
            FillMode mode, Build build)
{
    if (!graphics || !brush)
        return InvalidParameter;
    const GpSolidFill* solid = SolidOf(brush);
    if (!solid)
        return NotImplemented;
    double bounds[4];
    DeviceBounds(graphics, xs.data(), ys.data(), int(xs.size()), 1.0, bounds);
    RenderScope scope(graphics, bounds);
    if (scope.GetStatus() != Ok || !scope.Context())
        return scope.GetStatus();
    cairo_t* context = scope.Context();
    build(context);
    cairo_set_fill_rule(context, mode == FillModeWinding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
    SetColour(context, solid->colour);
    cairo_fill(context);
    return Ok;
}

// pixelCentred: odd pen widths stroke along pixel centres under every
// smoothing mode (outlines of paths, which the platform keeps crisp).
template <class Build>
Status Stroke(GpGraphics* graphics, GpPen* pen, const std::vector<double>& xs, const std::vector<double>& ys,
              Build build, bool pixelCentred = false)
{
    if (!graphics || !pen)
        return InvalidParameter;
    double bounds[4];
    DeviceBounds(graphics, xs.data(), ys.data(), int(xs.size()), PenMargin(graphics, pen), bounds);
    RenderScope scope(graphics, bounds);
    if (scope.GetStatus() != Ok || !scope.Context())
        return scope.GetStatus();
    cairo_t* context = scope.Context();
    // A pen of width 0 is one device pixel wide whatever the transform.
    const bool devicePixels = pen->unit == UnitPixel || pen->width == 0.0f;
    const double width = pen->width == 0.0f ? 1.0 : pen->width;
    const long rounded = std::lround(width);
    if ((pixelCentred || (graphics->smoothing != SmoothingModeAntiAlias &&
                          graphics->smoothing != SmoothingModeHighQuality)) &&
        std::fabs(width - double(rounded)) < 1e-6 && rounded % 2 == 1)
        scope.ShiftForStroke();
    build(context);
    if (devicePixels)
        scope.UseDeviceUnits();
    cairo_set_line_width(context, width);
    switch (pen->join)
    {
    case LineJoinBevel:
        cairo_set_line_join(context, CAIRO_LINE_JOIN_BEVEL);
        break;
    case LineJoinRound:
        cairo_set_line_join(context, CAIRO_LINE_JOIN_ROUND);
        break;
    default:
        cairo_set_line_join(context, CAIRO_LINE_JOIN_MITER);
        break;
    }
    // One-pixel lines reach their last pixel, as the platform draws them.
    cairo_set_line_cap(context, width <= 1.5 ? CAIRO_LINE_CAP_SQUARE : CAIRO_LINE_CAP_BUTT);
    static const double kDash[] = {3, 1}, kDot[] = {1, 1}, kDashDot[] = {3, 1, 1, 1},
                        kDashDotDot[] = {3, 1, 1, 1, 1, 1};
    const double* pattern = nullptr;
    int count = 0;
    switch (pen->dash)
    {
    case DashStyleDash: pattern = kDash; count = 2; break;
    case DashStyleDot: pattern = kDot; count = 2; break;
    case DashStyleDashDot: pattern = kDashDot; count = 4; break;
    case DashStyleDashDotDot: pattern = kDashDotDot; count = 6; break;
    default: break;
    }
    if (pattern)
    {
        double scaled[6];
        for (int i = 0; i < count; ++i)
            scaled[i] = pattern[i] * width;
        cairo_set_dash(context, scaled, count, 0);
    }
    SetColour(context, pen->colour);
    cairo_stroke(context);
    return Ok;
}

std::vector<double> Xs(const GpPoint* points, INT count)
{
    std::vector<double> xs;
    for (INT i = 0; i < count; ++i)
        xs.push_back(points[i].X);
    return xs;
}

std::vector<double> Ys(const GpPoint* points, INT count)
{
    std::vector<double> ys;
    for (INT i = 0; i < count; ++i)
        ys.push_back(points[i].Y);
    return ys;
}

void PolyPath(cairo_t* context, const GpPoint* points, INT count, bool close)
{
    cairo_move_to(context, points[0].X, points[0].Y);
    for (INT i = 1; i < count; ++i)
        cairo_line_to(context, points[i].X, points[i].Y);
    if (close)
        cairo_close_path(context);
}

void EllipsePath(cairo_t* context, double x, double y, double width, double height)
{
    if (width == 0 || height == 0)
        return;
    cairo_save(context);
    cairo_translate(context, x + width / 2, y + height / 2);
    cairo_scale(context, width / 2, height / 2);
    cairo_arc(context, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(context);
}

} // namespace

Status GdipGraphicsClear(GpGraphics* graphics, ARGB colour)
{
    if (!graphics)
        return InvalidParameter;
    const double bounds[4] = {0, 0, double(graphics->target->width), double(graphics->target->height)};
    RenderScope scope(graphics, bounds);
    if (scope.GetStatus() != Ok || !scope.Context())
        return scope.GetStatus();
    cairo_t* context = scope.Context();
    cairo_set_operator(context, CAIRO_OPERATOR_SOURCE);
    SetColour(context, colour);
    cairo_paint(context);
    return Ok;
}

Status GdipFillRectangle(GpGraphics* graphics, GpBrush* brush, REAL x, REAL y, REAL width, REAL height)
{
    if (!Finite({x, y, width, height}))
        return InvalidParameter;
    return Fill(graphics, brush, {x, x + width, x, x + width}, {y, y, y + height, y + height}, FillModeAlternate,
                [&](cairo_t* context) { cairo_rectangle(context, x, y, width, height); });
}

Status GdipFillRectangleI(GpGraphics* graphics, GpBrush* brush, INT x, INT y, INT width, INT height)
{
    return GdipFillRectangle(graphics, brush, REAL(x), REAL(y), REAL(width), REAL(height));
}

Status GdipFillRectanglesI(GpGraphics* graphics, GpBrush* brush, const GpRect* rects, INT count)
{
    if (!rects || count <= 0)
        return InvalidParameter;
    for (INT i = 0; i < count; ++i)
    {
        Status status = GdipFillRectangleI(graphics, brush, rects[i].X, rects[i].Y, rects[i].Width, rects[i].Height);
        if (status != Ok)
            return status;
    }
    return Ok;
}

Status GdipFillPolygonI(GpGraphics* graphics, GpBrush* brush, const GpPoint* points, INT count, FillMode mode)
{
    if (!points || count < 3)
        return InvalidParameter;
    return Fill(graphics, brush, Xs(points, count), Ys(points, count), mode,
                [&](cairo_t* context) { PolyPath(context, points, count, true); });
}

Status GdipFillEllipseI(GpGraphics* graphics, GpBrush* brush, INT x, INT y, INT width, INT height)
{
    const double x1 = double(x) + width, y1 = double(y) + height;
    return Fill(graphics, brush, {double(x), x1, double(x), x1}, {double(y), double(y), y1, y1}, FillModeAlternate,
                [&](cairo_t* context) { EllipsePath(context, x, y, width, height); });
}

Status GdipDrawLine(GpGraphics* graphics, GpPen* pen, REAL x1, REAL y1, REAL x2, REAL y2)
{
    if (!Finite({x1, y1, x2, y2}))
        return InvalidParameter;
    return Stroke(graphics, pen, {x1, x2}, {y1, y2}, [&](cairo_t* context) {
        cairo_move_to(context, x1, y1);
        cairo_line_to(context, x2, y2);
    });
}

Status GdipDrawLineI(GpGraphics* graphics, GpPen* pen, INT x1, INT y1, INT x2, INT y2)
{
    return GdipDrawLine(graphics, pen, REAL(x1), REAL(y1), REAL(x2), REAL(y2));
}

Status GdipDrawLinesI(GpGraphics* graphics, GpPen* pen, const GpPoint* points, INT count)
{
    if (!points || count < 2)
        return InvalidParameter;
    return Stroke(graphics, pen, Xs(points, count), Ys(points, count),
                  [&](cairo_t* context) { PolyPath(context, points, count, false); });
}

Status GdipDrawRectangle(GpGraphics* graphics, GpPen* pen, REAL x, REAL y, REAL width, REAL height)
{
    if (!Finite({x, y, width, height}) || width < 0 || height < 0)
        return InvalidParameter;
    // An inset pen keeps a wide outline inside the rectangle.
    if (pen != nullptr && pen->alignment == PenAlignmentInset && pen->width > 1.0f)
    {
        const REAL half = std::min({pen->width / 2, width / 2, height / 2});
        x += half;
        y += half;
        width -= 2 * half;
        height -= 2 * half;
    }
    return Stroke(graphics, pen, {x, x + width, x, x + width}, {y, y, y + height, y + height},
                  [&](cairo_t* context) { cairo_rectangle(context, x, y, width, height); });
}

Status GdipDrawRectangleI(GpGraphics* graphics, GpPen* pen, INT x, INT y, INT width, INT height)
{
    return GdipDrawRectangle(graphics, pen, REAL(x), REAL(y), REAL(width), REAL(height));
}

Status GdipDrawPolygonI(GpGraphics* graphics, GpPen* pen, const GpPoint* points, INT count)
{
    if (!points || count < 2)
        return InvalidParameter;
    return Stroke(graphics, pen, Xs(points, count), Ys(points, count),
                  [&](cairo_t* context) { PolyPath(context, points, count, true); });
}

Status GdipDrawEllipseI(GpGraphics* graphics, GpPen* pen, INT x, INT y, INT width, INT height)
{
    const double x1 = double(x) + width, y1 = double(y) + height;
    return Stroke(graphics, pen, {double(x), x1, double(x), x1}, {double(y), double(y), y1, y1},
                  [&](cairo_t* context) { EllipsePath(context, x, y, width, height); });
}

Status GdipDrawImageRectRectI(GpGraphics* graphics, GpImage* image, INT dstX, INT dstY, INT dstWidth,
                              INT dstHeight, INT srcX, INT srcY, INT srcWidth, INT srcHeight, Unit srcUnit,
                              const GpImageAttributes* attributes, DrawImageAbort callback, void*)
{
    if (!graphics || !image)
        return InvalidParameter;
    if (srcUnit != UnitPixel || attributes || callback)
        return NotImplemented;
    auto* bitmap = dynamic_cast<GpBitmap*>(image);
    if (!bitmap)
        return NotImplemented;
    if (bitmap == graphics->target || bitmap->locked)
        return WrongState;
    if (dstWidth == 0 || dstHeight == 0 || srcWidth <= 0 || srcHeight <= 0)
        return Ok;
    // The source rectangle is cut to the image; the destination shrinks
    // with it in proportion.
    const double sx0 = std::max(0, srcX), sy0 = std::max(0, srcY);
    const double sx1 = std::min<double>(double(srcX) + srcWidth, bitmap->width);
    const double sy1 = std::min<double>(double(srcY) + srcHeight, bitmap->height);
    if (sx1 <= sx0 || sy1 <= sy0)
        return Ok;
    const double scaleX = double(dstWidth) / srcWidth, scaleY = double(dstHeight) / srcHeight;
    const double dx0 = dstX + (sx0 - srcX) * scaleX, dy0 = dstY + (sy0 - srcY) * scaleY;
    const double dx1 = dstX + (sx1 - srcX) * scaleX, dy1 = dstY + (sy1 - srcY) * scaleY;

    const int copyWidth = int(sx1 - sx0), copyHeight = int(sy1 - sy0);
    cairo_surface_t* source = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, copyWidth, copyHeight);
    if (cairo_surface_status(source) != CAIRO_STATUS_SUCCESS)
    {
        cairo_surface_destroy(source);
        return OutOfMemory;
    }
    unsigned char* data = cairo_image_surface_get_data(source);
    const int stride = cairo_image_surface_get_stride(source);
    for (int row = 0; row < copyHeight; ++row)
    {
        auto* out = reinterpret_cast<std::uint32_t*>(data + std::ptrdiff_t(row) * stride);
        for (int column = 0; column < copyWidth; ++column)
            out[column] = Premultiply(bitmap->Get(UINT(sx0) + UINT(column), UINT(sy0) + UINT(row)));
    }
    cairo_surface_mark_dirty(source);

    Status status = Ok;
    {
        double bounds[4];
        const double xs[4] = {dx0, dx1, dx0, dx1}, ys[4] = {dy0, dy0, dy1, dy1};
        DeviceBounds(graphics, xs, ys, 4, 1.0, bounds);
        RenderScope scope(graphics, bounds);
        status = scope.GetStatus();
        if (status == Ok && scope.Context())
        {
            cairo_t* context = scope.Context();
            cairo_rectangle(context, std::min(dx0, dx1), std::min(dy0, dy1), std::fabs(dx1 - dx0),
                            std::fabs(dy1 - dy0));
            cairo_clip(context);
            cairo_translate(context, dx0, dy0);
            cairo_scale(context, (dx1 - dx0) / copyWidth, (dy1 - dy0) / copyHeight);
            cairo_set_source_surface(context, source, 0, 0);
            const cairo_matrix_t& m = graphics->world;
            const bool unscaled = scaleX == 1.0 && scaleY == 1.0 && m.xx == 1.0 && m.yy == 1.0 && m.xy == 0.0 &&
                                  m.yx == 0.0;
            cairo_pattern_set_filter(cairo_get_source(context), unscaled ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_BILINEAR);
            // Edge pixels are stretched, not faded into transparency.
            cairo_pattern_set_extend(cairo_get_source(context), CAIRO_EXTEND_PAD);
            cairo_paint(context);
        }
    }
    cairo_surface_destroy(source);
    return status;
}

Status GdipDrawImageRectI(GpGraphics* graphics, GpImage* image, INT x, INT y, INT width, INT height)
{
    if (!image)
        return InvalidParameter;
    return GdipDrawImageRectRectI(graphics, image, x, y, width, height, 0, 0, INT(image->width), INT(image->height),
                                  UnitPixel, nullptr, nullptr, nullptr);
}

Status GdipDrawImageI(GpGraphics* graphics, GpImage* image, INT x, INT y)
{
    if (!image)
        return InvalidParameter;
    return GdipDrawImageRectI(graphics, image, x, y, INT(image->width), INT(image->height));
}

class GpPath
{
public:
    struct Arc
    {
        double x, y, width, height, start, sweep;
    };
    struct Figure
    {
        std::vector<Arc> arcs;
        bool closed = false;
    };
    FillMode fillMode = FillModeAlternate;
    std::vector<Figure> figures;

    // inset: every arc's ellipse shrunk by that much on each side, which
    // moves a closed outline of corner arcs inwards.
    void Build(cairo_t* context, double inset = 0) const
    {
        for (const Figure& figure : figures)
        {
            cairo_new_sub_path(context);
            for (const Arc& a : figure.arcs)
            {
                const double w = a.width - 2 * inset, h = a.height - 2 * inset;
                if (w <= 0 || h <= 0)
                    continue;
                cairo_save(context);
                cairo_translate(context, a.x + a.width / 2, a.y + a.height / 2);
                cairo_scale(context, w / 2, h / 2);
                const double from = a.start * M_PI / 180.0, to = (a.start + a.sweep) * M_PI / 180.0;
                if (a.sweep >= 0)
                    cairo_arc(context, 0, 0, 1, from, to);
                else
                    cairo_arc_negative(context, 0, 0, 1, from, to);
                cairo_restore(context);
            }
            if (figure.closed)
                cairo_close_path(context);
        }
    }
    void Bounds(std::vector<double>* xs, std::vector<double>* ys) const
    {
        for (const Figure& figure : figures)
            for (const Arc& a : figure.arcs)
            {
                xs->insert(xs->end(), {a.x, a.x + a.width});
                ys->insert(ys->end(), {a.y, a.y + a.height});
            }
        if (xs->empty())
        {
            xs->push_back(0);
            ys->push_back(0);
        }
    }
};

Status GdipCreatePath(FillMode fillMode, GpPath** path)
{
    if (path == nullptr)
        return InvalidParameter;
    auto* created = new (std::nothrow) GpPath;
    if (created == nullptr)
        return OutOfMemory;
    created->fillMode = fillMode;
    *path = created;
    return Ok;
}

Status GdipDeletePath(GpPath* path)
{
    if (path == nullptr)
        return InvalidParameter;
    delete path;
    return Ok;
}

Status GdipAddPathArc(GpPath* path, REAL x, REAL y, REAL width, REAL height, REAL startAngle, REAL sweepAngle)
{
    if (path == nullptr || !Finite({x, y, width, height, startAngle, sweepAngle}))
        return InvalidParameter;
    if (path->figures.empty() || path->figures.back().closed)
        path->figures.emplace_back();
    path->figures.back().arcs.push_back(GpPath::Arc{x, y, width, height, startAngle, sweepAngle});
    return Ok;
}

Status GdipAddPathArcI(GpPath* path, INT x, INT y, INT width, INT height, REAL startAngle, REAL sweepAngle)
{
    return GdipAddPathArc(path, REAL(x), REAL(y), REAL(width), REAL(height), startAngle, sweepAngle);
}

Status GdipClosePathFigure(GpPath* path)
{
    if (path == nullptr)
        return InvalidParameter;
    if (!path->figures.empty())
        path->figures.back().closed = true;
    return Ok;
}

// Each arc counts as its two end points.
Status GdipGetPointCount(GpPath* path, INT* count)
{
    if (path == nullptr || count == nullptr)
        return InvalidParameter;
    INT n = 0;
    for (const GpPath::Figure& figure : path->figures)
        n += static_cast<INT>(figure.arcs.size()) * 2;
    *count = n;
    return Ok;
}

Status GdipFillPath(GpGraphics* graphics, GpBrush* brush, GpPath* path)
{
    if (path == nullptr)
        return InvalidParameter;
    std::vector<double> xs, ys;
    path->Bounds(&xs, &ys);
    return Fill(graphics, brush, xs, ys, path->fillMode, [&](cairo_t* context) { path->Build(context); });
}

Status GdipDrawPath(GpGraphics* graphics, GpPen* pen, GpPath* path)
{
    if (path == nullptr)
        return InvalidParameter;
    std::vector<double> xs, ys;
    path->Bounds(&xs, &ys);
    // An inset pen keeps a wide outline inside the figure.
    const double inset =
        pen != nullptr && pen->alignment == PenAlignmentInset && pen->width > 1.0f ? pen->width / 2.0 : 0.0;
    return Stroke(
        graphics, pen, xs, ys, [&](cairo_t* context) { path->Build(context, inset); }, true);
}
