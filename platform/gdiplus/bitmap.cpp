#include "platform/gdiplus/bitmap.h"

#include "platform/gdiplus/gdiplus_objects.h"

#include <cstring>
#include <limits>
#include <new>

using namespace gdiplus::detail;

namespace
{

// Beyond this a bitmap's pixel count would not fit the 32-bit sizes that
// callers compute with.
constexpr std::uint64_t kMaxPixels = std::uint64_t(1) << 28;

bool IsThirtyTwoBit(PixelFormat format)
{
    return format == PixelFormat32bppARGB || format == PixelFormat32bppPARGB || format == PixelFormat32bppRGB;
}

AlphaStorage StorageOf(PixelFormat format)
{
    if (format == PixelFormat32bppPARGB)
        return AlphaStorage::Premultiplied;
    if (format == PixelFormat32bppRGB || format == PixelFormat24bppRGB)
        return AlphaStorage::Ignored;
    return AlphaStorage::Straight;
}

// Converts one straight pixel to how a lock format holds it, and back.
std::uint32_t ToFormat(std::uint32_t argb, PixelFormat format)
{
    if (format == PixelFormat32bppPARGB)
        return Premultiply(argb);
    if (format == PixelFormat32bppRGB)
        return argb | 0xFF000000u;
    return argb;
}

std::uint32_t FromFormat(std::uint32_t value, PixelFormat format)
{
    if (format == PixelFormat32bppPARGB)
        return Unpremultiply(value);
    if (format == PixelFormat32bppRGB)
        return value | 0xFF000000u;
    return value;
}

UINT LockStride(UINT width, PixelFormat format)
{
    return ((width * GetPixelFormatSize(format) + 31) / 32) * 4;
}

} // namespace

GpBitmap::GpBitmap(UINT w, UINT h, INT rowStride, PixelFormat pixelFormat, std::uint8_t* firstRow)
{
    width = w;
    height = h;
    format = pixelFormat;
    storage = StorageOf(pixelFormat);
    scan0 = firstRow;
    stride = rowStride;
}

GpBitmap::GpBitmap(UINT w, UINT h, PixelFormat pixelFormat)
{
    width = w;
    height = h;
    format = pixelFormat;
    storage = StorageOf(pixelFormat);
    owned.assign(static_cast<std::size_t>(w) * h, pixelFormat == PixelFormat24bppRGB || pixelFormat == PixelFormat32bppRGB
                                                      ? 0xFF000000u
                                                      : 0u);
    scan0 = reinterpret_cast<std::uint8_t*>(owned.data());
    stride = static_cast<std::ptrdiff_t>(w) * 4;
}

std::uint32_t GpBitmap::Get(UINT x, UINT y) const
{
    const std::uint32_t value = Row(y)[x];
    switch (storage)
    {
    case AlphaStorage::Premultiplied:
        return Unpremultiply(value);
    case AlphaStorage::Ignored:
        return value | 0xFF000000u;
    case AlphaStorage::Straight:
        break;
    }
    return value;
}

void GpBitmap::Set(UINT x, UINT y, std::uint32_t argb)
{
    switch (storage)
    {
    case AlphaStorage::Premultiplied:
        Row(y)[x] = Premultiply(argb);
        return;
    case AlphaStorage::Ignored:
        Row(y)[x] = argb | 0xFF000000u;
        return;
    case AlphaStorage::Straight:
        Row(y)[x] = argb;
        return;
    }
}

Status GdipCreateBitmapFromScan0(INT width, INT height, INT stride, PixelFormat format, BYTE* scan0,
                                 GpBitmap** bitmap)
{
    if (!bitmap)
        return InvalidParameter;
    *bitmap = nullptr;
    if (!Started())
        return GdiplusNotInitialized;
    if (width <= 0 || height <= 0 ||
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kMaxPixels)
        return InvalidParameter;
    if (scan0)
    {
        // Rows of caller memory must hold a whole row and be 4-byte aligned,
        // in either direction.
        const std::int64_t rowBytes = std::int64_t(width) * 4;
        const std::int64_t magnitude = stride < 0 ? -std::int64_t(stride) : stride;
        if (!IsThirtyTwoBit(format) || magnitude < rowBytes || magnitude % 4 != 0 ||
            reinterpret_cast<std::uintptr_t>(scan0) % 4 != 0)
            return InvalidParameter;
        *bitmap = new (std::nothrow) GpBitmap(UINT(width), UINT(height), stride, format, scan0);
        return *bitmap ? Ok : OutOfMemory;
    }
    if (!IsThirtyTwoBit(format) && format != PixelFormat24bppRGB)
        return InvalidParameter;
    try
    {
        *bitmap = new GpBitmap(UINT(width), UINT(height), format);
    }
    catch (const std::bad_alloc&)
    {
        return OutOfMemory;
    }
    return Ok;
}

Status GdipDisposeImage(GpImage* image)
{
    if (!image)
        return InvalidParameter;
    delete image;
    return Ok;
}

Status GdipGetImageWidth(GpImage* image, UINT* width)
{
    if (!image || !width)
        return InvalidParameter;
    *width = image->width;
    return Ok;
}

Status GdipGetImageHeight(GpImage* image, UINT* height)
{
    if (!image || !height)
        return InvalidParameter;
    *height = image->height;
    return Ok;
}

Status GdipGetImagePixelFormat(GpImage* image, PixelFormat* format)
{
    if (!image || !format)
        return InvalidParameter;
    *format = image->format;
    return Ok;
}

Status GdipCloneBitmapAreaI(INT x, INT y, INT width, INT height, PixelFormat format, GpBitmap* source,
                            GpBitmap** clone)
{
    if (!source || !clone)
        return InvalidParameter;
    *clone = nullptr;
    if (x < 0 || y < 0 || width <= 0 || height <= 0 || std::int64_t(x) + width > std::int64_t(source->width) ||
        std::int64_t(y) + height > std::int64_t(source->height))
        return InvalidParameter;
    if (!IsThirtyTwoBit(format) && format != PixelFormat24bppRGB)
        return InvalidParameter;
    if (source->locked)
        return WrongState;
    GpBitmap* copy = nullptr;
    try
    {
        copy = new GpBitmap(UINT(width), UINT(height), format);
    }
    catch (const std::bad_alloc&)
    {
        return OutOfMemory;
    }
    for (INT row = 0; row < height; ++row)
        for (INT column = 0; column < width; ++column)
            copy->Set(UINT(column), UINT(row), source->Get(UINT(x + column), UINT(y + row)));
    *clone = copy;
    return Ok;
}

Status GdipCloneImage(GpImage* image, GpImage** clone)
{
    if (!image || !clone)
        return InvalidParameter;
    auto* bitmap = dynamic_cast<GpBitmap*>(image);
    if (!bitmap)
        return NotImplemented;
    GpBitmap* copy = nullptr;
    const PixelFormat format = bitmap->format;
    Status status = GdipCloneBitmapAreaI(0, 0, INT(bitmap->width), INT(bitmap->height),
                                         IsThirtyTwoBit(format) || format == PixelFormat24bppRGB
                                             ? format
                                             : PixelFormat32bppARGB,
                                         bitmap, &copy);
    *clone = copy;
    return status;
}

Status GdipBitmapGetPixel(GpBitmap* bitmap, INT x, INT y, ARGB* colour)
{
    if (!bitmap || !colour)
        return InvalidParameter;
    if (x < 0 || y < 0 || UINT(x) >= bitmap->width || UINT(y) >= bitmap->height)
        return InvalidParameter;
    if (bitmap->locked)
        return WrongState;
    *colour = bitmap->Get(UINT(x), UINT(y));
    return Ok;
}

Status GdipBitmapSetPixel(GpBitmap* bitmap, INT x, INT y, ARGB colour)
{
    if (!bitmap)
        return InvalidParameter;
    if (x < 0 || y < 0 || UINT(x) >= bitmap->width || UINT(y) >= bitmap->height)
        return InvalidParameter;
    if (bitmap->locked)
        return WrongState;
    bitmap->Set(UINT(x), UINT(y), colour);
    return Ok;
}

Status GdipBitmapLockBits(GpBitmap* bitmap, const GpRect* rect, UINT flags, PixelFormat format,
                          BitmapData* lockedData)
{
    if (!bitmap || !lockedData)
        return InvalidParameter;
    if (bitmap->locked)
        return WrongState;
    GpRect area = rect ? *rect : GpRect{0, 0, INT(bitmap->width), INT(bitmap->height)};
    if (area.X < 0 || area.Y < 0 || area.Width <= 0 || area.Height <= 0 ||
        std::int64_t(area.X) + area.Width > std::int64_t(bitmap->width) ||
        std::int64_t(area.Y) + area.Height > std::int64_t(bitmap->height))
        return InvalidParameter;
    if (!(flags & (ImageLockModeRead | ImageLockModeWrite)))
        return InvalidParameter;
    if (!IsThirtyTwoBit(format) && format != PixelFormat24bppRGB)
        return InvalidParameter;

    BitmapData data{};
    data.Width = UINT(area.Width);
    data.Height = UINT(area.Height);
    data.PixelFormat = format;
    if (flags & ImageLockModeUserInputBuf)
    {
        const std::int64_t magnitude = lockedData->Stride < 0 ? -std::int64_t(lockedData->Stride) : lockedData->Stride;
        if (!lockedData->Scan0 || magnitude < std::int64_t(LockStride(data.Width, format)))
            return InvalidParameter;
        data.Scan0 = lockedData->Scan0;
        data.Stride = lockedData->Stride;
    }
    else
    {
        const UINT stride = LockStride(data.Width, format);
        try
        {
            bitmap->lockBuffer.assign(std::size_t(stride) * data.Height, 0);
        }
        catch (const std::bad_alloc&)
        {
            return OutOfMemory;
        }
        data.Scan0 = bitmap->lockBuffer.data();
        data.Stride = INT(stride);
    }

    if (flags & ImageLockModeRead)
    {
        for (UINT row = 0; row < data.Height; ++row)
        {
            auto* out = static_cast<std::uint8_t*>(data.Scan0) + std::ptrdiff_t(row) * data.Stride;
            for (UINT column = 0; column < data.Width; ++column)
            {
                const std::uint32_t argb = bitmap->Get(UINT(area.X) + column, UINT(area.Y) + row);
                if (format == PixelFormat24bppRGB)
                {
                    out[column * 3 + 0] = std::uint8_t(argb);
                    out[column * 3 + 1] = std::uint8_t(argb >> 8);
                    out[column * 3 + 2] = std::uint8_t(argb >> 16);
                }
                else
                {
                    const std::uint32_t value = ToFormat(argb, format);
                    std::memcpy(out + column * 4, &value, 4);
                }
            }
        }
    }
    data.Reserved = 0;
    bitmap->locked = true;
    bitmap->lockRect = area;
    bitmap->lockFlags = flags;
    bitmap->lockFormat = format;
    bitmap->lockData = data;
    *lockedData = data;
    return Ok;
}

Status GdipBitmapUnlockBits(GpBitmap* bitmap, BitmapData* lockedData)
{
    if (!bitmap || !lockedData)
        return InvalidParameter;
    if (!bitmap->locked)
        return WrongState;
    // The data handed out at lock time is what is written back, whatever
    // the caller did to its copy of the record.
    const BitmapData& data = bitmap->lockData;
    if (bitmap->lockFlags & ImageLockModeWrite)
    {
        for (UINT row = 0; row < data.Height; ++row)
        {
            const auto* in = static_cast<const std::uint8_t*>(data.Scan0) + std::ptrdiff_t(row) * data.Stride;
            for (UINT column = 0; column < data.Width; ++column)
            {
                std::uint32_t argb;
                if (data.PixelFormat == PixelFormat24bppRGB)
                    argb = 0xFF000000u | std::uint32_t(in[column * 3]) | (std::uint32_t(in[column * 3 + 1]) << 8) |
                           (std::uint32_t(in[column * 3 + 2]) << 16);
                else
                {
                    std::uint32_t value;
                    std::memcpy(&value, in + column * 4, 4);
                    argb = FromFormat(value, data.PixelFormat);
                }
                bitmap->Set(UINT(bitmap->lockRect.X) + column, UINT(bitmap->lockRect.Y) + row, argb);
            }
        }
    }
    bitmap->locked = false;
    bitmap->lockBuffer.clear();
    bitmap->lockBuffer.shrink_to_fit();
    return Ok;
}
