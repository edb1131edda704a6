// Graphics objects over bitmaps: world transform, clip, smoothing and
// compositing state, saved states, and the matrices they use.
//
// Defaults follow the platform: no antialiasing (shapes cover whole pixels),
// source-over compositing, identity transform, no clip.
#pragma once

#include "platform/gdiplus/gdiplus_types.h"

Status GdipGetImageGraphicsContext(GpImage* image, GpGraphics** graphics);
Status GdipDeleteGraphics(GpGraphics* graphics);

Status GdipResetWorldTransform(GpGraphics* graphics);
Status GdipTranslateWorldTransform(GpGraphics* graphics, REAL dx, REAL dy, MatrixOrder order);
Status GdipScaleWorldTransform(GpGraphics* graphics, REAL sx, REAL sy, MatrixOrder order);
Status GdipRotateWorldTransform(GpGraphics* graphics, REAL degrees, MatrixOrder order);
Status GdipSetWorldTransform(GpGraphics* graphics, GpMatrix* matrix);
Status GdipGetWorldTransform(GpGraphics* graphics, GpMatrix* matrix);
Status GdipMultiplyWorldTransform(GpGraphics* graphics, const GpMatrix* matrix, MatrixOrder order);

// The clip is kept as a device rectangle: the transformed rectangle's
// bounds (exact for transforms without rotation).
Status GdipResetClip(GpGraphics* graphics);
Status GdipSetClipRect(GpGraphics* graphics, REAL x, REAL y, REAL width, REAL height, CombineMode mode);
Status GdipSetClipRectI(GpGraphics* graphics, INT x, INT y, INT width, INT height, CombineMode mode);
// The clip's bounds in device pixels (the whole bitmap without a clip).
Status GdipGetClipBoundsI(GpGraphics* graphics, GpRect* rect);

Status GdipSetSmoothingMode(GpGraphics* graphics, SmoothingMode mode);
Status GdipGetSmoothingMode(GpGraphics* graphics, SmoothingMode* mode);
Status GdipSetCompositingMode(GpGraphics* graphics, CompositingMode mode);
Status GdipGetCompositingMode(GpGraphics* graphics, CompositingMode* mode);

Status GdipSaveGraphics(GpGraphics* graphics, GraphicsState* state);
// Restores a saved state and forgets it and every state saved after it.
Status GdipRestoreGraphics(GpGraphics* graphics, GraphicsState state);

Status GdipCreateMatrix(GpMatrix** matrix);
Status GdipCreateMatrix2(REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy, GpMatrix** matrix);
Status GdipDeleteMatrix(GpMatrix* matrix);
Status GdipSetMatrixElements(GpMatrix* matrix, REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy);
// Six values: m11, m12, m21, m22, dx, dy.
Status GdipGetMatrixElements(const GpMatrix* matrix, REAL* elements);
