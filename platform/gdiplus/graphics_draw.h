// Drawing shapes and images with a graphics object. Integer outlines cover
// the pixels of their corners inclusive (a rectangle outline of width w is
// w + 1 pixels wide), fills cover the pixels inside (w pixels wide).
#pragma once

#include "platform/gdiplus/gdiplus_types.h"

class GpImageAttributes;
using DrawImageAbort = BOOL (*)(void* data);

// Every pixel inside the clip becomes the colour (no blending).
Status GdipGraphicsClear(GpGraphics* graphics, ARGB colour);

Status GdipFillRectangleI(GpGraphics* graphics, GpBrush* brush, INT x, INT y, INT width, INT height);
Status GdipFillRectangle(GpGraphics* graphics, GpBrush* brush, REAL x, REAL y, REAL width, REAL height);
Status GdipFillRectanglesI(GpGraphics* graphics, GpBrush* brush, const GpRect* rects, INT count);
Status GdipFillPolygonI(GpGraphics* graphics, GpBrush* brush, const GpPoint* points, INT count, FillMode mode);
Status GdipFillEllipseI(GpGraphics* graphics, GpBrush* brush, INT x, INT y, INT width, INT height);

Status GdipDrawLineI(GpGraphics* graphics, GpPen* pen, INT x1, INT y1, INT x2, INT y2);
Status GdipDrawLine(GpGraphics* graphics, GpPen* pen, REAL x1, REAL y1, REAL x2, REAL y2);
Status GdipDrawLinesI(GpGraphics* graphics, GpPen* pen, const GpPoint* points, INT count);
Status GdipDrawRectangleI(GpGraphics* graphics, GpPen* pen, INT x, INT y, INT width, INT height);
Status GdipDrawRectangle(GpGraphics* graphics, GpPen* pen, REAL x, REAL y, REAL width, REAL height);
Status GdipDrawPolygonI(GpGraphics* graphics, GpPen* pen, const GpPoint* points, INT count);
Status GdipDrawEllipseI(GpGraphics* graphics, GpPen* pen, INT x, INT y, INT width, INT height);

// Images are drawn source-over; a scaled image is filtered bilinearly, an
// unscaled one at whole-pixel offsets is copied exactly. Image attributes and
// abort callbacks are not supported (null expected).
Status GdipDrawImageI(GpGraphics* graphics, GpImage* image, INT x, INT y);
Status GdipDrawImageRectI(GpGraphics* graphics, GpImage* image, INT x, INT y, INT width, INT height);
Status GdipDrawImageRectRectI(GpGraphics* graphics, GpImage* image, INT dstX, INT dstY, INT dstWidth,
                              INT dstHeight, INT srcX, INT srcY, INT srcWidth, INT srcHeight, Unit srcUnit,
                              const GpImageAttributes* attributes, DrawImageAbort callback, void* callbackData);
