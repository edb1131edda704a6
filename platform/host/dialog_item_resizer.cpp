#include "platform/host/dialog_item_resizer.h"

#include "platform/mfc/wnd.h"

namespace
{

// One direction of a control: [low, high) in a dialog `then` long becomes
// [low', high') in one `now` long.
void Follow(LONG& low, LONG& high, LONG then, LONG now, bool lock_low, bool lock_high)
{
    const LONG size = high - low;
    if (lock_low && lock_high)
        high += now - then;
    else if (lock_high)
    {
        high += now - then;
        low = high - size;
    }
    else if (!lock_low && then > 0)
    {
        const double centre = 0.5 * (low + high) * now / then;
        low = static_cast<LONG>(centre - 0.5 * size + 0.5);
        high = low + size;
    }
}

} // namespace

CDezazUiDialogItemResizer::CDezazUiDialogItemResizer(CWnd* dialog) : m_dialog(dialog) {}

bool CDezazUiDialogItemResizer::Add(UINT control_id, UINT flags)
{
    if (!m_dialog || !m_dialog->m_hWnd)
        return false;
    return Add(::GetDlgItem(m_dialog->m_hWnd, static_cast<int>(control_id)), flags);
}

bool CDezazUiDialogItemResizer::Add(HWND control, UINT flags)
{
    if (!m_dialog || !m_dialog->m_hWnd || !control || ::GetParent(control) != m_dialog->m_hWnd)
        return false;
    RECT place{};
    ::GetWindowRect(control, &place);
    POINT corners[2] = {{place.left, place.top}, {place.right, place.bottom}};
    ::ScreenToClient(m_dialog->m_hWnd, &corners[0]);
    ::ScreenToClient(m_dialog->m_hWnd, &corners[1]);
    RECT client{};
    ::GetClientRect(m_dialog->m_hWnd, &client);
    Item item{control, flags, {corners[0].x, corners[0].y, corners[1].x, corners[1].y}, {client.right, client.bottom}};
    for (Item& existing : m_items)
        if (existing.window == control)
        {
            existing = item;
            return true;
        }
    m_items.push_back(item);
    return true;
}

void CDezazUiDialogItemResizer::Resize(int client_width, int client_height)
{
    for (const Item& item : m_items)
    {
        if (!::IsWindow(item.window))
            continue;
        RECT r = item.place;
        Follow(r.left, r.right, item.client_then.cx, client_width, item.flags & resize_lockleft,
               item.flags & resize_lockright);
        Follow(r.top, r.bottom, item.client_then.cy, client_height, item.flags & resize_locktop,
               item.flags & resize_lockbottom);
        ::MoveWindow(item.window, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    }
}
