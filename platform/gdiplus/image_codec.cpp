#include "platform/gdiplus/image_codec.h"

#include "platform/gdiplus/gdiplus_objects.h"

#include <cairo.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace gdiplus::detail
{
namespace
{

// Pixel counts beyond this are refused whatever the file holds.
constexpr std::uint64_t kMaxPixels = std::uint64_t(1) << 28;
constexpr std::uint32_t kMaxSide = 1u << 15;
// The best that deflate compresses is about 1032 to 1; a PNG whose pixels
// would need more than that of its compressed bytes cannot be genuine.
constexpr std::uint64_t kDeflateRatio = 1032;

std::uint16_t Le16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
std::uint32_t Le32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}
std::uint32_t Be32(const std::uint8_t* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           std::uint32_t(p[3]);
}

Status MakeBitmap(std::uint32_t width, std::uint32_t height, PixelFormat format, std::unique_ptr<GpBitmap>& out)
{
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide ||
        std::uint64_t(width) * height > kMaxPixels)
        return InvalidParameter;
    try
    {
        // Pixels are kept as straight ARGB; the reported format stays the file's.
        out = std::make_unique<GpBitmap>(width, height, PixelFormat32bppARGB);
    }
    catch (const std::bad_alloc&)
    {
        return OutOfMemory;
    }
    out->format = format;
    return Ok;
}

// One channel of a bit-field pixel, scaled to 8 bits.
struct Channel
{
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;

    explicit Channel(std::uint32_t m) : mask(m)
    {
        if (!m)
            return;
        while (!((m >> shift) & 1))
            ++shift;
        max = m >> shift;
    }
    std::uint32_t Of(std::uint32_t pixel) const
    {
        if (!max)
            return 0;
        return (((pixel & mask) >> shift) * 255 + max / 2) / max;
    }
};

struct PngReader
{
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position;
};

cairo_status_t ReadPngBytes(void* closure, unsigned char* buffer, unsigned int length)
{
    auto* reader = static_cast<PngReader*>(closure);
    if (length > reader->size - reader->position)
        return CAIRO_STATUS_READ_ERROR;
    std::memcpy(buffer, reader->data + reader->position, length);
    reader->position += length;
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

Status DecodePng(const std::uint8_t* data, std::size_t size, std::unique_ptr<GpBitmap>& out)
{
    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    out.reset();
    if (!data || size < 8 + 25 || std::memcmp(data, kSignature, 8) != 0)
        return UnknownImageFormat;

    // Walk the chunks before the decoder sees them: the header must come
    // first and be sane, every chunk must lie inside the bytes, and the
    // image data must be able to hold the pixels the header promises.
    std::size_t position = 8;
    std::uint32_t width = 0, height = 0;
    std::uint64_t idatBytes = 0;
    bool sawHeader = false, sawEnd = false;
    int channels = 0, bitDepth = 0;
    while (position + 12 <= size)
    {
        const std::uint32_t length = Be32(data + position);
        const std::uint8_t* type = data + position + 4;
        if (length > size - position - 12)
            return InvalidParameter; // chunk runs past the end of the file
        const std::uint8_t* body = data + position + 8;
        if (!sawHeader)
        {
            if (std::memcmp(type, "IHDR", 4) != 0 || length != 13)
                return InvalidParameter;
            width = Be32(body);
            height = Be32(body + 4);
            bitDepth = body[8];
            switch (body[9])
            {
            case 0: channels = 1; break;
            case 2: channels = 3; break;
            case 3: channels = 1; break;
            case 4: channels = 2; break;
            case 6: channels = 4; break;
            default: return InvalidParameter;
            }
            if (bitDepth != 1 && bitDepth != 2 && bitDepth != 4 && bitDepth != 8 && bitDepth != 16)
                return InvalidParameter;
            sawHeader = true;
        }
        else if (std::memcmp(type, "IDAT", 4) == 0)
            idatBytes += length;
        else if (std::memcmp(type, "IEND", 4) == 0)
        {
            sawEnd = true;
            break;
        }
        position += std::size_t(length) + 12;
    }
    if (!sawHeader || !sawEnd || idatBytes == 0)
        return InvalidParameter;
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide ||
        std::uint64_t(width) * height > kMaxPixels)
        return InvalidParameter;
    const std::uint64_t rowBytes = (std::uint64_t(width) * std::uint64_t(channels) * std::uint64_t(bitDepth) + 7) / 8;
    const std::uint64_t rawBytes = std::uint64_t(height) * (rowBytes + 1);
    if (rawBytes > idatBytes * kDeflateRatio + 1024)
        return InvalidParameter;

    PngReader reader{data, size, 0};
    cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(&ReadPngBytes, &reader);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
    {
        const bool memory = cairo_surface_status(surface) == CAIRO_STATUS_NO_MEMORY;
        cairo_surface_destroy(surface);
        return memory ? OutOfMemory : InvalidParameter;
    }
    const cairo_format_t format = cairo_image_surface_get_format(surface);
    const int w = cairo_image_surface_get_width(surface);
    const int h = cairo_image_surface_get_height(surface);
    Status status = InvalidParameter;
    if ((format == CAIRO_FORMAT_ARGB32 || format == CAIRO_FORMAT_RGB24) && std::uint32_t(w) == width &&
        std::uint32_t(h) == height)
        status = MakeBitmap(width, height,
                            format == CAIRO_FORMAT_ARGB32 ? PixelFormat32bppARGB : PixelFormat24bppRGB, out);
    if (status == Ok)
    {
        cairo_surface_flush(surface);
        const unsigned char* pixels = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        for (std::uint32_t y = 0; y < height; ++y)
        {
            const auto* row = reinterpret_cast<const std::uint32_t*>(pixels + std::ptrdiff_t(y) * stride);
            std::uint32_t* target = out->Row(y);
            for (std::uint32_t x = 0; x < width; ++x)
                target[x] = format == CAIRO_FORMAT_ARGB32 ? Unpremultiply(row[x]) : (row[x] | 0xFF000000u);
        }
    }
    cairo_surface_destroy(surface);
    return status;
}

Status DecodeBmp(const std::uint8_t* data, std::size_t size, bool fileHeader, std::unique_ptr<GpBitmap>& out)
{
    out.reset();
    if (!data)
        return InvalidParameter;
    std::size_t headerAt = 0;
    std::uint64_t bitsAt = 0;
    bool bitsAtGiven = false;
    if (fileHeader)
    {
        if (size < 14 || data[0] != 'B' || data[1] != 'M')
            return UnknownImageFormat;
        bitsAt = Le32(data + 10);
        bitsAtGiven = true;
        headerAt = 14;
    }
    if (size - headerAt < 12)
        return InvalidParameter;
    const std::uint8_t* header = data + headerAt;
    const std::uint32_t headerSize = Le32(header);
    if (headerSize < 12 || headerSize > size - headerAt)
        return InvalidParameter;

    std::int64_t width = 0, height = 0;
    std::uint32_t planes = 0, bitCount = 0, compression = 0, coloursUsed = 0;
    std::size_t paletteEntry = 4;
    if (headerSize == 12)
    {
        width = Le16(header + 4);
        height = Le16(header + 6);
        planes = Le16(header + 8);
        bitCount = Le16(header + 10);
        paletteEntry = 3;
    }
    else if (headerSize >= 40)
    {
        width = std::int32_t(Le32(header + 4));
        height = std::int32_t(Le32(header + 8));
        planes = Le16(header + 12);
        bitCount = Le16(header + 14);
        compression = Le32(header + 16);
        coloursUsed = Le32(header + 32);
    }
    else
        return InvalidParameter;

    const bool topDown = height < 0;
    const std::uint64_t rows = std::uint64_t(topDown ? -height : height);
    if (planes != 1 || width <= 0 || rows == 0)
        return InvalidParameter;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return InvalidParameter;
    constexpr std::uint32_t BI_RGB = 0, BI_BITFIELDS = 3;
    if (compression != BI_RGB && !(compression == BI_BITFIELDS && (bitCount == 16 || bitCount == 32)))
        return NotImplemented; // run-length and embedded JPEG/PNG bitmaps are not decoded

    // Colour masks: inside a V2+ header, else after a 40-byte header.
    std::size_t cursor = headerAt + headerSize;
    std::uint32_t masks[4] = {0, 0, 0, 0};
    if (compression == BI_BITFIELDS)
    {
        if (headerSize >= 52)
        {
            for (int i = 0; i < 3; ++i)
                masks[i] = Le32(header + 40 + 4 * i);
            if (headerSize >= 56)
                masks[3] = Le32(header + 52);
        }
        else
        {
            if (size - cursor < 12)
                return InvalidParameter;
            for (int i = 0; i < 3; ++i)
                masks[i] = Le32(data + cursor + 4 * i);
            cursor += 12;
        }
    }
    else if (bitCount == 16)
    {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    }
    else if (bitCount == 32 || bitCount == 24)
    {
        masks[0] = 0x00FF0000;
        masks[1] = 0x0000FF00;
        masks[2] = 0x000000FF;
    }

    std::uint32_t paletteSize = 0;
    if (bitCount <= 8)
    {
        const std::uint32_t most = 1u << bitCount;
        paletteSize = coloursUsed ? coloursUsed : most;
        if (paletteSize > most)
            return InvalidParameter;
    }
    if (std::uint64_t(paletteSize) * paletteEntry > size - cursor)
        return InvalidParameter;
    const std::uint8_t* palette = data + cursor;
    cursor += std::size_t(paletteSize) * paletteEntry;
    if (!bitsAtGiven)
        bitsAt = cursor;
    if (bitsAt > size)
        return InvalidParameter;

    const std::uint64_t stride = ((std::uint64_t(width) * bitCount + 31) / 32) * 4;
    if (stride * rows > size - bitsAt)
        return InvalidParameter; // fewer pixel bytes than the header promises
    if (std::uint64_t(width) > kMaxSide || rows > kMaxSide)
        return InvalidParameter;

    PixelFormat reported = PixelFormat24bppRGB;
    switch (bitCount)
    {
    case 1: reported = PixelFormat1bppIndexed; break;
    case 4: reported = PixelFormat4bppIndexed; break;
    case 8: reported = PixelFormat8bppIndexed; break;
    case 16: reported = PixelFormat16bppRGB555; break;
    case 24: reported = PixelFormat24bppRGB; break;
    case 32: reported = masks[3] ? PixelFormat32bppARGB : PixelFormat32bppRGB; break;
    default: break;
    }
    Status status = MakeBitmap(std::uint32_t(width), std::uint32_t(rows), reported, out);
    if (status != Ok)
        return status;

    const Channel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);
    const std::uint8_t* bits = data + bitsAt;
    for (std::uint64_t fileRow = 0; fileRow < rows; ++fileRow)
    {
        const std::uint8_t* row = bits + fileRow * stride;
        const std::uint32_t y = std::uint32_t(topDown ? fileRow : rows - 1 - fileRow);
        std::uint32_t* target = out->Row(y);
        for (std::uint32_t x = 0; x < std::uint32_t(width); ++x)
        {
            std::uint32_t argb = 0xFF000000u;
            if (bitCount <= 8)
            {
                const std::uint32_t bitIndex = x * bitCount;
                const std::uint32_t index =
                    (row[bitIndex / 8] >> (8 - bitCount - bitIndex % 8)) & ((1u << bitCount) - 1);
                if (index < paletteSize)
                {
                    const std::uint8_t* entry = palette + std::size_t(index) * paletteEntry;
                    argb |= std::uint32_t(entry[0]) | (std::uint32_t(entry[1]) << 8) | (std::uint32_t(entry[2]) << 16);
                }
            }
            else if (bitCount == 24)
            {
                const std::uint8_t* p = row + std::size_t(x) * 3;
                argb |= std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);
            }
            else
            {
                const std::uint32_t pixel = bitCount == 16 ? Le16(row + std::size_t(x) * 2) : Le32(row + std::size_t(x) * 4);
                const std::uint32_t a = masks[3] ? alpha.Of(pixel) : 255;
                argb = (a << 24) | (red.Of(pixel) << 16) | (green.Of(pixel) << 8) | blue.Of(pixel);
            }
            target[x] = argb;
        }
    }
    return Ok;
}

Status DecodeImage(const std::uint8_t* data, std::size_t size, std::unique_ptr<GpBitmap>& out)
{
    out.reset();
    if (!data || size < 2)
        return UnknownImageFormat;
    if (data[0] == 0x89 && size >= 8 && data[1] == 'P' && data[2] == 'N' && data[3] == 'G')
        return DecodePng(data, size, out);
    if (data[0] == 'B' && data[1] == 'M')
        return DecodeBmp(data, size, true, out);
    return UnknownImageFormat;
}

} // namespace gdiplus::detail
