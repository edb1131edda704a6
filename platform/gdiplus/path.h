// GDI+ paths of elliptical arcs: each arc joins the previous one of its
// figure with a straight line, as the platform draws them.
#pragma once

#include "platform/gdiplus/gdiplus_types.h"

class GpPath;
class GpBrush;

Status GdipCreatePath(FillMode fillMode, GpPath** path);
Status GdipDeletePath(GpPath* path);
// An arc of the ellipse inside (x, y, width, height), from startAngle over
// sweepAngle degrees (clockwise on screen).
Status GdipAddPathArc(GpPath* path, REAL x, REAL y, REAL width, REAL height, REAL startAngle, REAL sweepAngle);
Status GdipAddPathArcI(GpPath* path, INT x, INT y, INT width, INT height, REAL startAngle, REAL sweepAngle);
Status GdipClosePathFigure(GpPath* path);
Status GdipGetPointCount(GpPath* path, INT* count);
Status GdipFillPath(GpGraphics* graphics, GpBrush* brush, GpPath* path);
Status GdipDrawPath(GpGraphics* graphics, GpPen* pen, GpPath* path);
