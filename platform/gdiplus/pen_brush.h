// Pens and solid brushes.
#pragma once

#include "platform/gdiplus/gdiplus_types.h"

Status GdipCreatePen1(ARGB colour, REAL width, Unit unit, GpPen** pen);
Status GdipDeletePen(GpPen* pen);
Status GdipGetPenColor(GpPen* pen, ARGB* colour);
Status GdipSetPenColor(GpPen* pen, ARGB colour);
Status GdipGetPenWidth(GpPen* pen, REAL* width);
Status GdipSetPenWidth(GpPen* pen, REAL width);
Status GdipSetPenLineJoin(GpPen* pen, LineJoin join);
// Inset pens draw closed shapes inside their outline.
Status GdipSetPenMode(GpPen* pen, PenAlignment alignment);
Status GdipSetPenDashStyle(GpPen* pen, DashStyle dash);

Status GdipCreateSolidFill(ARGB colour, GpSolidFill** brush);
Status GdipGetSolidFillColor(GpSolidFill* brush, ARGB* colour);
Status GdipSetSolidFillColor(GpSolidFill* brush, ARGB colour);
Status GdipDeleteBrush(GpBrush* brush);
