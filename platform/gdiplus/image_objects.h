// The image and brush objects of the flat functions. Callers treat them as
// opaque; they are defined here so that a bitmap converts to an image and a
// solid brush to a brush, as the flat functions expect.
//
// Every bitmap keeps 32-bit pixels, 0xAARRGGBB in native order, which is
// also the byte order B, G, R, A that OpenGL reads as GL_BGRA. Row y starts at
// scan0 + y * stride; a negative stride runs the rows upwards in memory, as
// a bitmap over a bottom-up buffer does. How the alpha byte is meant depends
// on the storage: straight, premultiplied, or ignored (opaque formats).
#pragma once

#include "platform/gdiplus/gdiplus_types.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gdiplus::detail
{

enum class AlphaStorage
{
    Straight,
    Premultiplied,
    Ignored,
};

} // namespace gdiplus::detail

class GpImage
{
public:
    virtual ~GpImage() = default;

    UINT width = 0;
    UINT height = 0;
    PixelFormat format = PixelFormat32bppARGB; // what the image reports
};

class GpBitmap final : public GpImage
{
public:
    // Pixels in caller memory; the caller keeps it alive.
    GpBitmap(UINT w, UINT h, INT rowStride, PixelFormat pixelFormat, std::uint8_t* firstRow);
    // Pixels of its own, zeroed (transparent), top-down.
    GpBitmap(UINT w, UINT h, PixelFormat pixelFormat);

    std::uint32_t* Row(UINT y)
    {
        return reinterpret_cast<std::uint32_t*>(scan0 + static_cast<std::ptrdiff_t>(y) * stride);
    }
    const std::uint32_t* Row(UINT y) const
    {
        return reinterpret_cast<const std::uint32_t*>(scan0 + static_cast<std::ptrdiff_t>(y) * stride);
    }
    // Straight 0xAARRGGBB of a pixel, and storing one.
    std::uint32_t Get(UINT x, UINT y) const;
    void Set(UINT x, UINT y, std::uint32_t argb);

    gdiplus::detail::AlphaStorage storage = gdiplus::detail::AlphaStorage::Straight;
    std::uint8_t* scan0 = nullptr;
    std::ptrdiff_t stride = 0;
    std::vector<std::uint32_t> owned;

    // LockBits state: the locked rectangle, mode and format, and the buffer
    // handed out when the caller did not give one.
    bool locked = false;
    GpRect lockRect{};
    UINT lockFlags = 0;
    PixelFormat lockFormat = PixelFormatUndefined;
    BitmapData lockData{};
    std::vector<std::uint8_t> lockBuffer;
};

class GpBrush
{
public:
    virtual ~GpBrush() = default;
};

class GpSolidFill final : public GpBrush
{
public:
    explicit GpSolidFill(ARGB c) : colour(c) {}
    ARGB colour;
};

