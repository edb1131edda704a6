// Bitmaps: over caller memory or with pixels of their own, pixel access and
// locking. A bitmap over caller memory reads and writes that memory
// directly; a negative stride with scan0 at the last row in memory gives a
// bitmap whose rows run top-down over a bottom-up buffer.
#pragma once

#include "platform/gdiplus/gdiplus_types.h"

// With scan0 null the bitmap gets zeroed pixels of its own (stride ignored).
// Formats: 32 bpp ARGB, PARGB and RGB over caller memory; any of those and
// 24 bpp RGB for own pixels.
Status GdipCreateBitmapFromScan0(INT width, INT height, INT stride, PixelFormat format, BYTE* scan0,
                                 GpBitmap** bitmap);
Status GdipDisposeImage(GpImage* image);
Status GdipGetImageWidth(GpImage* image, UINT* width);
Status GdipGetImageHeight(GpImage* image, UINT* height);
Status GdipGetImagePixelFormat(GpImage* image, PixelFormat* format);
Status GdipCloneImage(GpImage* image, GpImage** clone);
// A copy of the area with pixels of its own in the given format.
Status GdipCloneBitmapAreaI(INT x, INT y, INT width, INT height, PixelFormat format, GpBitmap* source,
                            GpBitmap** clone);

Status GdipBitmapGetPixel(GpBitmap* bitmap, INT x, INT y, ARGB* colour);
Status GdipBitmapSetPixel(GpBitmap* bitmap, INT x, INT y, ARGB colour);

// Formats handed out: 32 bpp ARGB, PARGB, RGB and 24 bpp RGB. A null rect
// locks the whole bitmap. A locked bitmap refuses drawing and a second lock.
Status GdipBitmapLockBits(GpBitmap* bitmap, const GpRect* rect, UINT flags, PixelFormat format,
                          BitmapData* lockedData);
Status GdipBitmapUnlockBits(GpBitmap* bitmap, BitmapData* lockedData);
