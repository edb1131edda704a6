// Owner-drawn push buttons and check boxes of the tool dialogs: a flat or
// 3D face with a hover highlight, colours of their own per state, a
// word-wrapped caption, and a drop-down popup menu; and the flat outlined
// face of the newer dialogs.
#pragma once

#include "platform/mfc/controls.h"
#include "platform/mfc/tooltip_ctrl.h"
#include "platform/win32/win32.h"

#include <cstdint>
#include <string>

// Colour slots of a button.
enum eButtonColour
{
    kColourBackHot = 0,  // background while hovered or pressed
    kColourTextHot,
    kColourBackRest,
    kColourTextRest,
    kColourBackFocus,
    kColourTextFocus,
    kColourCount,
};

// Where an image of (w, h) lies in a button and how it moves the caption;
// alignment 0 left of the caption, 1 above it, 2 right of it.
struct stButtonImagePlacement
{
    RECT image;
    RECT caption;
};
stButtonImagePlacement PlaceButtonImage(const RECT& item, const RECT& caption, SIZE image, int alignment,
                                        bool hasCaption, POINT margin, LONG clientWidth);

// Which of two images a button shows: 1 (the one at rest) when it has one
// and the button is neither pressed nor hovered; a check box shows it
// whenever it is not pressed or checked.
int ButtonImageIndex(bool hasRestImage, bool checkBox, bool pressed, bool hovered);

// Pixel rules of the icon copies: grey (lighter than the plain mean) and
// darkened to 75 %; black stays black.
COLORREF GreyIconPixel(COLORREF colour);
COLORREF DarkenIconPixel(COLORREF colour, double factor = 0.25);

// Second icons that ask SetIcon for a copy of the first one instead.
inline const HICON kButtonIconDarkened = reinterpret_cast<HICON>(static_cast<ULONG_PTR>(0xFFFFFFFD));
inline const HICON kButtonIconGrey = reinterpret_cast<HICON>(static_cast<ULONG_PTR>(0xFFFFFFFE));

// The size an icon is drawn at: twice its hot spot each way, but never more
// than its image (a hot spot past the centre would reach outside it).
SIZE ButtonIconSize(HICON icon);
// A grey or darkened copy of the icon over that size, with the icon's own
// mask; null when the icon cannot be read.
HICON CreateButtonIconCopy(HICON icon, bool grey);

class CButtonST : public CButton
{
    DECLARE_DYNAMIC(CButtonST)

public:
    CButtonST();
    ~CButtonST() override;

    void SetFlat(bool flat) { m_flat = flat; }
    bool IsFlat() const { return m_flat; }
    void SetDrawBorder(bool draw) { m_drawBorder = draw; }
    void SetFlatFocus(bool focus) { m_flatFocus = focus; }
    void SetAlign(int alignment) { m_alignment = alignment; }
    void SetColour(int slot, COLORREF colour);
    COLORREF GetColour(int slot) const;
    void SetDefaultColours();
    void SetPressedOffset(int x, int y) { m_pressedOffset = POINT{x, y}; }
    // Submenu 0 of the menu drops down on click; commands go to the owner.
    void SetMenu(HMENU menu, HWND owner);
    void SetAlwaysTrack(bool track) { m_alwaysTrack = track; }
    // At most 260 characters are kept.
    void SetURL(const wchar_t* address);
    const std::wstring& GetURL() const { return m_address; }
    void SetBtnCursor(HCURSOR cursor) { m_cursor = cursor; }
    // Two images with their masks (white where the face shows through): the
    // first while hovered or pressed, the second at rest (may be null). The
    // button owns them from here on.
    void SetBitmaps(HBITMAP hot, HBITMAP hotMask, HBITMAP rest, HBITMAP restMask);
    void SetShowDisabledBitmap(bool show) { m_showDisabledBitmap = show; }
    // Two icons, shown as the two bitmaps are; the second may be null, or
    // kButtonIconDarkened / kButtonIconGrey for a copy of the first. The
    // button owns them from here on. 1 when the second cannot be read (no
    // images are kept then), else 0.
    DWORD SetIcon(HICON hot, HICON rest = nullptr);
    DWORD SetIconFromResource(UINT id);
    // Paints the parent's background (saved at the first paint) instead of a face.
    void SetDrawTransparent(bool transparent);
    // The caption's own font; a change shows at the next paint. The face
    // name keeps at most 31 characters.
    void SetCustomFont(bool custom);
    void SetFontFace(const wchar_t* face);
    void SetFontHeight(int height);
    void SetFontBold(bool bold);
    void SetFontItalic(bool italic);
    void SetFontUnderline(bool underline);
    // A sound (file name, or resource id with its module) played when the
    // pointer enters the button or when it is clicked; null stops playing
    // one. Names keep at most 259 characters.
    void SetSound(const wchar_t* sound, HMODULE module = nullptr, bool onClick = false);
    // Sent to the window (message, submenu, parameter) before the menu drops down.
    void SetMenuCallback(HWND window, UINT message, LPARAM parameter = 0);
    void SetTooltipStyle(DWORD style) { m_tooltipStyle = style; }
    const CToolTipCtrl& GetTooltip() const { return m_tooltip; }

    bool IsCheckBox() const { return m_checkBox; }
    bool IsDefault() const { return m_default; }
    bool IsHovered() const { return m_mouseOver; }
    int GetChecked() const { return m_checked ? 1 : 0; }

    void DrawItem(DRAWITEMSTRUCT* item) override;
    afx_msg HBRUSH CtlColor(CDC* dc, UINT ctlColor);

protected:
    void PreSubclassWindow() override;
    virtual void DrawBackground(HDC dc, RECT* rect);
    virtual void DrawBorder(HDC dc, RECT* rect);
    virtual void DrawButtonIcon(HDC dc, bool hasCaption, const RECT& item, RECT* captionRect, bool pressed,
                                bool disabled);
    virtual void DrawButtonBitmap(HDC dc, bool hasCaption, const RECT& item, RECT* captionRect, bool pressed,
                                  bool disabled);
    virtual void DrawButtonText(HDC dc, const wchar_t* caption, const RECT& item, RECT* captionRect, bool pressed,
                                bool disabled);

    // A double click acts as a second press.
    BOOL PreTranslateMessage(MSG* msg) override;

    afx_msg BOOL OnSetCursor(CWnd* window, UINT hitTest, UINT message);
    afx_msg void OnCancelMode();
    afx_msg void OnSysColorChange();
    afx_msg void OnActivate(UINT state, CWnd* other, BOOL minimized);
    afx_msg void OnEnable(BOOL enable);
    afx_msg void OnKillFocus(CWnd* gaining);
    afx_msg void OnMouseMove(UINT flags, CPoint point);
    afx_msg void OnMouseLeave();
    afx_msg UINT OnGetDlgCode();
    afx_msg BOOL OnClicked();
    afx_msg LRESULT OnSetCheck(WPARAM check, LPARAM);
    afx_msg LRESULT OnGetCheck(WPARAM, LPARAM);
    afx_msg LRESULT OnSetStyle(WPARAM style, LPARAM redraw);
    DECLARE_MESSAGE_MAP()

    void LeaveHover();
    COLORREF BackColourFor() const;
    COLORREF TextColourFor() const;

    bool m_flat = true;
    bool m_mouseOver = false;
    bool m_pressed = false;
    bool m_focused = false;
    bool m_disabled = false;
    bool m_default = false;
    bool m_checkBox = false;
    int m_alignment = 0;
    bool m_drawBorder = true;
    bool m_flatFocus = false;
    COLORREF m_colours[kColourCount]{};
    HWND m_menuOwner = nullptr;
    bool m_menuTracking = false;
    HMENU m_menu = nullptr;
    HCURSOR m_cursor = nullptr;
    bool m_alwaysTrack = true;
    bool m_checked = false;
    UINT m_initialType = 31;
    POINT m_imageMargin{3, 3};
    POINT m_pressedOffset{1, 1};
    std::wstring m_address;
    bool m_showDisabledBitmap = true;
    struct stBitmap
    {
        HBITMAP image = nullptr;
        HBITMAP mask = nullptr;
        SIZE size{0, 0};
    };
    stBitmap m_bitmaps[2];
    struct stIcon
    {
        HICON icon = nullptr;
        SIZE size{0, 0};
    };
    stIcon m_icons[2];
    bool m_drawTransparent = false;
    HDC m_backgroundDc = nullptr;
    HBITMAP m_background = nullptr;
    HGDIOBJ m_backgroundOld = nullptr;
    bool m_customFont = false;
    HFONT m_font = nullptr;
    wchar_t m_fontFace[LF_FACESIZE] = {};
    int m_fontHeight = 0;
    bool m_fontBold = false;
    bool m_fontItalic = false;
    bool m_fontUnderline = false;
    CToolTipCtrl m_tooltip;
    DWORD m_tooltipStyle = 0;
    HWND m_menuCallbackWindow = nullptr;
    UINT m_menuCallbackMessage = 0;
    LPARAM m_menuCallbackParameter = 0;
    struct stSound
    {
        wchar_t buffer[260] = {};
        const wchar_t* name = nullptr;
        HMODULE module = nullptr;
        DWORD flags = 0;
    };
    stSound m_sounds[2]; // hover, click

private:
    void FreeImages();
    void FreeBackground();
    void FreeFont();
    void PaintParentBackground(HDC dc, const RECT& client);
    void Play(const stSound& sound) const;
};

// The flat, outlined face: black outline while hovered or pressed, grey at
// rest, optionally with rounded corners.
class CWinXPButtonST : public CButtonST
{
    DECLARE_DYNAMIC(CWinXPButtonST)

public:
    CWinXPButtonST() { m_flat = true; }
    void SetRounded(bool rounded) { m_rounded = rounded; }
    void SetOutlineAtRest(bool outline) { m_outlineAtRest = outline; }

protected:
    void DrawBackground(HDC dc, RECT* rect) override;
    void DrawBorder(HDC, RECT*) override {}

private:
    bool m_rounded = false;
    bool m_outlineAtRest = true;
};

class CImageButton : public CWinXPButtonST
{
    DECLARE_DYNAMIC(CImageButton)
};

class CWinXPCancelButton : public CWinXPButtonST
{
    DECLARE_DYNAMIC(CWinXPCancelButton)
};
