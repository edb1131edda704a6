#include "render/menu_item_bitmaps.h"

#include "platform/win32/gdi.h"
#include "platform/win32/menu.h"

namespace
{

void DeleteItemBitmaps(HMENU menu, int depth)
{
    // Menus nest a few levels; the bound only guards against a cycle.
    if (!menu || depth > 32)
        return;
    const int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i)
    {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_SUBMENU | MIIM_CHECKMARKS;
        if (!::GetMenuItemInfoW(menu, UINT(i), TRUE, &info))
            continue;
        if (info.hSubMenu)
            DeleteItemBitmaps(info.hSubMenu, depth + 1);
        if (!info.hbmpChecked && !info.hbmpUnchecked)
            continue;
        ::SetMenuItemBitmaps(menu, UINT(i), MF_BYPOSITION, nullptr, nullptr);
        if (info.hbmpUnchecked)
            ::DeleteObject(info.hbmpUnchecked);
        if (info.hbmpChecked && info.hbmpChecked != info.hbmpUnchecked)
            ::DeleteObject(info.hbmpChecked);
    }
}

} // namespace

void DeleteMenuItemBitmaps(HMENU menu) { DeleteItemBitmaps(menu, 0); }
