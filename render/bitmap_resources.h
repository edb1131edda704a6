// GDI+ bitmaps from the module's resources and colour-keyed transparent
// copies of them. Every function returns a new bitmap the caller disposes
// (GdipDisposeImage), or null.
#pragma once

#include "platform/gdiplus/gdiplus_types.h"

#include <cstdint>

struct IStream;

GpBitmap* BitmapFromStream(IStream* stream, bool useColourManagement);
GpBitmap* BitmapFromResource(HINSTANCE module, std::uint32_t id);
// An image resource of any type (PNG or BMP bytes); null when the resource
// is missing, empty or cannot be decoded.
GpBitmap* LoadImageResource(std::uint32_t id, LPCWSTR type, HINSTANCE module);
// A bitmap resource of the application's resource module; with alpha below
// 255, the colour of its top-left pixel becomes transparent and every other
// pixel gets that alpha.
GpBitmap* LoadBitmapResource(std::uint32_t id, std::uint8_t alpha);
// A 32-bit ARGB copy: alpha 0 where red, green and blue equal the key's,
// `alpha` elsewhere.
GpBitmap* MakeTransparentCopy(GpBitmap* bitmap, std::uint8_t alpha, ARGB key);
// MakeTransparentCopy keyed on the pixel at (0, 0) (opaque black when it
// cannot be read).
GpBitmap* MakeTransparentByCorner(GpBitmap* bitmap, std::uint8_t alpha);
