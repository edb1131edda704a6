#include "platform/win32/gdi_internal.h"
#include "platform/win32/gdi_paint.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <cwctype>
#include <mutex>

using namespace win32::detail;

namespace
{

// The classic grey scheme: what the dialogs and the property tree were drawn
// for.
constexpr std::array<COLORREF, 31> kSysColors = {
    RGB(212, 208, 200), // COLOR_SCROLLBAR
    RGB(58, 110, 165),  // COLOR_BACKGROUND
    RGB(10, 36, 106),   // COLOR_ACTIVECAPTION
    RGB(128, 128, 128), // COLOR_INACTIVECAPTION
    RGB(212, 208, 200), // COLOR_MENU
    RGB(255, 255, 255), // COLOR_WINDOW
    RGB(0, 0, 0),       // COLOR_WINDOWFRAME
    RGB(0, 0, 0),       // COLOR_MENUTEXT
    RGB(0, 0, 0),       // COLOR_WINDOWTEXT
    RGB(255, 255, 255), // COLOR_CAPTIONTEXT
    RGB(212, 208, 200), // COLOR_ACTIVEBORDER
    RGB(212, 208, 200), // COLOR_INACTIVEBORDER
    RGB(128, 128, 128), // COLOR_APPWORKSPACE
    RGB(10, 36, 106),   // COLOR_HIGHLIGHT
    RGB(255, 255, 255), // COLOR_HIGHLIGHTTEXT
    RGB(212, 208, 200), // COLOR_BTNFACE
    RGB(128, 128, 128), // COLOR_BTNSHADOW
    RGB(128, 128, 128), // COLOR_GRAYTEXT
    RGB(0, 0, 0),       // COLOR_BTNTEXT
    RGB(212, 208, 200), // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255), // COLOR_BTNHIGHLIGHT
    RGB(64, 64, 64),    // COLOR_3DDKSHADOW
    RGB(212, 208, 200), // COLOR_3DLIGHT
    RGB(0, 0, 0),       // COLOR_INFOTEXT
    RGB(255, 255, 225), // COLOR_INFOBK
    RGB(181, 181, 181), // 25
    RGB(0, 0, 128),     // COLOR_HOTLIGHT
    RGB(166, 202, 240), // 27
    RGB(192, 192, 192), // 28
    RGB(212, 208, 200), // 29
    RGB(212, 208, 200), // 30
};

template <class T> HGDIOBJ RegisterPermanent(std::shared_ptr<T> obj)
{
    obj->permanent = true;
    return win32::RegisterGdiObject(std::move(obj));
}

HGDIOBJ NewBrush(COLORREF color, bool hollow, bool permanent)
{
    auto b = std::make_shared<BrushObject>();
    b->color = color;
    b->hollow = hollow;
    b->permanent = permanent;
    return win32::RegisterGdiObject(std::move(b));
}

HGDIOBJ NewPen(int style, int width, COLORREF color, bool permanent)
{
    auto p = std::make_shared<PenObject>();
    p->style = style;
    p->width = std::max(1, width);
    p->color = color;
    p->permanent = permanent;
    return win32::RegisterGdiObject(std::move(p));
}

LOGFONTW MakeLogFont(LONG height, LONG weight, const wchar_t* face)
{
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfCharSet = ANSI_CHARSET;
    std::wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return lf;
}

// The one face the stand-in sets text in, and the family names it answers
// to when asked.
constexpr const wchar_t* kKnownFamilies[] = {L"Liberation Sans", L"Arial", L"Microsoft Sans Serif"};

bool SameName(const wchar_t* a, const wchar_t* b)
{
    for (; *a && *b; ++a, ++b)
        if (std::towlower(*a) != std::towlower(*b))
            return false;
    return *a == *b;
}

} // namespace

namespace win32::detail
{

text::FontSpec FontObject::Face() const
{
    text::FontSpec font;
    // Negative heights are the character (em) height; positive ones the
    // cell height, which includes the internal leading (about an eighth).
    LONG h = logFont.lfHeight;
    if (h < 0)
        font.pixelSize = -static_cast<double>(h);
    else if (h > 0)
        font.pixelSize = h * 0.87;
    else
        font.pixelSize = 11.0;
    font.bold = logFont.lfWeight >= 600;
    font.italic = logFont.lfItalic != 0;
    font.underline = logFont.lfUnderline != 0;
    return font;
}

std::shared_ptr<FontObject> DefaultFont()
{
    static const HGDIOBJ handle = GetStockObject(DEFAULT_GUI_FONT);
    return win32::LookupGdiObjectAs<FontObject>(handle);
}

} // namespace win32::detail

HPEN CreatePen(int style, int width, COLORREF color)
{
    return static_cast<HPEN>(NewPen(style, width, color, false));
}

HBRUSH CreateSolidBrush(COLORREF color)
{
    return static_cast<HBRUSH>(NewBrush(color, false, false));
}

DWORD GetSysColor(int index)
{
    if (index < 0 || index >= static_cast<int>(kSysColors.size()))
        return 0;
    return kSysColors[static_cast<std::size_t>(index)];
}

HBRUSH GetSysColorBrush(int index)
{
    if (index < 0 || index >= static_cast<int>(kSysColors.size()))
        return nullptr;
    static const std::array<HGDIOBJ, kSysColors.size()> brushes = [] {
        std::array<HGDIOBJ, kSysColors.size()> out{};
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = NewBrush(kSysColors[i], false, true);
        return out;
    }();
    return static_cast<HBRUSH>(brushes[static_cast<std::size_t>(index)]);
}

HGDIOBJ GetStockObject(int index)
{
    static const std::array<HGDIOBJ, 18> stock = [] {
        std::array<HGDIOBJ, 18> out{};
        out[WHITE_BRUSH] = NewBrush(RGB(255, 255, 255), false, true);
        out[LTGRAY_BRUSH] = NewBrush(RGB(192, 192, 192), false, true);
        out[GRAY_BRUSH] = NewBrush(RGB(128, 128, 128), false, true);
        out[DKGRAY_BRUSH] = NewBrush(RGB(64, 64, 64), false, true);
        out[BLACK_BRUSH] = NewBrush(RGB(0, 0, 0), false, true);
        out[NULL_BRUSH] = NewBrush(0, true, true);
        out[WHITE_PEN] = NewPen(PS_SOLID, 1, RGB(255, 255, 255), true);
        out[BLACK_PEN] = NewPen(PS_SOLID, 1, RGB(0, 0, 0), true);
        out[NULL_PEN] = NewPen(PS_NULL, 1, 0, true);
        auto system = std::make_shared<FontObject>();
        system->logFont = MakeLogFont(16, FW_BOLD, L"System");
        out[SYSTEM_FONT] = RegisterPermanent(std::move(system));
        auto gui = std::make_shared<FontObject>();
        gui->logFont = MakeLogFont(-11, FW_NORMAL, L"MS Shell Dlg");
        out[DEFAULT_GUI_FONT] = RegisterPermanent(std::move(gui));
        return out;
    }();
    if (index < 0 || index >= static_cast<int>(stock.size()))
        return nullptr;
    return stock[static_cast<std::size_t>(index)];
}

HFONT CreateFontIndirectW(const LOGFONTW* font)
{
    if (!font)
        return nullptr;
    auto f = std::make_shared<FontObject>();
    f->logFont = *font;
    f->logFont.lfFaceName[LF_FACESIZE - 1] = 0; // a caller's unterminated name stays inside the array
    return static_cast<HFONT>(win32::RegisterGdiObject(std::move(f)));
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCWSTR face)
{
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfWeight = weight;
    lf.lfItalic = static_cast<BYTE>(italic != 0);
    lf.lfUnderline = static_cast<BYTE>(underline != 0);
    lf.lfStrikeOut = static_cast<BYTE>(strikeOut != 0);
    lf.lfCharSet = static_cast<BYTE>(charSet);
    lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
    lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
    lf.lfQuality = static_cast<BYTE>(quality);
    lf.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
    if (face)
        std::wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return CreateFontIndirectW(&lf);
}

int EnumFontFamiliesW(HDC, LPCWSTR family, FONTENUMPROCW proc, LPARAM param)
{
    if (!proc)
        return 0;
    int last = 1;
    for (const wchar_t* name : kKnownFamilies)
    {
        if (family && !SameName(family, name))
            continue;
        LOGFONTW lf = MakeLogFont(-11, FW_NORMAL, name);
        TEXTMETRICW tm{};
        tm.tmHeight = 13;
        tm.tmAscent = 11;
        tm.tmDescent = 2;
        tm.tmWeight = FW_NORMAL;
        last = proc(&lf, &tm, 4 /* TRUETYPE_FONTTYPE */, param);
        if (last == 0)
            break;
    }
    return last;
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height)
{
    return CreateBitmap(width, height, 1, 32, nullptr);
}

HBITMAP CreateBitmap(int width, int height, UINT, UINT bitsPerPixel, const void* bits)
{
    // Large enough for any window, small enough that a wrong size is refused
    // instead of exhausting memory.
    constexpr int kMaxSide = 16384;
    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto b = std::make_shared<BitmapObject>();
    b->width = std::max(width, 1);
    b->height = std::max(height, 1);
    b->pixels.assign(static_cast<std::size_t>(b->width) * b->height, 0xFF000000u);
    if (bits && bitsPerPixel == 32 && width > 0 && height > 0)
        std::memcpy(b->pixels.data(), bits, b->pixels.size() * 4);
    return static_cast<HBITMAP>(win32::RegisterGdiObject(std::move(b)));
}

int GetObjectW(HGDIOBJ object, int bytes, LPVOID out)
{
    auto obj = win32::LookupGdiObject(object);
    if (!obj)
        return 0;
    if (auto b = std::dynamic_pointer_cast<BitmapObject>(obj))
    {
        if (!out)
            return sizeof(BITMAP);
        if (bytes < static_cast<int>(sizeof(BITMAP)))
            return 0;
        BITMAP bm{0, b->width, b->height, b->width * 4, 1, 32, nullptr};
        std::memcpy(out, &bm, sizeof bm);
        return sizeof bm;
    }
    if (auto f = std::dynamic_pointer_cast<FontObject>(obj))
    {
        if (!out)
            return sizeof(LOGFONTW);
        if (bytes < static_cast<int>(sizeof(LOGFONTW)))
            return 0;
        std::memcpy(out, &f->logFont, sizeof(LOGFONTW));
        return sizeof(LOGFONTW);
    }
    return 0;
}

namespace win32
{

LOGFONTW SystemMenuFont()
{
    return MakeLogFont(-11, FW_NORMAL, L"MS Sans Serif");
}

} // namespace win32

BOOL SystemParametersInfoW(UINT action, UINT, LPVOID data, UINT)
{
    if (action != SPI_GETNONCLIENTMETRICS || !data)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto* m = static_cast<NONCLIENTMETRICSW*>(data);
    const UINT size = m->cbSize;
    if (size != sizeof(NONCLIENTMETRICSW) && size != 500 && size != 504)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    NONCLIENTMETRICSW out{};
    out.cbSize = size;
    out.iBorderWidth = 1;
    out.iScrollWidth = 16;
    out.iScrollHeight = 16;
    out.iCaptionWidth = 18;
    out.iCaptionHeight = 18;
    out.lfCaptionFont = MakeLogFont(-11, FW_BOLD, L"MS Sans Serif");
    out.iSmCaptionWidth = 12;
    out.iSmCaptionHeight = 15;
    out.lfSmCaptionFont = out.lfCaptionFont;
    out.iMenuWidth = 18;
    out.iMenuHeight = 18;
    out.lfMenuFont = win32::SystemMenuFont();
    out.lfStatusFont = out.lfMenuFont;
    out.lfMessageFont = out.lfMenuFont;
    *m = out;
    return TRUE;
}

int GetSystemMetrics(int index)
{
    switch (index)
    {
    case SM_CXSCREEN:
        return 1920;
    case SM_CYSCREEN:
        return 1080;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
        return 16;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return 2;
    default:
        return 0;
    }
}
