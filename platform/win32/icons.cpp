#include "platform/win32/icons.h"
#include "platform/win32/gdi_internal.h"
#include "platform/win32/handle_table.h"
#include "platform/win32/picture_decode.h"
#include "platform/win32/resource.h"
#include "platform/win32/resource_data.h"

#include <algorithm>
#include <map>
#include <mutex>

using namespace win32::detail;

namespace
{

struct IconObject
{
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> colours; // 0x00RRGGBB, XORed over the masked background
    std::vector<bool> transparent;      // the AND mask
    bool monochrome = false;            // made from a mask alone
    bool icon = true;
    DWORD hotX = 0;
    DWORD hotY = 0;
};

win32::tHandleTable<IconObject>& Icons()
{
    // Never destroyed: icons may be freed by static destructors of callers.
    static auto* table = new win32::tHandleTable<IconObject>(0x90010);
    return *table;
}

std::shared_ptr<IconObject> FindIcon(HICON icon)
{
    return Icons().Lookup(reinterpret_cast<std::uintptr_t>(icon));
}

HICON Register(std::shared_ptr<IconObject> icon)
{
    return reinterpret_cast<HICON>(Icons().Register(std::move(icon)));
}

struct IconResources
{
    std::mutex lock;
    std::map<std::pair<HINSTANCE, ULONG_PTR>, win32::IconImage> images;
};

IconResources& Resources()
{
    static auto* resources = new IconResources;
    return *resources;
}

HBITMAP NewBitmap(int width, int height, std::vector<std::uint32_t> pixels)
{
    auto bitmap = std::make_shared<BitmapObject>();
    bitmap->width = width;
    bitmap->height = height;
    bitmap->pixels = std::move(pixels);
    return static_cast<HBITMAP>(win32::RegisterGdiObject(std::move(bitmap)));
}

bool IsWhite(std::uint32_t pixel) { return (pixel & 0x00FFFFFFu) == 0x00FFFFFFu; }

std::uint32_t Opaque(std::uint32_t rgb) { return 0xFF000000u | (rgb & 0x00FFFFFFu); }

} // namespace

HICON CreateIconIndirect(const ICONINFO* info)
{
    if (info == nullptr || info->hbmMask == nullptr)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto mask = win32::LookupGdiObjectAs<BitmapObject>(info->hbmMask);
    auto colour = info->hbmColor != nullptr ? win32::LookupGdiObjectAs<BitmapObject>(info->hbmColor) : nullptr;
    if (mask == nullptr || (info->hbmColor != nullptr && colour == nullptr))
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto icon = std::make_shared<IconObject>();
    icon->icon = info->fIcon != FALSE;
    if (colour != nullptr)
    {
        icon->width = colour->width;
        icon->height = colour->height;
    }
    else
    {
        icon->monochrome = true;
        icon->width = mask->width;
        icon->height = mask->height / 2;
    }
    if (icon->width <= 0 || icon->height <= 0)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::size_t count = static_cast<std::size_t>(icon->width) * icon->height;
    icon->colours.assign(count, 0);
    icon->transparent.assign(count, false);
    // A mask smaller than the image leaves the rest opaque rather than being
    // read past its end.
    auto maskBit = [&mask](int x, int y) {
        return x < mask->width && y < mask->height &&
               (mask->pixels[static_cast<std::size_t>(y) * mask->width + x] & 0x00FFFFFFu) != 0;
    };
    for (int y = 0; y < icon->height; ++y)
        for (int x = 0; x < icon->width; ++x)
        {
            const std::size_t k = static_cast<std::size_t>(y) * icon->width + x;
            icon->transparent[k] = maskBit(x, y);
            if (colour != nullptr)
                icon->colours[k] = colour->pixels[k] & 0x00FFFFFFu;
            else
                icon->colours[k] = maskBit(x, y + icon->height) ? 0x00FFFFFFu : 0;
        }
    icon->hotX = icon->icon ? static_cast<DWORD>(icon->width / 2) : info->xHotspot;
    icon->hotY = icon->icon ? static_cast<DWORD>(icon->height / 2) : info->yHotspot;
    return Register(std::move(icon));
}

BOOL GetIconInfo(HICON handle, ICONINFO* info)
{
    auto icon = FindIcon(handle);
    if (icon == nullptr || info == nullptr)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const int w = icon->width, h = icon->height;
    const std::size_t count = static_cast<std::size_t>(w) * h;
    std::vector<std::uint32_t> mask(icon->monochrome ? 2 * count : count);
    for (std::size_t k = 0; k < count; ++k)
    {
        mask[k] = icon->transparent[k] ? 0xFFFFFFFFu : 0xFF000000u;
        if (icon->monochrome)
            mask[count + k] = Opaque(icon->colours[k]);
    }
    info->fIcon = icon->icon ? TRUE : FALSE;
    info->xHotspot = icon->hotX;
    info->yHotspot = icon->hotY;
    info->hbmMask = NewBitmap(w, icon->monochrome ? 2 * h : h, std::move(mask));
    info->hbmColor = nullptr;
    if (!icon->monochrome)
    {
        std::vector<std::uint32_t> colours(count);
        std::transform(icon->colours.begin(), icon->colours.end(), colours.begin(), Opaque);
        info->hbmColor = NewBitmap(w, h, std::move(colours));
    }
    return TRUE;
}

BOOL DestroyIcon(HICON icon)
{
    if (Icons().Remove(reinterpret_cast<std::uintptr_t>(icon)) == nullptr)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL DrawIconEx(HDC dc, int x, int y, HICON handle, int width, int height, UINT, HBRUSH, UINT flags)
{
    auto icon = FindIcon(handle);
    Canvas c = CanvasOf(dc);
    if (icon == nullptr || !c.Valid() || icon->colours.empty())
        return FALSE;
    if ((flags & DI_NORMAL) == 0)
        flags |= DI_NORMAL;
    width = width > 0 ? width : icon->width;
    height = height > 0 ? height : icon->height;
    if (!c.pixels)
        return TRUE;
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i)
        {
            const int dx = c.X(x + i), dy = c.Y(y + j);
            if (!c.Inside(dx, dy))
                continue;
            // Nearest source pixel when scaled.
            const int sx = static_cast<int>(static_cast<long long>(i) * icon->width / width);
            const int sy = static_cast<int>(static_cast<long long>(j) * icon->height / height);
            const std::size_t k = static_cast<std::size_t>(sy) * icon->width + sx;
            std::uint32_t& out = c.pixels[static_cast<std::size_t>(dy) * c.width + dx];
            std::uint32_t rgb = out & 0x00FFFFFFu;
            if ((flags & DI_MASK) != 0 && !icon->transparent[k])
                rgb = 0;
            if ((flags & DI_IMAGE) != 0)
                rgb = (flags & DI_MASK) != 0 ? rgb ^ icon->colours[k] : icon->colours[k];
            out = Opaque(rgb);
        }
    return TRUE;
}

BOOL DrawIcon(HDC dc, int x, int y, HICON icon) { return DrawIconEx(dc, x, y, icon, 0, 0, 0, nullptr, DI_NORMAL); }

namespace
{

// A fresh bitmap of the module's bitmap resource.
HANDLE LoadBitmapImage(HINSTANCE module, LPCWSTR name)
{
    HRSRC resource = FindResourceW(module, name, RT_BITMAP);
    if (!resource)
        return nullptr;
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, resource)));
    std::optional<win32::DibPixels> pixels = win32::DecodeDib(bytes, SizeofResource(module, resource));
    if (!pixels)
    {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return NewBitmap(pixels->width, pixels->height, std::move(pixels->argb));
}

} // namespace

HANDLE LoadImageW(HINSTANCE module, LPCWSTR name, UINT type, int, int, UINT)
{
    if (type == IMAGE_BITMAP && name)
        return LoadBitmapImage(module, name);
    if (type != IMAGE_ICON || !IS_INTRESOURCE(name))
    {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    win32::IconImage image;
    {
        IconResources& r = Resources();
        std::lock_guard<std::mutex> guard(r.lock);
        auto it = r.images.find({module, reinterpret_cast<ULONG_PTR>(name)});
        if (it == r.images.end())
        {
            SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
            return nullptr;
        }
        image = it->second;
    }
    if (image.width <= 0 || image.height <= 0)
    {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    auto icon = std::make_shared<IconObject>();
    icon->width = image.width;
    icon->height = image.height;
    icon->colours = std::move(image.colours);
    icon->transparent = std::move(image.transparent);
    icon->hotX = static_cast<DWORD>(image.width / 2);
    icon->hotY = static_cast<DWORD>(image.height / 2);
    return reinterpret_cast<HANDLE>(Register(std::move(icon)));
}

BOOL DrawStateW(HDC dc, HBRUSH, DRAWSTATEPROC, LPARAM data, WPARAM, int x, int y, int width, int height,
                UINT flags)
{
    const UINT kind = flags & 0x000F;
    Canvas c = CanvasOf(dc);
    if (!c.Valid() || (kind != DST_ICON && kind != DST_BITMAP))
        return FALSE;
    // The image as colours with its ink: what the emboss draws.
    int w = 0, h = 0, stride = 0;
    std::vector<std::uint32_t> colours;
    std::vector<bool> ink;
    if (kind == DST_ICON)
    {
        auto icon = FindIcon(reinterpret_cast<HICON>(data));
        if (icon == nullptr)
            return FALSE;
        if ((flags & DSS_DISABLED) == 0)
            return DrawIconEx(dc, x, y, reinterpret_cast<HICON>(data), width, height, 0, nullptr, DI_NORMAL);
        w = stride = icon->width;
        h = icon->height;
        ink.resize(icon->colours.size());
        for (std::size_t k = 0; k < ink.size(); ++k)
            ink[k] = !icon->transparent[k] && !IsWhite(icon->colours[k]);
    }
    else
    {
        auto bitmap = win32::LookupGdiObjectAs<BitmapObject>(reinterpret_cast<HGDIOBJ>(data));
        if (bitmap == nullptr)
            return FALSE;
        w = stride = bitmap->width;
        h = bitmap->height;
        colours = bitmap->pixels;
        const std::uint32_t background = PixelOf(c.dc->state.bkColor) & 0x00FFFFFFu;
        ink.resize(colours.size());
        for (std::size_t k = 0; k < ink.size(); ++k)
            ink[k] = (colours[k] & 0x00FFFFFFu) != background;
    }
    w = width > 0 ? std::min(width, w) : w;
    h = height > 0 ? std::min(height, h) : h;
    if (!c.pixels)
        return TRUE;
    if ((flags & DSS_DISABLED) == 0)
    {
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i)
                c.Put(c.X(x + i), c.Y(y + j), Opaque(colours[static_cast<std::size_t>(j) * stride + i]));
        return TRUE;
    }
    const std::uint32_t highlight = PixelOf(GetSysColor(COLOR_BTNHIGHLIGHT));
    const std::uint32_t shadow = PixelOf(GetSysColor(COLOR_BTNSHADOW));
    for (const auto& [offset, pixel] : {std::pair{1, highlight}, std::pair{0, shadow}})
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i)
                if (ink[static_cast<std::size_t>(j) * stride + i])
                    c.Put(c.X(x + i + offset), c.Y(y + j + offset), pixel);
    return TRUE;
}

namespace win32
{

void RegisterIconResource(HINSTANCE module, ULONG_PTR id, IconImage image)
{
    const std::size_t count = static_cast<std::size_t>(std::max(image.width, 0)) * std::max(image.height, 0);
    image.colours.resize(count, 0);
    image.transparent.resize(count, true);
    IconResources& r = Resources();
    std::lock_guard<std::mutex> guard(r.lock);
    r.images[{module, id}] = std::move(image);
}

std::size_t LiveIconCount() { return Icons().Count(); }

} // namespace win32
