// Pictures from the plug-in's resources and where a window shows them, by
// pixels of the composed window image.
#pragma once

#include "platform/win32/device_context.h"
#include "platform/win32/gdi_objects.h"
#include "platform/win32/gdi_paint.h"
#include "platform/win32/icons.h"
#include "platform/win32/window_snapshot.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A picture's pixels; clear ones (the bitmaps' face-coloured background, the
// icons' transparent pixels) as nullopt.
struct Picture
{
    int width = 0, height = 0;
    std::vector<std::optional<COLORREF>> pixels;
    std::size_t Ink() const
    {
        std::size_t n = 0;
        for (const auto& p : pixels)
            n += p ? 1 : 0;
        return n;
    }
};

inline Picture FromDc(HDC dc, int w, int h, std::optional<COLORREF> clear)
{
    Picture out{w, h, {}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            const COLORREF c = GetPixel(dc, x, y);
            out.pixels.push_back(clear && c == *clear ? std::nullopt : std::optional<COLORREF>(c));
        }
    return out;
}

inline Picture BitmapPicture(HINSTANCE module, UINT id)
{
    auto bitmap = static_cast<HBITMAP>(LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0));
    EXPECT_NE(bitmap, nullptr) << id;
    if (!bitmap)
        return {};
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    // The corner is the background.
    const Picture out = FromDc(dc, info.bmWidth, info.bmHeight, GetPixel(dc, 0, 0));
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return out;
}

// An icon drawn on a colour no picture uses, which then counts as clear.
inline Picture IconPicture(HINSTANCE module, UINT id)
{
    auto icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, 0, 0, 0));
    EXPECT_NE(icon, nullptr) << id;
    if (!icon)
        return {};
    ICONINFO info{};
    GetIconInfo(icon, &info);
    BITMAP size{};
    GetObjectW(info.hbmColor, sizeof size, &size);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    const COLORREF key = RGB(1, 2, 3);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP target = CreateBitmap(size.bmWidth, size.bmHeight, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(dc, target);
    HBRUSH brush = CreateSolidBrush(key);
    RECT all{0, 0, size.bmWidth, size.bmHeight};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    DrawIconEx(dc, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
    const Picture out = FromDc(dc, size.bmWidth, size.bmHeight, key);
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
    DestroyIcon(icon);
    return out;
}

// Where, in the root window's client coordinates, the window shows every ink
// pixel of the picture (the first such place from the top left); none when
// it does not show the picture.
inline std::optional<POINT> FindPicture(HWND window, const Picture& picture, const std::string& snapshot)
{
    win32::WriteSnapshotIfRequested(::GetAncestor(window, GA_ROOT), snapshot);
    const win32::ClientImage image = win32::ComposeWindowImage(::GetAncestor(window, GA_ROOT));
    RECT r{};
    ::GetClientRect(window, &r);
    ::MapWindowPoints(window, ::GetAncestor(window, GA_ROOT), reinterpret_cast<POINT*>(&r), 2);
    const auto at = [&](LONG x, LONG y) {
        const std::uint32_t p = image.pixels[std::size_t(y) * std::size_t(image.width) + std::size_t(x)];
        return RGB((p >> 16) & 255, (p >> 8) & 255, p & 255);
    };
    for (LONG top = r.top; top + picture.height <= r.bottom; ++top)
        for (LONG left = r.left; left + picture.width <= r.right; ++left)
        {
            bool all = true;
            for (int y = 0; y < picture.height && all; ++y)
                for (int x = 0; x < picture.width && all; ++x)
                {
                    const auto& p = picture.pixels[std::size_t(y * picture.width + x)];
                    all = !p || at(left + x, top + y) == *p;
                }
            if (all)
                return POINT{left, top};
        }
    return std::nullopt;
}

// Whether the window shows every ink pixel of the picture at one place.
inline bool Shows(HWND window, const Picture& picture, const std::string& snapshot)
{
    return FindPicture(window, picture, snapshot).has_value();
}
