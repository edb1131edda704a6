// Internal to the GDI+ layer: decoders of PNG and BMP/DIB bytes into bitmaps
// with pixels of their own. Every size in a file is checked against the
// bytes it has before anything is allocated for it, so a damaged or hostile
// file is refused instead of read past its end or allowed to ask for more
// memory than its own bytes justify.
#pragma once

#include "platform/gdiplus/gdiplus_types.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace gdiplus::detail
{

// Picks the decoder from the leading bytes: PNG signature, "BM" file header.
Status DecodeImage(const std::uint8_t* data, std::size_t size, std::unique_ptr<GpBitmap>& out);
Status DecodePng(const std::uint8_t* data, std::size_t size, std::unique_ptr<GpBitmap>& out);
// A BMP file (with its 14-byte file header) or, with fileHeader false, a
// packed DIB as bitmap resources hold it (the info header first).
Status DecodeBmp(const std::uint8_t* data, std::size_t size, bool fileHeader, std::unique_ptr<GpBitmap>& out);

} // namespace gdiplus::detail
