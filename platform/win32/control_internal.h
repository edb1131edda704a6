// Shared pieces of the standard controls of this folder; not part of the
// platform's interface.
#pragma once

#include "platform/win32/controls.h"
#include "platform/win32/device_context.h"
#include "platform/win32/gdi_objects.h"
#include "platform/win32/gdi_paint.h"
#include "platform/win32/input.h"
#include "platform/win32/window.h"

#include <memory>
#include <string>
#include <vector>

namespace win32::detail
{

// Every control keeps its state object in its first extra window bytes,
// created at WM_NCCREATE and deleted at WM_NCDESTROY.
struct ControlState
{
    virtual ~ControlState() = default;
    HFONT font = nullptr; // WM_SETFONT; null draws with the default GUI font
};

template <class T> T* StateOf(HWND hwnd)
{
    return dynamic_cast<T*>(reinterpret_cast<ControlState*>(GetWindowLongPtrW(hwnd, 0)));
}

// Handles the messages every control answers alike (state creation and
// deletion, fonts); true when the message was taken.
template <class T> bool CommonControlMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message)
    {
    case WM_NCCREATE:
        SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(static_cast<ControlState*>(new T)));
        result = DefWindowProcW(hwnd, message, wParam, lParam);
        return true;
    case WM_NCDESTROY:
        delete reinterpret_cast<ControlState*>(GetWindowLongPtrW(hwnd, 0));
        SetWindowLongPtrW(hwnd, 0, 0);
        result = 0;
        return true;
    case WM_SETFONT:
        if (auto* s = StateOf<ControlState>(hwnd))
            s->font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam))
            InvalidateRect(hwnd, nullptr, TRUE);
        result = 0;
        return true;
    case WM_GETFONT:
    {
        auto* s = StateOf<ControlState>(hwnd);
        result = s ? reinterpret_cast<LRESULT>(s->font) : 0;
        return true;
    }
    case WM_ERASEBKGND:
        result = 1; // the paint fills everything
        return true;
    default:
        return false;
    }
}

// The strings of a combo or list box, each with its item data.
struct ListItems
{
    struct Item
    {
        std::wstring text;
        ULONG_PTR data = 0;
    };
    std::vector<Item> items;
    int selected = -1;

    bool Valid(WPARAM index) const { return index < items.size(); }
    // Index where a new string goes: the end, or its sorted place.
    std::size_t PlaceFor(const std::wstring& text, bool sorted) const;
    // -1 for none; start is the index after which the search begins (-1: all).
    int Find(const std::wstring& text, int start, bool exact) const;
    // Handles the item messages shared by both boxes, translated to the
    // list box's message numbers; true when taken.
    bool Handle(UINT lbMessage, WPARAM wParam, LPARAM lParam, bool sorted, LRESULT& result);
};

// WM_COMMAND to the parent with the control's id and a notification code.
void NotifyParent(HWND control, WORD code);

// A paint of a control: the context with the control's font selected and
// its colours reset; the client rectangle.
struct ControlPaint
{
    explicit ControlPaint(HWND hwnd);
    ~ControlPaint();
    ControlPaint(const ControlPaint&) = delete;
    ControlPaint& operator=(const ControlPaint&) = delete;
    HWND hwnd;
    PAINTSTRUCT ps{};
    HDC dc = nullptr;
    RECT client{};
    bool enabled = true;
    bool focused = false;
    void Fill(const RECT& r, int sysColor) const;
    void Frame(const RECT& r, int sysColor) const;
    void Text(const std::wstring& text, RECT r, UINT format, int sysColor) const;
};

// The text of a window as a string.
std::wstring WindowText(HWND hwnd);
// Height of a row of text in the control's font.
int RowHeight(HWND hwnd);

LRESULT EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ComboBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ListBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT TrackbarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT TabControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT TooltipProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace win32::detail
