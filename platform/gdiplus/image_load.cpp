#include "platform/gdiplus/image_load.h"

#include "platform/gdiplus/gdiplus_objects.h"
#include "platform/gdiplus/image_codec.h"
#include "platform/win32/resource_data.h"
#include "platform/win32/stream.h"

#include <new>
#include <vector>

using namespace gdiplus::detail;

namespace
{

// Streams beyond this are not images this program would show.
constexpr ULONGLONG kMaxStreamBytes = ULONGLONG(256) << 20;

Status ReadRest(IStream* stream, std::vector<std::uint8_t>& bytes)
{
    ULONGLONG size = 0, position = 0;
    if (FAILED(stream->GetSize(&size)) || FAILED(stream->Seek(0, STREAM_SEEK_CUR, &position)))
        return InvalidParameter;
    if (position >= size)
        return InvalidParameter;
    if (size - position > kMaxStreamBytes)
        return OutOfMemory;
    try
    {
        bytes.resize(static_cast<std::size_t>(size - position));
    }
    catch (const std::bad_alloc&)
    {
        return OutOfMemory;
    }
    ULONG read = 0;
    if (FAILED(stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read)))
        return InvalidParameter;
    bytes.resize(read);
    return Ok;
}

} // namespace

Status GdipCreateBitmapFromStream(IStream* stream, GpBitmap** bitmap)
{
    if (!stream || !bitmap)
        return InvalidParameter;
    *bitmap = nullptr;
    if (!Started())
        return GdiplusNotInitialized;
    std::vector<std::uint8_t> bytes;
    Status status = ReadRest(stream, bytes);
    if (status != Ok)
        return status;
    std::unique_ptr<GpBitmap> decoded;
    status = DecodeImage(bytes.data(), bytes.size(), decoded);
    if (status == Ok)
        *bitmap = decoded.release();
    return status;
}

Status GdipCreateBitmapFromStreamICM(IStream* stream, GpBitmap** bitmap)
{
    // No colour profiles are applied by either path.
    return GdipCreateBitmapFromStream(stream, bitmap);
}

Status GdipLoadImageFromStream(IStream* stream, GpImage** image)
{
    if (!image)
        return InvalidParameter;
    GpBitmap* bitmap = nullptr;
    Status status = GdipCreateBitmapFromStream(stream, &bitmap);
    *image = bitmap;
    return status;
}

Status GdipCreateBitmapFromResource(HINSTANCE module, const WCHAR* name, GpBitmap** bitmap)
{
    if (!bitmap || !name)
        return InvalidParameter;
    *bitmap = nullptr;
    if (!Started())
        return GdiplusNotInitialized;
    HRSRC resource = FindResourceW(module, name, RT_BITMAP);
    if (!resource)
        return InvalidParameter;
    const DWORD size = SizeofResource(module, resource);
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, resource)));
    if (!bytes || size == 0)
        return InvalidParameter;
    std::unique_ptr<GpBitmap> decoded;
    Status status = DecodeBmp(bytes, size, false, decoded);
    if (status == Ok)
        *bitmap = decoded.release();
    return status;
}
