#include "platform/gdiplus/pen_brush.h"

#include "platform/gdiplus/gdiplus_objects.h"

#include <cmath>
#include <new>

using namespace gdiplus::detail;

Status GdipCreatePen1(ARGB colour, REAL width, Unit unit, GpPen** pen)
{
    if (!pen)
        return InvalidParameter;
    *pen = nullptr;
    if (!Started())
        return GdiplusNotInitialized;
    if (!std::isfinite(width) || width < 0 || (unit != UnitWorld && unit != UnitPixel))
        return InvalidParameter;
    auto* created = new (std::nothrow) GpPen;
    if (!created)
        return OutOfMemory;
    created->colour = colour;
    created->width = width;
    created->unit = unit;
    *pen = created;
    return Ok;
}

Status GdipDeletePen(GpPen* pen)
{
    if (!pen)
        return InvalidParameter;
    delete pen;
    return Ok;
}

Status GdipGetPenColor(GpPen* pen, ARGB* colour)
{
    if (!pen || !colour)
        return InvalidParameter;
    *colour = pen->colour;
    return Ok;
}

Status GdipSetPenColor(GpPen* pen, ARGB colour)
{
    if (!pen)
        return InvalidParameter;
    pen->colour = colour;
    return Ok;
}

Status GdipGetPenWidth(GpPen* pen, REAL* width)
{
    if (!pen || !width)
        return InvalidParameter;
    *width = pen->width;
    return Ok;
}

Status GdipSetPenWidth(GpPen* pen, REAL width)
{
    if (!pen || !std::isfinite(width) || width < 0)
        return InvalidParameter;
    pen->width = width;
    return Ok;
}

Status GdipSetPenLineJoin(GpPen* pen, LineJoin join)
{
    if (!pen || join < LineJoinMiter || join > LineJoinMiterClipped)
        return InvalidParameter;
    pen->join = join;
    return Ok;
}

Status GdipSetPenMode(GpPen* pen, PenAlignment alignment)
{
    if (!pen || (alignment != PenAlignmentCenter && alignment != PenAlignmentInset))
        return InvalidParameter;
    pen->alignment = alignment;
    return Ok;
}

Status GdipSetPenDashStyle(GpPen* pen, DashStyle dash)
{
    if (!pen || dash < DashStyleSolid || dash > DashStyleDashDotDot)
        return InvalidParameter;
    pen->dash = dash;
    return Ok;
}

Status GdipCreateSolidFill(ARGB colour, GpSolidFill** brush)
{
    if (!brush)
        return InvalidParameter;
    *brush = nullptr;
    if (!Started())
        return GdiplusNotInitialized;
    *brush = new (std::nothrow) GpSolidFill(colour);
    return *brush ? Ok : OutOfMemory;
}

Status GdipGetSolidFillColor(GpSolidFill* brush, ARGB* colour)
{
    if (!brush || !colour)
        return InvalidParameter;
    *colour = brush->colour;
    return Ok;
}

Status GdipSetSolidFillColor(GpSolidFill* brush, ARGB colour)
{
    if (!brush)
        return InvalidParameter;
    brush->colour = colour;
    return Ok;
}

Status GdipDeleteBrush(GpBrush* brush)
{
    if (!brush)
        return InvalidParameter;
    delete brush;
    return Ok;
}
