// The pictures a resource script may carry inline: device-independent
// bitmaps (24 or 32 bits a pixel, uncompressed) and icon or cursor files
// holding such bitmaps. Every size and offset is checked against the bytes
// there are; bad data gives no picture, never a read past the end.
#pragma once

#include "platform/win32/icons.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace win32
{

// A bitmap's pixels, row by row from the top, as 0xAARRGGBB (alpha 255
// where the bitmap has none).
struct DibPixels
{
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;
};

// The pixels of a device-independent bitmap (its info header, then its
// rows). rowsHeight, when given, is how many rows the bitmap holds, for
// an icon's bitmap whose header counts its mask's rows too.
std::optional<DibPixels> DecodeDib(const std::uint8_t* data, std::size_t size, int rowsHeight = 0);

// A bitmap file's bytes without its 14-byte file header (the form in which
// bitmap resources are kept), or none when the bytes are not a bitmap file
// of a size they fit in.
std::optional<std::vector<std::uint8_t>> DibOfBitmapFile(const std::vector<std::uint8_t>& file);

// The first picture of an icon file (kind 1) or a cursor file (kind 2):
// its colours, and as transparent the pixels its mask lets through (or,
// for 32-bit pictures, whose alpha is 0).
std::optional<IconImage> DecodeIconFile(const std::vector<std::uint8_t>& file, int kind);

} // namespace win32
