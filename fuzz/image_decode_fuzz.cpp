// Images come from resources and streams (PNG and BMP files, packed DIBs).
// Invariant: decoding never crashes or reads out of bounds; a refused image
// gives a failure status and no bitmap; an accepted one has every pixel
// readable and no more pixels than its bytes can describe.
#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/image_codec.h"
#include "platform/win32/stream.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace
{

void CheckBitmap(GpBitmap* bitmap, std::size_t size)
{
    UINT width = 0, height = 0;
    if (GdipGetImageWidth(bitmap, &width) != Ok || GdipGetImageHeight(bitmap, &height) != Ok || width == 0 ||
        height == 0)
        std::abort();
    // The deflate ceiling for PNG, 32 output pixels per input byte for BMP.
    if (std::uint64_t(width) * height > std::uint64_t(size) * 1032 * 8 + 4096)
        std::abort();
    ARGB colour = 0;
    if (GdipBitmapGetPixel(bitmap, INT(width - 1), INT(height - 1), &colour) != Ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const ULONG_PTR token = [] {
        ULONG_PTR t = 0;
        GdiplusStartupInput input;
        GdiplusStartup(&t, &input, nullptr);
        return t;
    }();
    (void)token;

    // Through a stream, as resources are loaded.
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (size)
    {
        std::memcpy(GlobalLock(block), data, size);
        GlobalUnlock(block);
    }
    IStream* stream = nullptr;
    if (SUCCEEDED(CreateStreamOnHGlobal(block, TRUE, &stream)))
    {
        GpBitmap* bitmap = nullptr;
        const Status status = GdipCreateBitmapFromStream(stream, &bitmap);
        if ((status == Ok) != (bitmap != nullptr))
            std::abort();
        if (bitmap)
        {
            CheckBitmap(bitmap, size);
            GdipDisposeImage(bitmap);
        }
        stream->Release();
    }

    // As a packed DIB, the form of bitmap resources.
    std::unique_ptr<GpBitmap> dib;
    if (gdiplus::detail::DecodeBmp(data, size, false, dib) == Ok)
        CheckBitmap(dib.get(), size);
    else if (dib)
        std::abort();
    return 0;
}
