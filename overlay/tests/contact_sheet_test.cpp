// Every control in every state side by side: checked here by a pixel each,
// and written as one picture per family when VTL_SNAPSHOT_DIR is set.
#include "overlay/annotations.h"
#include "overlay/button_st.h"
#include "overlay/image_button.h"
#include "platform/win32/resource_data.h"
#include "platform/win32/window_snapshot.h"
#include "support/gl_test_renderer.h"
#include "support/overlay_test_controls.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <memory>

using namespace overlaytest;

namespace
{

std::uint32_t Argb(COLORREF c) { return 0xFF000000u | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

HICON SquareIcon(COLORREF colour)
{
    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP image = CreateCompatibleBitmap(memory, 16, 16);
    HBITMAP mask = CreateCompatibleBitmap(memory, 16, 16);
    HGDIOBJ old = SelectObject(memory, image);
    HBRUSH brush = CreateSolidBrush(colour);
    const RECT inner{2, 2, 14, 14}, all{0, 0, 16, 16};
    FillRect(memory, &inner, brush);
    DeleteObject(brush);
    SelectObject(memory, mask);
    FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    FillRect(memory, &inner, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SelectObject(memory, old);
    DeleteDC(memory);
    ICONINFO info{TRUE, 0, 0, mask, image};
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(image);
    DeleteObject(mask);
    return icon;
}

cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

std::vector<std::uint8_t> Png(double r, double g, double b)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 24, 18);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgba(cr, r, g, b, 1.0);
    cairo_paint(cr);
    cairo_destroy(cr);
    std::vector<std::uint8_t> out;
    cairo_surface_write_to_png_stream(surface, &Append, &out);
    cairo_surface_destroy(surface);
    return out;
}

void NoClick(IBase*, void*) {}

} // namespace

// Columns: at rest, hovered, pressed, disabled, focused; rows: flat,
// 3D, flat with an icon, outlined, rounded outline, check box (checked in
// the pressed column).
TEST(ContactSheet, OwnerDrawnButtonsInEveryState)
{
    constexpr int kColumns = 5, kRows = 6, kW = 80, kH = 30, kGap = 6;
    CWnd parent;
    parent.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, 0, 0, kColumns * (kW + kGap) + kGap,
                    kRows * (kH + kGap) + kGap, nullptr, nullptr);
    std::vector<std::unique_ptr<CButtonST>> buttons;
    for (int row = 0; row < kRows; ++row)
        for (int column = 0; column < kColumns; ++column)
        {
            std::unique_ptr<CButtonST> b;
            if (row == 3 || row == 4)
                b = std::make_unique<CWinXPButtonST>();
            else
                b = std::make_unique<CButtonST>();
            const DWORD style = row == 5 ? BS_AUTOCHECKBOX : 0;
            const RECT r{kGap + column * (kW + kGap), kGap + row * (kH + kGap), kGap + column * (kW + kGap) + kW,
                         kGap + row * (kH + kGap) + kH};
            ASSERT_TRUE(b->Create(row == 2 ? L"Icon" : L"Fit", WS_CHILD | WS_VISIBLE | style, r, &parent,
                                  static_cast<UINT>(100 + row * kColumns + column)));
            b->SetColour(kColourBackHot, RGB(255, 230, 150));
            if (row == 1)
                b->SetFlat(false);
            if (row == 2)
                b->SetIcon(SquareIcon(RGB(0, 120, 0)), kButtonIconGrey);
            if (row == 4)
                static_cast<CWinXPButtonST*>(b.get())->SetRounded(true);
            switch (column)
            {
            case 1:
                b->SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
                break;
            case 2:
                if (row == 5)
                    b->SendMessage(BM_SETCHECK, 1);
                else
                    b->SendMessage(BM_SETSTATE, TRUE);
                break;
            case 3:
                b->EnableWindow(FALSE);
                break;
            default:
                break;
            }
            buttons.push_back(std::move(b));
        }
    for (auto& b : buttons)
    {
        b->Invalidate(TRUE);
        b->UpdateWindow();
    }
    // One window holds the focus at a time: the focused column is drawn as
    // the button draws itself for a focused item.
    for (int row = 0; row < kRows; ++row)
    {
        CButtonST& b = *buttons[static_cast<std::size_t>(row * kColumns + 4)];
        b.SetFlatFocus(true);
        b.SetColour(kColourBackFocus, RGB(200, 220, 255));
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_BUTTON;
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = ODS_FOCUS;
        item.hwndItem = b.GetSafeHwnd();
        item.hDC = GetDC(b.GetSafeHwnd());
        b.GetClientRect(&item.rcItem);
        b.DrawItem(&item);
        ReleaseDC(b.GetSafeHwnd(), item.hDC);
    }
    const win32::ClientImage sheet = win32::ComposeWindowImage(parent.GetSafeHwnd());
    auto at = [&sheet](int row, int column, int x, int y) {
        return sheet.pixels[static_cast<std::size_t>(kGap + row * (kH + kGap) + y) * sheet.width + kGap +
                            column * (kW + kGap) + x];
    };
    const std::uint32_t hot = Argb(RGB(255, 230, 150));
    for (int row : {0, 2, 3})
    {
        EXPECT_NE(at(row, 0, 4, 4), hot) << "row " << row << " at rest";
        EXPECT_EQ(at(row, 1, 4, 4), hot) << "row " << row << " hovered";
        EXPECT_EQ(at(row, 2, 4, 4), hot) << "row " << row << " pressed";
    }
    EXPECT_EQ(at(1, 0, 0, 0), Argb(GetSysColor(COLOR_BTNHIGHLIGHT))) << "3D at rest: raised";
    EXPECT_EQ(at(1, 2, 0, 0), Argb(GetSysColor(COLOR_BTNSHADOW))) << "3D pressed: sunken";
    EXPECT_EQ(at(3, 1, 40, 0), 0xFF000000u) << "outlined in black while hovered";
    EXPECT_EQ(at(5, 2, 4, 4), hot) << "a checked box draws pressed";
    EXPECT_EQ(at(2, 3, 5, 9), Argb(GetSysColor(COLOR_BTNSHADOW))) << "a disabled icon is embossed";
    EXPECT_EQ(at(0, 4, 10, 10), Argb(RGB(200, 220, 255))) << "the focus colour";
    int dots = 0;
    for (int x = 3; x < kW - 3; ++x)
        dots += at(0, 4, x, 3) != Argb(RGB(200, 220, 255));
    EXPECT_GT(dots, 20) << "the focus rectangle on a flat button that asks for it";
    win32::WriteSnapshotIfRequested(parent.GetSafeHwnd(), "contact_sheet_owner_drawn_buttons");
    parent.DestroyWindow();
    buttons.clear();
}

// Image buttons normal, hot, checked and disabled; a push button at rest,
// hot and held; a frame with a text label; a text annotation.
TEST(ContactSheet, OverlayControlsInEveryState)
{
    cGdiplusGuard guard;
    constexpr LPCWSTR kPng = L"PNG";
    win32::RegisterResourceData(nullptr, kPng, MAKEINTRESOURCEW(801), Png(0.8, 0.1, 0.1));
    win32::RegisterResourceData(nullptr, kPng, MAKEINTRESOURCEW(802), Png(0.9, 0.7, 0.1));
    win32::RegisterResourceData(nullptr, kPng, MAKEINTRESOURCEW(803), Png(0.1, 0.7, 0.1));
    win32::RegisterResourceData(nullptr, kPng, MAKEINTRESOURCEW(804), Png(0.5, 0.5, 0.5));
    constexpr int kWidth = 360, kHeight = 120;
    GpBitmap* bitmap = nullptr;
    GpGraphics* graphics = nullptr;
    GdipCreateBitmapFromScan0(kWidth, kHeight, 0, PixelFormat32bppARGB, nullptr, &bitmap);
    GdipGetImageGraphicsContext(bitmap, &graphics);
    {
        cOverlayContext context(graphics, nullptr);
        auto paintAt = [&](IScreenControl_GDI<TestView>& control, int x, int y) {
            const SIZE s = control.Measure(&context, nullptr);
            control.Arrange(&context, &s, nullptr);
            GdipResetWorldTransform(graphics);
            GdipTranslateWorldTransform(graphics, REAL(x), REAL(y), MatrixOrderPrepend);
            control.Paint(&context, nullptr);
            GdipResetWorldTransform(graphics);
            return s;
        };
        auto at = [bitmap](int x, int y) {
            ARGB c = 0;
            GdipBitmapGetPixel(bitmap, x, y, &c);
            return c;
        };
        const char* states[] = {"normal", "hot", "checked", "disabled"};
        for (int i = 0; i < 4; ++i)
        {
            tSafePtr<cC_ImageButton<TestView>> b(CreateImageButton<TestView>(
                kPng, 801, 802, 803, 804, 0x80007F00u, 255, false, &NoClick, nullptr, nullptr, nullptr));
            if (i == 1)
                b->SetHot(1);
            if (i == 2)
                b->SetChecked(1);
            if (i == 3)
                b->SetEnabled(0);
            const SIZE s = paintAt(*b, 10 + i * 40, 10);
            EXPECT_EQ(at(10 + i * 40 + s.cx / 2, 10 + s.cy / 2) >> 24, 0xFFu) << states[i];
        }
        EXPECT_NE(at(22, 19), at(62, 19)) << "normal and hot differ";
        EXPECT_NE(at(102, 19), at(142, 19)) << "checked and disabled differ";

        for (int i = 0; i < 3; ++i)
        {
            auto frame = Make<cC_Frame<TestView>>();
            frame->SetSquareBorder(0xFF000000u);
            frame->SetFillColour(i == 0 ? 0xFFE0E0E0u : i == 1 ? 0xFFFFE696u : 0xFFC8C8FFu);
            auto label = Make<cC_Text<TestView>>();
            label->SetText(i == 0 ? L"At rest" : i == 1 ? L"Hot" : L"Held");
            label->SetForeColour(0xFF000000u);
            label->SetPadding(3);
            frame->SetContent(label.Get());
            const SIZE s = paintAt(*frame, 10 + i * 80, 50);
            EXPECT_EQ(at(10 + i * 80, 50), 0xFF000000u) << "frame " << i;
            EXPECT_GT(s.cx, 20);
        }
        auto note = Make<cC_Text<TestView>>();
        note->SetText(L"Deviation 0.25 mm");
        note->SetForeColour(0xFF0000A0u);
        paintAt(*note, 10, 90);
    }
    if (std::getenv("VTL_SNAPSHOT_DIR") != nullptr)
    {
        wgl::PixelImage image;
        image.width = kWidth;
        image.height = kHeight;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
            {
                ARGB c = 0;
                GdipBitmapGetPixel(bitmap, x, y, &c);
                const double a = (c >> 24) / 255.0;
                auto mix = [a](std::uint32_t v) { return std::uint8_t(std::lround(v * a + 255 * (1 - a))); };
                image.pixels.push_back(wgl::Rgb(mix((c >> 16) & 0xFF), mix((c >> 8) & 0xFF), mix(c & 0xFF)));
            }
        testrender::Snapshot(image, "contact_sheet_overlay_controls");
    }
    GdipDeleteGraphics(graphics);
    GdipDisposeImage(bitmap);
    for (int id : {801, 802, 803, 804})
        win32::UnregisterResourceData(nullptr, kPng, MAKEINTRESOURCEW(id));
}
