// Buttons: push buttons, check boxes, radio buttons (with their automatic
// kinds), group boxes and owner-drawn buttons. A click is a press and a
// release inside the button; BM_CLICK and the space key click too. The parent
// hears BN_CLICKED after an automatic button changed its check.
#include "platform/win32/control_internal.h"

#include <algorithm>

namespace win32::detail
{

namespace
{

struct ButtonState : ControlState
{
    WPARAM check = BST_UNCHECKED;
    bool pushed = false;   // the pressed look while the mouse holds it
    bool tracking = false; // pressed by the mouse, waiting for the release
};

DWORD TypeOf(HWND hwnd)
{
    return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)) & BS_TYPEMASK;
}

bool IsRadio(DWORD type)
{
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

bool IsCheck(DWORD type)
{
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}

// The automatic radio buttons of the button's group: the siblings from the
// previous WS_GROUP window up to the next one.
void UncheckGroupSiblings(HWND button)
{
    HWND parent = GetParent(button);
    if (!parent)
        return;
    std::vector<HWND> siblings;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        siblings.push_back(c);
    auto self = std::find(siblings.begin(), siblings.end(), button);
    if (self == siblings.end())
        return;
    auto first = self;
    while (first != siblings.begin() && !(GetWindowLongPtrW(*first, GWL_STYLE) & WS_GROUP))
        --first;
    for (auto it = first; it != siblings.end(); ++it)
    {
        if (it != first && (GetWindowLongPtrW(*it, GWL_STYLE) & WS_GROUP))
            break;
        if (*it != button && TypeOf(*it) == BS_AUTORADIOBUTTON)
            SendMessageW(*it, BM_SETCHECK, BST_UNCHECKED, 0);
    }
}

void Click(HWND hwnd, ButtonState& s)
{
    switch (TypeOf(hwnd))
    {
    case BS_AUTOCHECKBOX:
        s.check = s.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        break;
    case BS_AUTO3STATE:
        s.check = (s.check + 1) % 3;
        break;
    case BS_AUTORADIOBUTTON:
        s.check = BST_CHECKED;
        UncheckGroupSiblings(hwnd);
        break;
    default:
        break;
    }
    InvalidateRect(hwnd, nullptr, TRUE);
    NotifyParent(hwnd, BN_CLICKED);
}

void Paint(HWND hwnd, ButtonState& s)
{
    const DWORD type = TypeOf(hwnd);
    if (type == BS_OWNERDRAW)
    {
        PAINTSTRUCT ps{};
        HDC dc = BeginPaint(hwnd, &ps);
        DRAWITEMSTRUCT di{};
        di.CtlType = ODT_BUTTON;
        di.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
        di.itemAction = ODA_DRAWENTIRE;
        di.itemState = (s.pushed ? ODS_SELECTED : 0) | (IsWindowEnabled(hwnd) ? 0 : ODS_DISABLED) |
                       (GetFocus() == hwnd ? ODS_FOCUS : 0);
        di.hwndItem = hwnd;
        di.hDC = dc;
        GetClientRect(hwnd, &di.rcItem);
        if (HWND parent = GetParent(hwnd))
            SendMessageW(parent, WM_DRAWITEM, di.CtlID, reinterpret_cast<LPARAM>(&di));
        EndPaint(hwnd, &ps);
        return;
    }
    ControlPaint p(hwnd);
    if (!p.dc)
        return;
    const std::wstring text = WindowText(hwnd);
    const bool pushLike = (GetWindowLongPtrW(hwnd, GWL_STYLE) & BS_PUSHLIKE) != 0;
    if (type == BS_GROUPBOX)
    {
        // A group box frames the controls inside it, which lie behind it in
        // a dialog: only its frame and label are drawn, the rest stays clear
        // so that the window image shows them.
        win32::DeviceSurface surface = win32::SurfaceOfDC(p.dc);
        if (surface.pixels)
            std::fill_n(surface.pixels, static_cast<std::size_t>(surface.width) * surface.height, 0u);
        const int h = RowHeight(hwnd);
        RECT frame{p.client.left, p.client.top + h / 2, p.client.right, p.client.bottom};
        DrawEdge(p.dc, &frame, EDGE_ETCHED, BF_RECT);
        RECT label{p.client.left + 8, p.client.top, p.client.right - 8, p.client.top + h};
        DrawTextW(p.dc, text.c_str(), -1, &label, DT_SINGLELINE | DT_CALCRECT);
        InflateRect(&label, 2, 0);
        p.Fill(label, COLOR_BTNFACE);
        InflateRect(&label, -2, 0);
        p.Text(text, label, DT_SINGLELINE, COLOR_BTNTEXT);
        return;
    }
    p.Fill(p.client, COLOR_BTNFACE);
    if ((IsCheck(type) || IsRadio(type)) && !pushLike)
    {
        const int box = 13;
        RECT mark{p.client.left, (p.client.top + p.client.bottom - box) / 2, p.client.left + box,
                  (p.client.top + p.client.bottom - box) / 2 + box};
        UINT state = (IsRadio(type) ? DFCS_BUTTONRADIO : DFCS_BUTTONCHECK) |
                     (s.check != BST_UNCHECKED ? DFCS_CHECKED : 0) | (p.enabled ? 0 : DFCS_INACTIVE) |
                     (s.pushed ? DFCS_PUSHED : 0);
        DrawFrameControl(p.dc, &mark, DFC_BUTTON, state);
        RECT label{p.client.left + box + 4, p.client.top, p.client.right, p.client.bottom};
        p.Text(text, label, DT_SINGLELINE | DT_VCENTER, COLOR_BTNTEXT);
        if (p.focused)
            DrawFocusRect(p.dc, &label);
        return;
    }
    // Push buttons, and check or radio buttons that look like them.
    RECT r = p.client;
    const bool down = s.pushed || (pushLike && s.check != BST_UNCHECKED);
    if (type == BS_DEFPUSHBUTTON)
    {
        p.Frame(r, COLOR_WINDOWFRAME);
        InflateRect(&r, -1, -1);
    }
    DrawEdge(p.dc, &r, down ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
    if (down)
        OffsetRect(&r, 1, 1);
    p.Text(text, r, DT_SINGLELINE | DT_VCENTER | DT_CENTER, COLOR_BTNTEXT);
    if (p.focused)
    {
        InflateRect(&r, -2, -2);
        DrawFocusRect(p.dc, &r);
    }
}

} // namespace

LRESULT ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (CommonControlMessage<ButtonState>(hwnd, message, wParam, lParam, result))
        return result;
    auto* s = StateOf<ButtonState>(hwnd);
    if (!s)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message)
    {
    case BM_GETCHECK:
        return static_cast<LRESULT>(s->check);
    case BM_SETCHECK:
    {
        const DWORD type = TypeOf(hwnd);
        const bool threeState = type == BS_3STATE || type == BS_AUTO3STATE;
        s->check = wParam == BST_INDETERMINATE && !threeState ? BST_CHECKED : std::min<WPARAM>(wParam, 2);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    case BM_GETSTATE:
        return static_cast<LRESULT>(s->check) | (s->pushed ? BST_PUSHED : 0) | (GetFocus() == hwnd ? BST_FOCUS : 0);
    case BM_SETSTATE:
        s->pushed = wParam != 0;
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case BM_SETSTYLE:
    {
        // Only the button type changes; the other style bits stay.
        LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
        style = (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | static_cast<LONG_PTR>(wParam & BS_TYPEMASK);
        SetWindowLongPtrW(hwnd, GWL_STYLE, style);
        if (LOWORD(lParam))
            InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    case BM_CLICK:
        if (IsWindowEnabled(hwnd))
            Click(hwnd, *s);
        return 0;
    case WM_GETDLGCODE:
    {
        const DWORD type = TypeOf(hwnd);
        if (type == BS_DEFPUSHBUTTON)
            return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        if (type == BS_PUSHBUTTON || type == BS_OWNERDRAW)
            return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        if (IsRadio(type))
            return DLGC_BUTTON | DLGC_RADIOBUTTON;
        if (type == BS_GROUPBOX)
            return DLGC_STATIC;
        return DLGC_BUTTON;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (TypeOf(hwnd) == BS_GROUPBOX)
            return 0;
        {
            const HWND before = GetFocus();
            SetFocus(hwnd);
            // A field left with text it refuses says so and takes the
            // keyboard back: the press only ended the typing (the message
            // it raised took the mouse), so the button is not pressed.
            if (before && before != hwnd && GetFocus() == before)
                return 0;
        }
        SetCapture(hwnd);
        s->tracking = true;
        s->pushed = true;
        InvalidateRect(hwnd, nullptr, TRUE);
        if (message == WM_LBUTTONDBLCLK && (GetWindowLongPtrW(hwnd, GWL_STYLE) & BS_NOTIFY))
            NotifyParent(hwnd, BN_DOUBLECLICKED);
        return 0;
    case WM_MOUSEMOVE:
        if (s->tracking)
        {
            RECT c{};
            GetClientRect(hwnd, &c);
            const bool inside = PtInRect(&c, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}) != FALSE;
            if (inside != s->pushed)
            {
                s->pushed = inside;
                InvalidateRect(hwnd, nullptr, TRUE);
            }
        }
        return 0;
    case WM_LBUTTONUP:
        if (s->tracking)
        {
            s->tracking = false;
            const bool inside = s->pushed;
            s->pushed = false;
            ReleaseCapture();
            InvalidateRect(hwnd, nullptr, TRUE);
            if (inside)
                Click(hwnd, *s);
        }
        return 0;
    case WM_CAPTURECHANGED:
        if (s->tracking && reinterpret_cast<HWND>(lParam) != hwnd)
        {
            s->tracking = false;
            s->pushed = false;
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE)
            Click(hwnd, *s);
        return 0;
    case WM_SETFOCUS:
        InvalidateRect(hwnd, nullptr, TRUE);
        if (GetWindowLongPtrW(hwnd, GWL_STYLE) & BS_NOTIFY)
            NotifyParent(hwnd, BN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        if (s->tracking)
        {
            s->tracking = false;
            s->pushed = false;
            ReleaseCapture();
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        if (GetWindowLongPtrW(hwnd, GWL_STYLE) & BS_NOTIFY)
            NotifyParent(hwnd, BN_KILLFOCUS);
        return 0;
    case WM_SETTEXT:
    case WM_ENABLE:
    {
        LRESULT r = DefWindowProcW(hwnd, message, wParam, lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return r;
    }
    case WM_PAINT:
        Paint(hwnd, *s);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace win32::detail
