#include "platform/mfc/menu.h"
#include "platform/mfc/win_app.h"
#include "platform/mfc/wnd.h"

#include <map>
#include <memory>
#include <mutex>

namespace
{

struct TemporaryMenus
{
    std::mutex lock;
    std::map<HMENU, std::unique_ptr<CMenu>> menus;
};

TemporaryMenus& Temporaries()
{
    static TemporaryMenus* t = new TemporaryMenus;
    return *t;
}

} // namespace

CMenu::~CMenu()
{
    if (m_hMenu)
        ::DestroyMenu(Detach());
}

CMenu* CMenu::FromHandle(HMENU menu)
{
    if (!menu || !::IsMenu(menu))
        return nullptr;
    TemporaryMenus& t = Temporaries();
    std::lock_guard<std::mutex> guard(t.lock);
    // Entries of destroyed menus are dropped here; handles are never reused.
    for (auto it = t.menus.begin(); it != t.menus.end();)
    {
        if (!::IsMenu(it->first))
        {
            it->second->m_hMenu = nullptr;
            it = t.menus.erase(it);
        }
        else
            ++it;
    }
    auto& slot = t.menus[menu];
    if (!slot)
    {
        slot = std::make_unique<CMenu>();
        slot->m_hMenu = menu;
    }
    return slot.get();
}

BOOL CMenu::Attach(HMENU menu)
{
    if (!menu || m_hMenu)
        return FALSE;
    m_hMenu = menu;
    return TRUE;
}

HMENU CMenu::Detach()
{
    HMENU menu = m_hMenu;
    m_hMenu = nullptr;
    return menu;
}

BOOL CMenu::LoadMenu(UINT id)
{
    return LoadMenu(MAKEINTRESOURCEW(id));
}

BOOL CMenu::LoadMenu(LPCWSTR name)
{
    if (m_hMenu)
        return FALSE;
    return Attach(::LoadMenuW(AfxFindResourceHandle(name, RT_MENU), name));
}

BOOL CMenu::DestroyMenu()
{
    if (!m_hMenu)
        return FALSE;
    return ::DestroyMenu(Detach());
}

BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* wnd, const RECT* rect)
{
    return ::TrackPopupMenu(m_hMenu, flags, x, y, 0, wnd ? wnd->GetSafeHwnd() : nullptr, rect);
}

BOOL CMenu::TrackPopupMenuEx(UINT flags, int x, int y, CWnd* wnd, const TPMPARAMS* params)
{
    return ::TrackPopupMenuEx(m_hMenu, flags, x, y, wnd ? wnd->GetSafeHwnd() : nullptr, params);
}
