// Static controls: a label (left, centred or right, word-wrapped unless
// SS_LEFTNOWORDWRAP), or a frame or etched line.
#include "platform/win32/control_internal.h"

namespace win32::detail
{

namespace
{

struct StaticState : ControlState
{
};

void Paint(HWND hwnd)
{
    ControlPaint p(hwnd);
    if (!p.dc)
        return;
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    const DWORD type = style & SS_TYPEMASK;
    p.Fill(p.client, COLOR_BTNFACE);
    RECT r = p.client;
    switch (type)
    {
    case SS_BLACKFRAME:
        p.Frame(r, COLOR_WINDOWFRAME);
        return;
    case SS_GRAYFRAME:
        p.Frame(r, COLOR_BTNSHADOW);
        return;
    case SS_ETCHEDHORZ:
        DrawEdge(p.dc, &r, EDGE_ETCHED, BF_TOP);
        return;
    case SS_ETCHEDFRAME:
        DrawEdge(p.dc, &r, EDGE_ETCHED, BF_RECT);
        return;
    default:
        break;
    }
    if (style & SS_SUNKEN)
        DrawEdge(p.dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    UINT format = DT_WORDBREAK;
    if (type == SS_CENTER)
        format |= DT_CENTER;
    else if (type == SS_RIGHT)
        format |= DT_RIGHT;
    else if (type == SS_LEFTNOWORDWRAP)
        format = DT_SINGLELINE;
    if (style & SS_CENTERIMAGE)
        format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
    if (style & SS_NOPREFIX)
        format |= DT_NOPREFIX;
    p.Text(WindowText(hwnd), r, format, COLOR_BTNTEXT);
}

} // namespace

LRESULT StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (CommonControlMessage<StaticState>(hwnd, message, wParam, lParam, result))
        return result;
    switch (message)
    {
    case WM_SETTEXT:
    case WM_ENABLE:
    case WM_SIZE:
    {
        LRESULT r = DefWindowProcW(hwnd, message, wParam, lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return r;
    }
    case WM_GETDLGCODE:
        return DLGC_STATIC;
    case WM_LBUTTONDOWN:
        if (GetWindowLongPtrW(hwnd, GWL_STYLE) & SS_NOTIFY)
            NotifyParent(hwnd, STN_CLICKED);
        return 0;
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace win32::detail
