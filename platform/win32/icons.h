// Icons: a colour image with a transparency mask, made from bitmaps
// (CreateIconIndirect), taken apart again (GetIconInfo), loaded from a
// module's icon resources, drawn (DrawIconEx), and drawn plain or embossed
// as disabled controls show them (DrawStateW). Icons are copies: the bitmaps
// they were made from stay the caller's.
#pragma once

#include "platform/win32/types.h"

#include <cstdint>
#include <vector>

struct ICONINFO
{
    BOOL fIcon;
    DWORD xHotspot;
    DWORD yHotspot;
    HBITMAP hbmMask;
    HBITMAP hbmColor;
};

// The mask is white where the background shows through. Without a colour
// bitmap the mask is twice as tall: its top half the mask, its bottom half a
// black-and-white image. An icon's hot spot is its centre whatever is passed.
HICON CreateIconIndirect(const ICONINFO* info);
// Fills info with new bitmaps the caller deletes.
BOOL GetIconInfo(HICON icon, ICONINFO* info);
BOOL DestroyIcon(HICON icon);

inline constexpr UINT DI_MASK = 0x0001;
inline constexpr UINT DI_IMAGE = 0x0002;
inline constexpr UINT DI_NORMAL = 0x0003;
// Draws the icon at (x, y), scaled to width x height (0: its own size).
BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int width, int height, UINT step, HBRUSH flicker, UINT flags);
BOOL DrawIcon(HDC dc, int x, int y, HICON icon);

inline constexpr UINT IMAGE_BITMAP = 0;
inline constexpr UINT IMAGE_ICON = 1;
inline constexpr UINT IMAGE_CURSOR = 2;
inline constexpr UINT LR_DEFAULTCOLOR = 0x0000;
inline constexpr UINT LR_DEFAULTSIZE = 0x0040;
inline constexpr UINT LR_SHARED = 0x8000;
// A fresh copy of the module's icon resource, or a fresh bitmap of its
// bitmap resource (width and height ignored; pictures come in one size
// here). Null with ERROR_RESOURCE_NAME_NOT_FOUND for an unknown resource.
HANDLE LoadImageW(HINSTANCE module, LPCWSTR name, UINT type, int width, int height, UINT flags);

// DrawStateW: the image kinds and states the stand-in draws.
inline constexpr UINT DST_ICON = 0x0003;
inline constexpr UINT DST_BITMAP = 0x0004;
inline constexpr UINT DSS_NORMAL = 0x0000;
inline constexpr UINT DSS_DISABLED = 0x0020;
using DRAWSTATEPROC = BOOL (*)(HDC, LPARAM, WPARAM, int, int);
// Draws an icon (data: HICON) or a bitmap (data: HBITMAP) at (x, y), width
// and height 0 meaning the image's own size. Disabled: the image's ink -
// for a bitmap every pixel unlike the context's background colour, for an
// icon every opaque pixel that is not white - in the highlight colour one
// pixel right and down, then in the shadow colour in place.
BOOL DrawStateW(HDC dc, HBRUSH brush, DRAWSTATEPROC proc, LPARAM data, WPARAM extra, int x, int y, int width,
                int height, UINT flags);

namespace win32
{

// The pixels of an icon resource: 0x00RRGGBB colours, row by row from the
// top, and whether each pixel lets the background show through.
struct IconImage
{
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> colours;
    std::vector<bool> transparent;
};
// Makes the image loadable as the module's icon resource of that id.
void RegisterIconResource(HINSTANCE module, ULONG_PTR id, IconImage image);
std::size_t LiveIconCount();

} // namespace win32
