// Bitmaps, icons and cursors that a resource script carries as hex data:
// loadable with their pixels once the script is registered, and data that
// is not what its statement says refused with the line of its block.
#include "platform/win32/device_context.h"
#include "platform/win32/gdi.h"
#include "platform/win32/gdi_objects.h"
#include "platform/win32/gdi_paint.h"
#include "platform/win32/icons.h"
#include "platform/win32/input.h"
#include "platform/win32/picture_decode.h"
#include "platform/win32/resource.h"
#include "platform/win32/resource_data.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace
{

const HINSTANCE kModule = reinterpret_cast<HINSTANCE>(0x7710000);

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// An info header and bottom-up rows of 0x00RRGGBB pixels given top-down.
std::vector<std::uint8_t> Dib(int w, int h, int bits, const std::vector<std::uint32_t>& topDown, int headerHeight)
{
    std::vector<std::uint8_t> out;
    Put32(out, 40);
    Put32(out, std::uint32_t(w));
    Put32(out, std::uint32_t(headerHeight));
    Put16(out, 1);
    Put16(out, std::uint32_t(bits));
    for (int i = 0; i < 6; ++i)
        Put32(out, 0);
    const std::size_t stride = (std::size_t(w) * std::size_t(bits) + 31) / 32 * 4;
    for (int y = h - 1; y >= 0; --y)
    {
        std::size_t written = 0;
        for (int x = 0; x < w; ++x)
        {
            const std::uint32_t p = topDown[std::size_t(y * w + x)];
            out.insert(out.end(), {std::uint8_t(p), std::uint8_t(p >> 8), std::uint8_t(p >> 16)});
            written += 3;
            if (bits == 32)
                out.push_back(std::uint8_t(p >> 24)), ++written;
        }
        out.resize(out.size() + stride - written, 0);
    }
    return out;
}

std::vector<std::uint8_t> BitmapFile(int w, int h, const std::vector<std::uint32_t>& pixels)
{
    const std::vector<std::uint8_t> dib = Dib(w, h, 24, pixels, h);
    std::vector<std::uint8_t> out{'B', 'M'};
    Put32(out, std::uint32_t(14 + dib.size()));
    Put32(out, 0);
    Put32(out, 54);
    out.insert(out.end(), dib.begin(), dib.end());
    return out;
}

// An icon (kind 1) or cursor (kind 2) file of one 32-bit picture whose mask
// lets the pixels listed in through.
std::vector<std::uint8_t> IconFile(int kind, int w, int h, const std::vector<std::uint32_t>& argb,
                                   const std::vector<bool>& through)
{
    std::vector<std::uint8_t> image = Dib(w, h, 32, argb, 2 * h);
    const std::size_t maskStride = (std::size_t(w) + 31) / 32 * 4;
    for (int y = h - 1; y >= 0; --y)
    {
        std::vector<std::uint8_t> row(maskStride, 0);
        for (int x = 0; x < w; ++x)
            if (through[std::size_t(y * w + x)])
                row[std::size_t(x / 8)] |= std::uint8_t(0x80 >> (x % 8));
        image.insert(image.end(), row.begin(), row.end());
    }
    std::vector<std::uint8_t> out;
    Put16(out, 0);
    Put16(out, std::uint32_t(kind));
    Put16(out, 1);
    out.insert(out.end(), {std::uint8_t(w), std::uint8_t(h), 0, 0});
    Put16(out, kind == 2 ? 1 : 1);
    Put16(out, kind == 2 ? 1 : 32);
    Put32(out, std::uint32_t(image.size()));
    Put32(out, 22);
    out.insert(out.end(), image.begin(), image.end());
    return out;
}

std::string Hex(const std::vector<std::uint8_t>& bytes)
{
    std::string out;
    char two[3];
    for (std::size_t i = 0; i < bytes.size(); ++i)
    {
        if (i % 24 == 0)
            out += i ? "'\n    '" : "    '";
        std::snprintf(two, sizeof two, "%02x", bytes[i]);
        out += two;
    }
    return out + "'\n";
}

bool Register(const std::string& script, std::string* error)
{
    return win32::RegisterResourceScript(kModule, script, [](const std::string&) { return std::nullopt; }, error);
}

class ResourcePictures : public ::testing::Test
{
protected:
    void TearDown() override { win32::UnregisterResources(kModule); }
};

} // namespace

TEST_F(ResourcePictures, ABitmapLoadsWithItsPixelsAndGoesWithItsScript)
{
    // Three by two: a row that needs padding, colours that tell the
    // channels and the rows apart.
    const std::vector<std::uint32_t> pixels = {0xFF0000, 0x00FF00, 0x0000FF, 0x123456, 0xFFFFFF, 0x000000};
    const std::string script = "3021 BITMAP\nBEGIN\n" + Hex(BitmapFile(3, 2, pixels)) + "END\n";
    std::string error;
    ASSERT_TRUE(Register(script, &error)) << error;
    auto bitmap = static_cast<HBITMAP>(LoadImageW(kModule, MAKEINTRESOURCEW(3021), IMAGE_BITMAP, 0, 0, 0));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    ASSERT_NE(GetObjectW(bitmap, sizeof info, &info), 0);
    EXPECT_EQ(info.bmWidth, 3);
    EXPECT_EQ(info.bmHeight, 2);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
        {
            const std::uint32_t p = pixels[std::size_t(y * 3 + x)];
            EXPECT_EQ(GetPixel(dc, x, y), RGB(p >> 16, (p >> 8) & 255, p & 255)) << x << ", " << y;
        }
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
    // Kept as the platform keeps bitmap resources: without the file header.
    HRSRC found = FindResourceW(kModule, MAKEINTRESOURCEW(3021), RT_BITMAP);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(SizeofResource(kModule, found), BitmapFile(3, 2, pixels).size() - 14);
    EXPECT_EQ(LoadImageW(kModule, MAKEINTRESOURCEW(3022), IMAGE_BITMAP, 0, 0, 0), nullptr);

    win32::UnregisterResources(kModule);
    EXPECT_EQ(FindResourceW(kModule, MAKEINTRESOURCEW(3021), RT_BITMAP), nullptr);
}

TEST_F(ResourcePictures, AnIconDrawsItsColoursWhereItsMaskHoldsAndACursorLoads)
{
    // Two by two: opaque red and green on top, a black pixel the mask lets
    // through and a clear (alpha 0) white one below.
    const std::vector<std::uint32_t> argb = {0xFFFF0000, 0xFF00FF00, 0x00000000, 0x00FFFFFF};
    const std::vector<bool> through = {false, false, true, false};
    const std::string script = "#define IDI_PICTURE 3052\n#define IDC_PICTURE 17032\n"
                               "IDI_PICTURE ICON\nBEGIN\n" +
                               Hex(IconFile(1, 2, 2, argb, through)) + "END\nIDC_PICTURE CURSOR DISCARDABLE\n{\n" +
                               Hex(IconFile(2, 2, 2, argb, through)) + "}\n";
    std::string error;
    ASSERT_TRUE(Register(script, &error)) << error;
    auto icon = static_cast<HICON>(LoadImageW(kModule, MAKEINTRESOURCEW(3052), IMAGE_ICON, 0, 0, 0));
    ASSERT_NE(icon, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP target = CreateBitmap(2, 2, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(dc, target);
    RECT all{0, 0, 2, 2};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    const COLORREF grey = GetPixel(dc, 0, 0);
    ASSERT_TRUE(DrawIconEx(dc, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 1, 0), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(dc, 0, 1), grey) << "the mask lets it through";
    EXPECT_EQ(GetPixel(dc, 1, 1), grey) << "clear";
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
    DestroyIcon(icon);

    // Rows of the mask run bottom-up as the colours' do: a taller icon
    // whose mask lets only its top row through.
    {
        std::vector<std::uint32_t> colours(12, 0xFF102030);
        std::vector<bool> top(12, false);
        for (int x = 0; x < 4; ++x)
            colours[std::size_t(x)] = 0, top[std::size_t(x)] = true;
        const std::optional<win32::IconImage> tall = win32::DecodeIconFile(IconFile(1, 4, 3, colours, top), 1);
        ASSERT_TRUE(tall);
        for (std::size_t i = 0; i < 12; ++i)
            EXPECT_EQ(tall->transparent[i], i < 4) << i;
    }

    HCURSOR cursor = LoadCursorW(kModule, MAKEINTRESOURCEW(17032));
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(win32::DescribeCursor(cursor).id, 17032u);
    EXPECT_FALSE(win32::DescribeCursor(cursor).system);
}

TEST_F(ResourcePictures, DataThatIsNotWhatItsStatementSaysIsRefusedWithItsLine)
{
    const std::vector<std::uint32_t> pixels(4, 0x808080);
    const std::vector<std::uint8_t> bitmap = BitmapFile(2, 2, pixels);
    const std::vector<std::uint8_t> icon = IconFile(1, 2, 2, {0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000},
                                                    {false, false, false, false});
    std::vector<std::uint8_t> cut(bitmap.begin(), bitmap.end() - 3);
    std::vector<std::uint8_t> bigOffset = icon;
    bigOffset[18] = 0xFF; // the picture's offset points past the end
    // The picture claims more bytes than follow it: a cut file.
    std::vector<std::uint8_t> tooLong(icon.begin(), icon.end() - 20);
    std::vector<std::uint8_t> huge = bitmap;
    huge[18 + 3] = 0x7F; // width 2^31 - ish
    struct Case
    {
        std::string script;
        const char* error;
    } cases[] = {
        {"1 BITMAP\nBEGIN\n" + Hex(cut) + "END\n", "line 2: the bitmap's data is no"},
        {"\n1 BITMAP\nBEGIN\n" + Hex(huge) + "END\n", "line 3: the bitmap's data is no"},
        {"1 ICON\nBEGIN\n" + Hex(bitmap) + "END\n", "line 2: the icon's data is no"},
        {"1 ICON\nBEGIN\n" + Hex(bigOffset) + "END\n", "line 2: the icon's data is no"},
        {"1 ICON\nBEGIN\n" + Hex(tooLong) + "END\n", "line 2: the icon's data is no"},
        {"1 CURSOR\nBEGIN\n" + Hex(icon) + "END\n", "line 2: the cursor's data is no"},
        {"1 BITMAP\nBEGIN\n    '42 4d 0g'\nEND\n", "line 3: picture data holds something other than hex digits"},
        {"1 BITMAP\nBEGIN\n    '42 4d 0'\nEND\n", "line 3: picture data with half a byte"},
        {"1 BITMAP\nBEGIN\n    '42 4d\nEND\n", "line 3: unterminated picture data"},
        {"1 BITMAP\nBEGIN\n    42\nEND\n", "line 3: expected picture data"},
    };
    for (const Case& c : cases)
    {
        std::string error;
        EXPECT_FALSE(Register(c.script, &error)) << c.error;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << error << " for " << c.error;
    }
    // A file-backed picture is still only known by name.
    std::string error;
    ASSERT_TRUE(Register("1 BITMAP \"pictures/line.bmp\"\n", &error)) << error;
    EXPECT_TRUE(win32::ModuleHasResource(kModule, RT_BITMAP, MAKEINTRESOURCEW(1)));
    EXPECT_EQ(FindResourceW(kModule, MAKEINTRESOURCEW(1), RT_BITMAP), nullptr);
}
