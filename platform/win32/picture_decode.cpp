#include "platform/win32/picture_decode.h"

#include <limits>

namespace win32
{

namespace
{

std::uint32_t Le16(const std::uint8_t* p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8; }
std::uint32_t Le32(const std::uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }

// Pictures larger than this are no toolbar images or cursors.
constexpr int kMaxSide = 1024;

std::size_t RowBytes(int width, int bits) { return (std::size_t(width) * std::size_t(bits) + 31) / 32 * 4; }

} // namespace

std::optional<DibPixels> DecodeDib(const std::uint8_t* data, std::size_t size, int rowsHeight)
{
    if (!data || size < 40)
        return std::nullopt;
    const std::uint32_t headerSize = Le32(data);
    if (headerSize < 40 || headerSize > size)
        return std::nullopt;
    const auto width = std::int32_t(Le32(data + 4));
    auto height = std::int32_t(Le32(data + 8));
    const std::uint32_t planes = Le16(data + 12), bits = Le16(data + 14), compression = Le32(data + 16);
    const bool topDown = height < 0;
    if (height == std::numeric_limits<std::int32_t>::min())
        return std::nullopt;
    height = topDown ? -height : height;
    if (rowsHeight > 0)
    {
        if (rowsHeight > height)
            return std::nullopt;
        height = rowsHeight;
    }
    if (planes != 1 || (bits != 24 && bits != 32) || compression != 0 || width <= 0 || height <= 0 ||
        width > kMaxSide || height > kMaxSide)
        return std::nullopt;
    const std::size_t stride = RowBytes(width, int(bits));
    if ((size - headerSize) / stride < std::size_t(height))
        return std::nullopt;
    DibPixels out;
    out.width = width;
    out.height = height;
    out.argb.resize(std::size_t(width) * std::size_t(height));
    const std::uint8_t* rows = data + headerSize;
    for (int y = 0; y < height; ++y)
    {
        const std::uint8_t* row = rows + std::size_t(topDown ? y : height - 1 - y) * stride;
        for (int x = 0; x < width; ++x)
        {
            const std::uint8_t* p = row + std::size_t(x) * (bits / 8);
            const std::uint32_t alpha = bits == 32 ? p[3] : 255u;
            out.argb[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
                alpha << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
        }
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> DibOfBitmapFile(const std::vector<std::uint8_t>& file)
{
    if (file.size() < 14 + 40 || file[0] != 'B' || file[1] != 'M')
        return std::nullopt;
    std::vector<std::uint8_t> dib(file.begin() + 14, file.end());
    if (!DecodeDib(dib.data(), dib.size()))
        return std::nullopt;
    return dib;
}

std::optional<IconImage> DecodeIconFile(const std::vector<std::uint8_t>& file, int kind)
{
    if (file.size() < 6 + 16 || Le16(file.data()) != 0 || Le16(file.data() + 2) != std::uint32_t(kind) ||
        Le16(file.data() + 4) == 0)
        return std::nullopt;
    const std::uint8_t* entry = file.data() + 6;
    const std::uint32_t bytes = Le32(entry + 8), offset = Le32(entry + 12);
    if (offset > file.size() || bytes > file.size() - offset)
        return std::nullopt;
    const std::uint8_t* image = file.data() + offset;
    if (bytes < 40)
        return std::nullopt;
    // The header's height counts the colour rows and the mask's rows.
    const auto doubled = std::int32_t(Le32(image + 8));
    if (doubled <= 0 || doubled % 2 != 0)
        return std::nullopt;
    const int height = doubled / 2;
    const std::optional<DibPixels> colours = DecodeDib(image, bytes, height);
    if (!colours)
        return std::nullopt;
    const std::uint32_t bits = Le16(image + 14);
    const std::size_t colourBytes = Le32(image) + RowBytes(colours->width, int(bits)) * std::size_t(height);
    const std::size_t maskStride = RowBytes(colours->width, 1);
    if ((bytes - colourBytes) / maskStride < std::size_t(height))
        return std::nullopt;
    const std::uint8_t* mask = image + colourBytes;
    IconImage out;
    out.width = colours->width;
    out.height = height;
    out.colours.resize(colours->argb.size());
    out.transparent.resize(colours->argb.size());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < out.width; ++x)
        {
            const std::size_t i = std::size_t(y) * std::size_t(out.width) + std::size_t(x);
            const std::uint8_t maskByte = mask[std::size_t(height - 1 - y) * maskStride + std::size_t(x) / 8];
            const bool through = (maskByte >> (7 - x % 8)) & 1;
            // A pixel the mask lets through keeps its colour, which the
            // screen's pixel is inverted by (black for plain transparency);
            // a clear 32-bit pixel leaves the screen as it is.
            const bool clear = bits == 32 && (colours->argb[i] >> 24) == 0 && !through;
            out.colours[i] = clear ? 0u : colours->argb[i] & 0x00FFFFFFu;
            out.transparent[i] = through || clear;
        }
    return out;
}

} // namespace win32
