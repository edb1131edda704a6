#include "render/bitmap_resources.h"

#include "platform/gdiplus/gdiplus.h"
#include "platform/mfc/win_app.h"
#include "platform/win32/resource_data.h"
#include "platform/win32/stream.h"

#include <cstring>

GpBitmap* BitmapFromStream(IStream* stream, bool useColourManagement)
{
    GpBitmap* bitmap = nullptr;
    const Status status = useColourManagement ? GdipCreateBitmapFromStreamICM(stream, &bitmap)
                                              : GdipCreateBitmapFromStream(stream, &bitmap);
    if (status != Ok && bitmap)
    {
        GdipDisposeImage(bitmap);
        bitmap = nullptr;
    }
    return bitmap;
}

GpBitmap* BitmapFromResource(HINSTANCE module, std::uint32_t id)
{
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromResource(module, MAKEINTRESOURCEW(id), &bitmap) != Ok)
        return nullptr;
    return bitmap;
}

GpBitmap* LoadImageResource(std::uint32_t id, LPCWSTR type, HINSTANCE module)
{
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!resource)
        return nullptr;
    const DWORD size = SizeofResource(module, resource);
    if (size == 0)
        return nullptr;
    const void* bytes = LockResource(LoadResource(module, resource));
    if (!bytes)
        return nullptr;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block)
        return nullptr;
    GpBitmap* result = nullptr;
    if (void* copy = GlobalLock(block))
    {
        std::memcpy(copy, bytes, size);
        GlobalUnlock(block);
        IStream* stream = nullptr;
        if (SUCCEEDED(CreateStreamOnHGlobal(block, FALSE, &stream)))
        {
            GpBitmap* decoded = BitmapFromStream(stream, false);
            // A bitmap made from a stream may go back to it for its pixels;
            // a copy with pixels of its own outlives the stream and the block.
            if (decoded)
            {
                GpImage* clone = nullptr;
                if (GdipCloneImage(decoded, &clone) == Ok)
                    result = static_cast<GpBitmap*>(clone);
                GdipDisposeImage(decoded);
            }
            stream->Release();
        }
    }
    // The block goes on every path, the bitmap never needs it.
    GlobalFree(block);
    return result;
}

GpBitmap* LoadBitmapResource(std::uint32_t id, std::uint8_t alpha)
{
    GpBitmap* loaded = BitmapFromResource(AfxGetResourceHandle(), id);
    if (!loaded || alpha == 255)
        return loaded;
    GpBitmap* transparent = MakeTransparentByCorner(loaded, alpha);
    GdipDisposeImage(loaded);
    return transparent;
}

GpBitmap* MakeTransparentByCorner(GpBitmap* bitmap, std::uint8_t alpha)
{
    if (!bitmap)
        return nullptr;
    ARGB key = 0xFF000000u;
    if (GdipBitmapGetPixel(bitmap, 0, 0, &key) != Ok)
        key = 0xFF000000u;
    return MakeTransparentCopy(bitmap, alpha, key);
}

GpBitmap* MakeTransparentCopy(GpBitmap* bitmap, std::uint8_t alpha, ARGB key)
{
    UINT width = 0, height = 0;
    if (!bitmap || GdipGetImageWidth(bitmap, &width) != Ok || GdipGetImageHeight(bitmap, &height) != Ok)
        return nullptr;
    GpBitmap* copy = nullptr;
    if (GdipCreateBitmapFromScan0(INT(width), INT(height), 0, PixelFormat32bppARGB, nullptr, &copy) != Ok)
        return nullptr;
    BitmapData source{}, target{};
    const GpRect all{0, 0, INT(width), INT(height)};
    if (GdipBitmapLockBits(bitmap, &all, ImageLockModeRead, PixelFormat32bppARGB, &source) != Ok)
    {
        GdipDisposeImage(copy);
        return nullptr;
    }
    if (GdipBitmapLockBits(copy, &all, ImageLockModeWrite, PixelFormat32bppARGB, &target) != Ok)
    {
        GdipBitmapUnlockBits(bitmap, &source);
        GdipDisposeImage(copy);
        return nullptr;
    }
    const ARGB keyColour = key & 0x00FFFFFFu;
    for (UINT y = 0; y < height; ++y)
    {
        const auto* in = reinterpret_cast<const ARGB*>(static_cast<const BYTE*>(source.Scan0) + std::ptrdiff_t(y) * source.Stride);
        auto* out = reinterpret_cast<ARGB*>(static_cast<BYTE*>(target.Scan0) + std::ptrdiff_t(y) * target.Stride);
        for (UINT x = 0; x < width; ++x)
        {
            const ARGB colour = in[x] & 0x00FFFFFFu;
            out[x] = colour | (colour == keyColour ? 0u : ARGB(alpha) << 24);
        }
    }
    GdipBitmapUnlockBits(copy, &target);
    GdipBitmapUnlockBits(bitmap, &source);
    return copy;
}
