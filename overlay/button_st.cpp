#include "overlay/button_st.h"
#include "platform/mfc/win_app.h"

#include <algorithm>
#include <cmath>
#include <utility>

IMPLEMENT_DYNAMIC(CButtonST, CButton)
IMPLEMENT_DYNAMIC(CWinXPButtonST, CButtonST)
IMPLEMENT_DYNAMIC(CImageButton, CWinXPButtonST)
IMPLEMENT_DYNAMIC(CWinXPCancelButton, CWinXPButtonST)

namespace
{

constexpr std::size_t kMaxAddress = 260;

void Line(HDC dc, COLORREF colour, std::initializer_list<POINT> points)
{
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ old = SelectObject(dc, pen);
    auto it = points.begin();
    MoveToEx(dc, it->x, it->y, nullptr);
    for (++it; it != points.end(); ++it)
        LineTo(dc, it->x, it->y);
    SelectObject(dc, old);
    DeleteObject(pen);
}

// The one-pixel rim of a rectangle: top-left colour on the top and left
// edges, bottom-right colour on the other two.
void Draw3dRect(HDC dc, const RECT& r, COLORREF topLeft, COLORREF bottomRight)
{
    auto fill = [dc](RECT band, COLORREF colour) {
        HBRUSH brush = CreateSolidBrush(colour);
        FillRect(dc, &band, brush);
        DeleteObject(brush);
    };
    fill(RECT{r.left, r.top, r.right - 1, r.top + 1}, topLeft);
    fill(RECT{r.left, r.top, r.left + 1, r.bottom - 1}, topLeft);
    fill(RECT{r.right - 1, r.top, r.right, r.bottom}, bottomRight);
    fill(RECT{r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
}

int Channel(double v) { return static_cast<int>(std::min(255.0, std::max(0.0, v))); }

} // namespace

stButtonImagePlacement PlaceButtonImage(const RECT& item, const RECT& caption, SIZE image, int alignment,
                                        bool hasCaption, POINT margin, LONG clientWidth)
{
    stButtonImagePlacement out{item, caption};
    RECT& img = out.image;
    RECT& cap = out.caption;
    const LONG itemWidth = item.right - item.left, itemHeight = item.bottom - item.top;
    const LONG centredX = item.left + (itemWidth - image.cx) / 2;
    const LONG centredY = item.top + (itemHeight - image.cy) / 2;
    switch (alignment)
    {
    case 1:
        img.left = centredX;
        if (hasCaption)
        {
            img.top = margin.y;
            cap.top += image.cy;
        }
        else
            img.top = centredY;
        break;
    case 2:
        if (hasCaption)
        {
            cap.right -= margin.x + cap.left + image.cx;
            cap.left = margin.x;
            img.left = clientWidth - margin.x - image.cx;
        }
        else
            img.left = centredX;
        img.top = centredY;
        break;
    default:
        if (hasCaption)
        {
            img.left = item.left + margin.x;
            cap.left += margin.x + image.cx;
        }
        else
            img.left = centredX;
        img.top = centredY;
        break;
    }
    img.right = img.left + image.cx;
    img.bottom = img.top + image.cy;
    return out;
}

int ButtonImageIndex(bool hasRestImage, bool checkBox, bool pressed, bool hovered)
{
    if (!hasRestImage)
        return 0;
    if (checkBox)
        return pressed ? 0 : 1;
    return !pressed && !hovered ? 1 : 0;
}

COLORREF GreyIconPixel(COLORREF c)
{
    if ((c & 0xFFFFFF) == 0)
        return c;
    const double r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    const double v = (0.6 * g + 0.3 * r + 0.2 * b) * static_cast<double>(1.1f);
    const int grey = Channel(std::trunc(std::min(v, 255.0)));
    return RGB(grey, grey, grey);
}

COLORREF DarkenIconPixel(COLORREF c, double factor)
{
    if ((c & 0xFFFFFF) == 0 || !(factor > 0.0 && factor <= 1.0))
        return c;
    auto dark = [factor](int v) { return Channel(std::trunc(v - v * factor)); };
    return RGB(dark(GetRValue(c)), dark(GetGValue(c)), dark(GetBValue(c)));
}

SIZE ButtonIconSize(HICON icon)
{
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info))
        return SIZE{0, 0};
    BITMAP image{};
    if (info.hbmColor != nullptr)
        GetObjectW(info.hbmColor, sizeof image, &image);
    else
    {
        GetObjectW(info.hbmMask, sizeof image, &image);
        image.bmHeight /= 2;
    }
    DeleteObject(info.hbmMask);
    if (info.hbmColor != nullptr)
        DeleteObject(info.hbmColor);
    const auto twice = [](DWORD hot) { return static_cast<LONG>(std::min<DWORD>(hot, 0x3FFFFFFF) * 2); };
    return SIZE{std::min(twice(info.xHotspot), image.bmWidth), std::min(twice(info.yHotspot), image.bmHeight)};
}

HICON CreateButtonIconCopy(HICON icon, bool grey)
{
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info))
        return nullptr;
    HICON copy = nullptr;
    if (info.hbmColor == nullptr)
        copy = CreateIconIndirect(&info); // black and white: both rules leave it as it is
    else
    {
        const SIZE size = ButtonIconSize(icon);
        HDC source = CreateCompatibleDC(nullptr);
        HDC target = CreateCompatibleDC(nullptr);
        HBITMAP colour = CreateCompatibleBitmap(source, size.cx, size.cy);
        HGDIOBJ oldSource = SelectObject(source, info.hbmColor);
        HGDIOBJ oldTarget = SelectObject(target, colour);
        for (int y = 0; y < size.cy; ++y)
            for (int x = 0; x < size.cx; ++x)
            {
                const COLORREF c = GetPixel(source, x, y);
                SetPixel(target, x, y, grey ? GreyIconPixel(c) : DarkenIconPixel(c));
            }
        SelectObject(source, oldSource);
        SelectObject(target, oldTarget);
        DeleteDC(source);
        DeleteDC(target);
        ICONINFO made{TRUE, 0, 0, info.hbmMask, colour};
        copy = CreateIconIndirect(&made);
        DeleteObject(colour);
    }
    DeleteObject(info.hbmMask);
    if (info.hbmColor != nullptr)
        DeleteObject(info.hbmColor);
    return copy;
}

BEGIN_MESSAGE_MAP(CButtonST, CButton)
ON_WM_SETCURSOR()
ON_WM_KILLFOCUS()
ON_WM_CANCELMODE()
ON_WM_SYSCOLORCHANGE()
ON_WM_ACTIVATE()
ON_WM_ENABLE()
ON_WM_MOUSEMOVE()
ON_WM_MOUSELEAVE()
ON_WM_GETDLGCODE()
ON_CONTROL_REFLECT_EX(BN_CLICKED, &CButtonST::OnClicked)
ON_MESSAGE(BM_SETCHECK, &CButtonST::OnSetCheck)
ON_MESSAGE(BM_GETCHECK, &CButtonST::OnGetCheck)
ON_MESSAGE(BM_SETSTYLE, &CButtonST::OnSetStyle)
ON_WM_CTLCOLOR_REFLECT()
END_MESSAGE_MAP()

CButtonST::CButtonST() { SetDefaultColours(); }

CButtonST::~CButtonST()
{
    if (m_backgroundDc != nullptr && m_backgroundOld != nullptr)
        SelectObject(m_backgroundDc, m_backgroundOld);
    m_backgroundOld = nullptr;
    FreeImages();
    if (m_cursor != nullptr)
        DestroyCursor(m_cursor);
    if (m_menu != nullptr)
        DestroyMenu(m_menu);
    FreeBackground();
    if (m_tooltip.GetSafeHwnd() != nullptr)
        m_tooltip.DestroyWindow();
    FreeFont();
}

void CButtonST::SetColour(int slot, COLORREF colour)
{
    if (slot >= 0 && slot < kColourCount)
        m_colours[slot] = colour;
}

COLORREF CButtonST::GetColour(int slot) const { return slot >= 0 && slot < kColourCount ? m_colours[slot] : 0; }

void CButtonST::SetDefaultColours()
{
    for (int i = 0; i < kColourCount; i += 2)
    {
        m_colours[i] = GetSysColor(COLOR_BTNFACE);
        m_colours[i + 1] = GetSysColor(COLOR_BTNTEXT);
    }
}

void CButtonST::SetMenu(HMENU menu, HWND owner)
{
    if (m_menu != nullptr && m_menu != menu)
        DestroyMenu(m_menu);
    m_menu = menu;
    m_menuOwner = owner;
}

void CButtonST::FreeImages()
{
    for (stIcon& i : m_icons)
    {
        if (i.icon != nullptr)
            DestroyIcon(i.icon);
        i = stIcon{};
    }
    for (stBitmap& b : m_bitmaps)
    {
        if (b.image != nullptr)
            DeleteObject(b.image);
        if (b.mask != nullptr)
            DeleteObject(b.mask);
        b = stBitmap{};
    }
}

void CButtonST::SetBitmaps(HBITMAP hot, HBITMAP hotMask, HBITMAP rest, HBITMAP restMask)
{
    FreeImages();
    const HBITMAP images[2] = {hot, rest}, masks[2] = {hotMask, restMask};
    for (int i = 0; i < 2; ++i)
    {
        if (images[i] == nullptr)
            continue;
        BITMAP info{};
        GetObjectW(images[i], sizeof info, &info);
        m_bitmaps[i] = stBitmap{images[i], masks[i], SIZE{info.bmWidth, info.bmHeight}};
    }
    if (m_hWnd != nullptr)
        Invalidate(TRUE);
}

void CButtonST::SetURL(const wchar_t* address)
{
    m_address = address != nullptr ? std::wstring(address).substr(0, kMaxAddress) : std::wstring();
}

DWORD CButtonST::SetIcon(HICON hot, HICON rest)
{
    FreeImages();
    if (hot != nullptr)
    {
        m_icons[0] = stIcon{hot, ButtonIconSize(hot)};
        if (rest == kButtonIconDarkened || rest == kButtonIconGrey)
        {
            rest = CreateButtonIconCopy(hot, rest == kButtonIconGrey);
            if (rest == nullptr)
            {
                FreeImages();
                return 1;
            }
        }
        else if (rest != nullptr)
        {
            ICONINFO info{};
            if (!GetIconInfo(rest, &info))
            {
                FreeImages();
                return 1;
            }
            DeleteObject(info.hbmMask);
            if (info.hbmColor != nullptr)
                DeleteObject(info.hbmColor);
        }
        if (rest != nullptr)
            m_icons[1] = stIcon{rest, ButtonIconSize(rest)};
    }
    if (m_hWnd != nullptr)
        Invalidate(TRUE);
    return 0;
}

DWORD CButtonST::SetIconFromResource(UINT id)
{
    HICON icon = static_cast<HICON>(
        LoadImageW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id), IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR));
    return SetIcon(icon);
}

void CButtonST::SetDrawTransparent(bool transparent)
{
    m_drawTransparent = transparent;
    if (!transparent)
        FreeBackground();
}

void CButtonST::FreeBackground()
{
    if (m_backgroundDc != nullptr && m_backgroundOld != nullptr)
        SelectObject(m_backgroundDc, m_backgroundOld);
    if (m_background != nullptr)
        DeleteObject(m_background);
    if (m_backgroundDc != nullptr)
        DeleteDC(m_backgroundDc);
    m_backgroundDc = nullptr;
    m_background = nullptr;
    m_backgroundOld = nullptr;
}

// The parent's pixels under the button are saved once: later paints of the
// parent may already show the button itself there.
void CButtonST::PaintParentBackground(HDC dc, const RECT& client)
{
    const int w = client.right - client.left, h = client.bottom - client.top;
    if (m_backgroundDc == nullptr)
    {
        HWND parent = ::GetParent(m_hWnd);
        HDC parentDc = ::GetDC(parent);
        RECT window{};
        ::GetWindowRect(m_hWnd, &window);
        POINT at{window.left, window.top};
        ::ScreenToClient(parent, &at);
        m_backgroundDc = CreateCompatibleDC(parentDc);
        m_background = CreateCompatibleBitmap(parentDc, w, h);
        m_backgroundOld = SelectObject(m_backgroundDc, m_background);
        BitBlt(m_backgroundDc, 0, 0, w, h, parentDc, at.x, at.y, SRCCOPY);
        ::ReleaseDC(parent, parentDc);
    }
    BitBlt(dc, 0, 0, w, h, m_backgroundDc, 0, 0, SRCCOPY);
}

void CButtonST::FreeFont()
{
    if (m_font != nullptr)
        DeleteObject(m_font);
    m_font = nullptr;
}

void CButtonST::SetCustomFont(bool custom)
{
    m_customFont = custom;
    FreeFont();
}

void CButtonST::SetFontFace(const wchar_t* face)
{
    std::fill(std::begin(m_fontFace), std::end(m_fontFace), L'\0');
    if (face != nullptr)
        for (std::size_t i = 0; i + 1 < std::size(m_fontFace) && face[i] != L'\0'; ++i)
            m_fontFace[i] = face[i];
    FreeFont();
}

void CButtonST::SetFontHeight(int height)
{
    m_fontHeight = height;
    FreeFont();
}

void CButtonST::SetFontBold(bool bold)
{
    m_fontBold = bold;
    FreeFont();
}

void CButtonST::SetFontItalic(bool italic)
{
    m_fontItalic = italic;
    FreeFont();
}

void CButtonST::SetFontUnderline(bool underline)
{
    m_fontUnderline = underline;
    FreeFont();
}

void CButtonST::SetSound(const wchar_t* sound, HMODULE module, bool onClick)
{
    stSound& s = m_sounds[onClick ? 1 : 0];
    s = stSound{};
    if (sound == nullptr)
        return;
    s.module = module;
    s.flags = SND_ASYNC | SND_NODEFAULT;
    if (IS_INTRESOURCE(sound))
    {
        s.name = sound;
        s.flags |= SND_RESOURCE;
        return;
    }
    for (std::size_t i = 0; i + 1 < std::size(s.buffer) && sound[i] != L'\0'; ++i)
        s.buffer[i] = sound[i];
    s.name = s.buffer;
    s.flags |= SND_FILENAME;
}

void CButtonST::Play(const stSound& sound) const
{
    if (sound.name != nullptr)
        PlaySoundW(sound.name, sound.module, sound.flags);
}

void CButtonST::SetMenuCallback(HWND window, UINT message, LPARAM parameter)
{
    m_menuCallbackWindow = window;
    m_menuCallbackMessage = message;
    m_menuCallbackParameter = parameter;
}

HBRUSH CButtonST::CtlColor(CDC*, UINT) { return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)); }

void CButtonST::PreSubclassWindow()
{
    const DWORD style = GetStyle() & 0xFFFF;
    m_initialType = style & 0x1F;
    m_checkBox = (m_initialType & 0x2) != 0;
    if (m_initialType == BS_DEFPUSHBUTTON)
    {
        m_default = true;
        m_initialType = 0;
    }
    ModifyStyle(0x1F, BS_OWNERDRAW, SWP_FRAMECHANGED);
    CButton::PreSubclassWindow();
}

COLORREF CButtonST::BackColourFor() const
{
    if (m_mouseOver || m_pressed)
        return m_colours[kColourBackHot];
    return m_focused ? m_colours[kColourBackFocus] : m_colours[kColourBackRest];
}

COLORREF CButtonST::TextColourFor() const
{
    if (m_mouseOver || m_pressed)
        return m_colours[kColourTextHot];
    return m_focused ? m_colours[kColourTextFocus] : m_colours[kColourTextRest];
}

void CButtonST::DrawItem(DRAWITEMSTRUCT* item)
{
    if (item == nullptr)
        return;
    HDC dc = item->hDC;
    const bool selected = (item->itemState & ODS_SELECTED) != 0;
    if (m_checkBox)
        m_pressed = selected || m_checked;
    else
        m_pressed = m_menu != nullptr && m_menuTracking ? true : selected;
    m_focused = (item->itemState & ODS_FOCUS) != 0;
    m_disabled = (item->itemState & ODS_DISABLED) != 0;

    RECT rect = item->rcItem;
    if (m_drawTransparent)
        PaintParentBackground(dc, item->rcItem);
    else
        DrawBackground(dc, &rect);
    DrawBorder(dc, &rect);
    SetBkMode(dc, TRANSPARENT);

    wchar_t caption[512] = {};
    GetWindowTextW(m_hWnd, caption, static_cast<int>(std::size(caption)));
    RECT captionRect = item->rcItem;
    if (m_icons[0].icon != nullptr)
        DrawButtonIcon(dc, caption[0] != L'\0', item->rcItem, &captionRect, m_pressed, m_disabled);
    if (m_bitmaps[0].image != nullptr)
    {
        SetBkColor(dc, RGB(255, 255, 255));
        DrawButtonBitmap(dc, caption[0] != L'\0', item->rcItem, &captionRect, m_pressed, m_disabled);
    }
    if (caption[0] != L'\0')
        DrawButtonText(dc, caption, item->rcItem, &captionRect, m_pressed, m_disabled);

    if ((!m_flat || m_flatFocus) && m_focused)
    {
        RECT focus = item->rcItem;
        focus.left += 3;
        focus.top += 3;
        focus.right -= 3;
        focus.bottom -= 3;
        DrawFocusRect(dc, &focus);
    }
}

void CButtonST::DrawBackground(HDC dc, RECT* rect)
{
    if (!m_flat && (m_focused || m_default))
    {
        HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
        FrameRect(dc, rect, black);
        DeleteObject(black);
        rect->left += 1;
        rect->top += 1;
        rect->right -= 1;
        rect->bottom -= 1;
    }
    HBRUSH face = CreateSolidBrush(BackColourFor());
    FillRect(dc, rect, face);
    DeleteObject(face);
}

void CButtonST::DrawBorder(HDC dc, RECT* rect)
{
    const RECT& r = *rect;
    if (m_pressed)
    {
        if (m_flat)
        {
            if (m_drawBorder)
                Draw3dRect(dc, r, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
        }
        else
        {
            HBRUSH shadow = CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW));
            FrameRect(dc, rect, shadow);
            DeleteObject(shadow);
        }
        return;
    }
    if (!m_flat)
    {
        const LONG L = r.left, T = r.top, R = r.right, B = r.bottom;
        Line(dc, GetSysColor(COLOR_BTNHIGHLIGHT), {POINT{L, B - 1}, POINT{L, T}, POINT{R, T}});
        Line(dc, GetSysColor(COLOR_3DLIGHT), {POINT{L + 1, B - 1}, POINT{L + 1, T + 1}, POINT{R, T + 1}});
        Line(dc, GetSysColor(COLOR_3DDKSHADOW), {POINT{L, B - 1}, POINT{R - 1, B - 1}, POINT{R - 1, T - 1}});
        Line(dc, GetSysColor(COLOR_BTNSHADOW), {POINT{L + 1, B - 2}, POINT{R - 2, B - 2}, POINT{R - 2, T}});
        return;
    }
    if (m_mouseOver && m_drawBorder)
        Draw3dRect(dc, r, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
}

void CButtonST::DrawButtonIcon(HDC dc, bool hasCaption, const RECT& item, RECT* captionRect, bool pressed,
                               bool disabled)
{
    const int index = ButtonImageIndex(m_icons[1].icon != nullptr, m_checkBox, pressed, m_mouseOver);
    const stIcon& icon = m_icons[index];
    RECT client{};
    GetClientRect(&client);
    stButtonImagePlacement place =
        PlaceButtonImage(item, *captionRect, icon.size, m_alignment, hasCaption, m_imageMargin, client.right);
    *captionRect = place.caption;
    if (pressed && !m_checkBox)
    {
        place.image.left += m_pressedOffset.x;
        place.image.top += m_pressedOffset.y;
    }
    DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon.icon), 0, place.image.left, place.image.top,
               icon.size.cx, icon.size.cy, DST_ICON | (disabled ? DSS_DISABLED : DSS_NORMAL));
}

void CButtonST::DrawButtonBitmap(HDC dc, bool hasCaption, const RECT& item, RECT* captionRect, bool pressed,
                                 bool disabled)
{
    const int index = ButtonImageIndex(m_bitmaps[1].image != nullptr, m_checkBox, pressed, m_mouseOver);
    const stBitmap& b = m_bitmaps[index];
    RECT client{};
    GetClientRect(&client);
    stButtonImagePlacement place =
        PlaceButtonImage(item, *captionRect, b.size, m_alignment, hasCaption, m_imageMargin, client.right);
    *captionRect = place.caption;
    if (pressed && !m_checkBox)
    {
        place.image.left += m_pressedOffset.x;
        place.image.top += m_pressedOffset.y;
    }
    HDC memory = CreateCompatibleDC(dc);
    const int w = b.size.cx, h = b.size.cy;
    if (!disabled || !m_showDisabledBitmap)
    {
        HGDIOBJ old = nullptr;
        if (b.mask != nullptr)
        {
            old = SelectObject(memory, b.mask);
            BitBlt(dc, place.image.left, place.image.top, w, h, memory, 0, 0, SRCAND);
            SelectObject(memory, b.image);
            BitBlt(dc, place.image.left, place.image.top, w, h, memory, 0, 0, SRCPAINT);
        }
        else
        {
            old = SelectObject(memory, b.image);
            BitBlt(dc, place.image.left, place.image.top, w, h, memory, 0, 0, SRCCOPY);
        }
        SelectObject(memory, old);
        DeleteDC(memory);
        return;
    }
    // Disabled: mask and image combined on white, then embossed.
    HBITMAP combined = CreateCompatibleBitmap(dc, w, h);
    HDC work = CreateCompatibleDC(dc);
    HGDIOBJ oldWork = SelectObject(work, combined);
    PatBlt(work, 0, 0, w, h, WHITENESS);
    HGDIOBJ old = SelectObject(memory, b.mask != nullptr ? b.mask : b.image);
    BitBlt(work, 0, 0, w, h, memory, 0, 0, b.mask != nullptr ? SRCAND : SRCCOPY);
    if (b.mask != nullptr)
    {
        SelectObject(memory, b.image);
        BitBlt(work, 0, 0, w, h, memory, 0, 0, SRCPAINT);
    }
    SelectObject(memory, old);
    SelectObject(work, oldWork);
    DeleteDC(work);
    DeleteDC(memory);
    const COLORREF oldBack = SetBkColor(dc, RGB(255, 255, 255));
    DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(combined), 0, place.image.left, place.image.top, w, h,
               DST_BITMAP | DSS_DISABLED);
    SetBkColor(dc, oldBack);
    DeleteObject(combined);
}

void CButtonST::DrawButtonText(HDC dc, const wchar_t* caption, const RECT&, RECT* captionRect, bool pressed,
                               bool disabled)
{
    if (pressed && !m_checkBox)
    {
        captionRect->left += m_pressedOffset.x;
        captionRect->right += m_pressedOffset.x;
        captionRect->top += m_pressedOffset.y;
        captionRect->bottom += m_pressedOffset.y;
    }
    HGDIOBJ oldFont = nullptr;
    if (m_customFont)
    {
        if (m_font == nullptr)
            m_font = CreateFontW(m_fontHeight, 0, 0, 0, m_fontBold ? 900 : 400, m_fontItalic, m_fontUnderline, 0,
                                 DEFAULT_CHARSET, 2, 1, 0, 0, m_fontFace);
        if (m_font != nullptr)
            oldFont = SelectObject(dc, m_font);
    }
    RECT measured = *captionRect;
    DrawTextW(dc, caption, -1, &measured, DT_WORDBREAK | DT_CALCRECT);
    const LONG dx = ((captionRect->right - captionRect->left) - (measured.right - measured.left)) / 2;
    const LONG dy = ((captionRect->bottom - captionRect->top) - (measured.bottom - measured.top)) / 2;
    RECT text{measured.left + dx, measured.top + dy, measured.right + dx, measured.bottom + dy};
    *captionRect = text;
    if (disabled)
    {
        RECT engraved{text.left + 1, text.top + 1, text.right + 1, text.bottom + 1};
        SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawTextW(dc, caption, -1, &engraved, DT_WORDBREAK);
        SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
        DrawTextW(dc, caption, -1, &text, DT_WORDBREAK);
    }
    else
    {
        SetTextColor(dc, TextColourFor());
        SetBkColor(dc, BackColourFor());
        DrawTextW(dc, caption, -1, &text, DT_WORDBREAK);
    }
    if (oldFont != nullptr)
        SelectObject(dc, oldFont);
}

BOOL CButtonST::OnSetCursor(CWnd* window, UINT hitTest, UINT message)
{
    if (m_cursor != nullptr)
    {
        ::SetCursor(m_cursor);
        return TRUE;
    }
    return CButton::OnSetCursor(window, hitTest, message);
}

void CButtonST::OnKillFocus(CWnd* gaining)
{
    CButton::OnKillFocus(gaining);
    LeaveHover();
}

BOOL CButtonST::PreTranslateMessage(MSG* msg)
{
    // The button's own tooltip holds no tool; the dialogs register their
    // buttons in a tooltip of their own.
    if (m_tooltip.GetSafeHwnd() == nullptr && m_hWnd != nullptr)
    {
        m_tooltip.Create(this, m_tooltipStyle);
        m_tooltip.Activate(FALSE);
        m_tooltip.SetMaxTipWidth(400);
    }
    m_tooltip.RelayEvent(msg);
    if (msg != nullptr && msg->hwnd == m_hWnd && msg->message == WM_LBUTTONDBLCLK)
        msg->message = WM_LBUTTONDOWN;
    return CButton::PreTranslateMessage(msg);
}

void CButtonST::OnCancelMode()
{
    CButton::OnCancelMode();
    LeaveHover();
}

void CButtonST::OnSysColorChange()
{
    CButton::OnSysColorChange();
    FreeBackground();
    SetDefaultColours();
    Invalidate(TRUE);
}

void CButtonST::OnActivate(UINT state, CWnd* other, BOOL minimized)
{
    CButton::OnActivate(state, other, minimized);
    if (state == WA_INACTIVE)
        LeaveHover();
}

// A button that is disabled while it has the focus hands the focus on.
void CButtonST::OnEnable(BOOL enable)
{
    CButton::OnEnable(enable);
    if (enable)
        return;
    if (CWnd* parent = GetParent(); parent != nullptr && ::GetFocus() == m_hWnd)
    {
        HWND next = ::GetNextDlgTabItem(parent->GetSafeHwnd(), m_hWnd, FALSE);
        ::SetFocus(next != nullptr && next != m_hWnd ? next : parent->GetSafeHwnd());
    }
    LeaveHover();
}

void CButtonST::LeaveHover()
{
    if (!m_mouseOver)
        return;
    m_mouseOver = false;
    Invalidate(TRUE);
}

// The pointer is over the button while it lies in its client area (the
// stand-in has no window-from-point lookup).
void CButtonST::OnMouseMove(UINT flags, CPoint point)
{
    CButton::OnMouseMove(flags, point);
    if (((flags & MK_LBUTTON) != 0 && !m_mouseOver) || !m_flat)
        return;
    if (!m_alwaysTrack && ::GetActiveWindow() == nullptr)
        return;
    RECT client{};
    GetClientRect(&client);
    const bool over = point.x >= client.left && point.x < client.right && point.y >= client.top && point.y < client.bottom;
    if (over)
    {
        if (m_mouseOver)
            return;
        m_mouseOver = true;
        Invalidate(TRUE);
        Play(m_sounds[0]);
        TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, m_hWnd, 0};
        ::TrackMouseEvent(&track);
    }
    else
        LeaveHover();
}

void CButtonST::OnMouseLeave() { LeaveHover(); }

UINT CButtonST::OnGetDlgCode()
{
    const UINT code = static_cast<UINT>(Default());
    return code | static_cast<UINT>(m_default ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
}

// The parent sees the click too (FALSE).
BOOL CButtonST::OnClicked()
{
    SetFocus();
    Play(m_sounds[1]);
    if (m_checkBox)
    {
        m_checked = !m_checked;
        Invalidate(TRUE);
        return FALSE;
    }
    if (m_menu != nullptr)
    {
        m_menuTracking = true;
        Invalidate(TRUE);
        if (HMENU sub = GetSubMenu(m_menu, 0); sub != nullptr)
        {
            if (m_menuCallbackWindow != nullptr)
                ::SendMessageW(m_menuCallbackWindow, m_menuCallbackMessage, reinterpret_cast<WPARAM>(sub),
                               m_menuCallbackParameter);
            RECT r{};
            ::GetWindowRect(m_hWnd, &r);
            const UINT command = static_cast<UINT>(
                TrackPopupMenuEx(sub, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, r.left, r.bottom, m_menuOwner, nullptr));
            m_menuTracking = false;
            Invalidate(TRUE);
            // A menu without an owner has nobody to tell.
            if (command != 0 && m_menuOwner != nullptr)
                ::PostMessageW(m_menuOwner, WM_COMMAND, MAKEWPARAM(command, 0), 0);
        }
        m_menuTracking = false;
        return FALSE;
    }
    if (!m_address.empty())
    {
        SHELLEXECUTEINFOW open{};
        open.cbSize = sizeof open;
        open.fMask = SEE_MASK_FLAG_NO_UI;
        open.lpVerb = L"open";
        open.lpFile = m_address.c_str();
        open.nShow = SW_SHOWMAXIMIZED;
        ::ShellExecuteExW(&open);
    }
    return FALSE;
}

LRESULT CButtonST::OnSetCheck(WPARAM check, LPARAM)
{
    if (m_checkBox)
    {
        m_checked = check == 1 || check == 2;
        Invalidate(TRUE);
    }
    return 0;
}

LRESULT CButtonST::OnGetCheck(WPARAM, LPARAM) { return m_checked ? 1 : 0; }

LRESULT CButtonST::OnSetStyle(WPARAM style, LPARAM redraw)
{
    const UINT type = static_cast<UINT>(style) & BS_TYPEMASK;
    if (type == BS_DEFPUSHBUTTON)
        m_default = true;
    else if (type == 0)
        m_default = false;
    const WPARAM passed = (style & ~static_cast<WPARAM>(0x14)) | BS_OWNERDRAW;
    return DefWindowProcW(m_hWnd, BM_SETSTYLE, passed, redraw);
}

void CWinXPButtonST::DrawBackground(HDC dc, RECT* rect)
{
    const bool active = m_mouseOver || m_pressed;
    if (!active)
    {
        CButtonST::DrawBackground(dc, rect);
        if (!m_outlineAtRest)
            return;
    }
    HPEN pen = CreatePen(PS_SOLID, 1, active ? RGB(0, 0, 0) : RGB(120, 120, 120));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HBRUSH face = active ? CreateSolidBrush(m_colours[kColourBackHot]) : nullptr;
    HGDIOBJ oldBrush = face != nullptr ? SelectObject(dc, face) : nullptr;
    if (m_rounded)
        RoundRect(dc, rect->left, rect->top, rect->right, rect->bottom, 8, 8);
    else
        Rectangle(dc, rect->left, rect->top, rect->right, rect->bottom);
    if (face != nullptr)
    {
        SelectObject(dc, oldBrush);
        DeleteObject(face);
    }
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}
