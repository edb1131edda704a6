// Images from streams and from a module's bitmap resources. The bytes are
// decoded when the bitmap is made (PNG through cairo, BMP and DIB by our own
// decoder), so a bitmap never reads its stream again and the stream and its
// memory may be released as soon as the call returns.
#pragma once

#include "platform/gdiplus/gdiplus_types.h"

struct IStream;

// Reads the stream from its position to its end. A damaged image gives
// InvalidParameter, an unknown format UnknownImageFormat.
Status GdipCreateBitmapFromStream(IStream* stream, GpBitmap** bitmap);
Status GdipCreateBitmapFromStreamICM(IStream* stream, GpBitmap** bitmap);
Status GdipLoadImageFromStream(IStream* stream, GpImage** image);
// A bitmap resource (a packed DIB) of the module; InvalidParameter when the
// module has no such bitmap.
Status GdipCreateBitmapFromResource(HINSTANCE module, const WCHAR* name, GpBitmap** bitmap);
