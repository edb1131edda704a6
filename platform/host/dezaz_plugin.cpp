#include "platform/host/dezaz_plugin.h"

#include "platform/win32/menu.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace
{

struct PlugInTable
{
    std::mutex lock;
    std::vector<CDezazPlugIn*> plugins;
    std::vector<CDezazPlugIn*> loaded;
    std::map<UINT, CDezazPlugIn*> menu_items;
    HMENU host_menu = nullptr;
};

PlugInTable& Table()
{
    static PlugInTable* table = new PlugInTable; // outlives the static plug-in objects
    return *table;
}

void SetBit(unsigned int& modes, int which, bool on)
{
    if (which < 0 || which >= 32)
        return;
    if (on)
        modes |= 1u << which;
    else
        modes &= ~(1u << which);
}

// Copies the items of one menu into another (sub-menus copied in depth);
// the ids met are recorded for the plug-in.
bool CopyMenuItems(HMENU from, HMENU to, CDezazPlugIn* owner, std::map<UINT, CDezazPlugIn*>& items)
{
    const int count = GetMenuItemCount(from);
    for (int i = 0; i < count; ++i)
    {
        wchar_t text[256] = {};
        GetMenuStringW(from, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        const UINT state = GetMenuState(from, static_cast<UINT>(i), MF_BYPOSITION);
        if (HMENU sub = GetSubMenu(from, i))
        {
            HMENU copy = CreatePopupMenu();
            if (!copy || !CopyMenuItems(sub, copy, owner, items) ||
                !AppendMenuW(to, MF_POPUP | (state & (MF_GRAYED | MF_DISABLED)), reinterpret_cast<UINT_PTR>(copy), text))
                return false;
        }
        else if (state & MF_SEPARATOR)
            AppendMenuW(to, MF_SEPARATOR, 0, nullptr);
        else
        {
            const UINT id = GetMenuItemID(from, i);
            if (!AppendMenuW(to, MF_STRING | (state & (MF_GRAYED | MF_DISABLED | MF_CHECKED)), id, text))
                return false;
            items[id] = owner;
        }
    }
    return true;
}

} // namespace

void CDezazFileWriteOptions::SetMode(int which, bool on)
{
    SetBit(m_modes, which, on);
}

void CDezazFileReadOptions::SetMode(int which, bool on)
{
    SetBit(m_modes, which, on);
}

CDezazPlugIn::CDezazPlugIn()
{
    PlugInTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    t.plugins.push_back(this);
}

CDezazPlugIn::~CDezazPlugIn()
{
    PlugInTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    t.plugins.erase(std::remove(t.plugins.begin(), t.plugins.end(), this), t.plugins.end());
    t.loaded.erase(std::remove(t.loaded.begin(), t.loaded.end(), this), t.loaded.end());
    for (auto it = t.menu_items.begin(); it != t.menu_items.end();)
        it = it->second == this ? t.menu_items.erase(it) : std::next(it);
}

BOOL CDezazPlugIn::OnLoadPlugIn()
{
    return TRUE;
}

void CDezazPlugIn::OnUnloadPlugIn() {}

BOOL CDezazPlugIn::OnPlugInMenuCommand(WPARAM)
{
    return FALSE;
}

BOOL CDezazPlugIn::CallWriteDocument(CDezazDoc&, const CDezazFileWriteOptions&)
{
    return FALSE;
}

BOOL CDezazPlugIn::WriteDocument(CDezazDoc&, ON_BinaryArchive&, const CDezazFileWriteOptions&)
{
    return TRUE;
}

BOOL CDezazPlugIn::ReadDocument(CDezazDoc&, ON_BinaryArchive&, const CDezazFileReadOptions&)
{
    return TRUE;
}

bool CDezazPlugIn::InsertPlugInMenuToDezazMenu(HMENU menu, int position)
{
    PlugInTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    if (!menu || !IsMenu(menu) || !t.host_menu)
        return false;
    // Build the copy aside, so a failure leaves the host menu as it was.
    HMENU staged = CreateMenu();
    std::map<UINT, CDezazPlugIn*> items;
    if (!CopyMenuItems(menu, staged, this, items))
    {
        DestroyMenu(staged);
        return false;
    }
    int at = std::clamp(position, 0, GetMenuItemCount(t.host_menu));
    while (GetMenuItemCount(staged) > 0)
    {
        wchar_t text[256] = {};
        GetMenuStringW(staged, 0, text, 256, MF_BYPOSITION);
        const UINT state = GetMenuState(staged, 0, MF_BYPOSITION);
        if (HMENU sub = GetSubMenu(staged, 0))
        {
            RemoveMenu(staged, 0, MF_BYPOSITION); // detaches the popup without destroying it
            InsertMenuW(t.host_menu, static_cast<UINT>(at++), MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(sub),
                        text);
        }
        else if (state & MF_SEPARATOR)
        {
            DeleteMenu(staged, 0, MF_BYPOSITION);
            InsertMenuW(t.host_menu, static_cast<UINT>(at++), MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
        }
        else
        {
            const UINT id = GetMenuItemID(staged, 0);
            DeleteMenu(staged, 0, MF_BYPOSITION);
            InsertMenuW(t.host_menu, static_cast<UINT>(at++), MF_BYPOSITION | MF_STRING, id, text);
        }
    }
    DestroyMenu(staged);
    t.menu_items.insert(items.begin(), items.end());
    return true;
}

namespace dezaz
{

std::vector<CDezazPlugIn*> RegisteredPlugIns()
{
    PlugInTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    return t.plugins;
}

std::vector<CDezazPlugIn*> LoadedPlugIns()
{
    PlugInTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    return t.loaded;
}

void SetPlugInLoaded(CDezazPlugIn* plugin, bool loaded)
{
    PlugInTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    t.loaded.erase(std::remove(t.loaded.begin(), t.loaded.end(), plugin), t.loaded.end());
    if (loaded && std::find(t.plugins.begin(), t.plugins.end(), plugin) != t.plugins.end())
        t.loaded.push_back(plugin);
}

CDezazPlugIn* FindPlugIn(const GUID& id)
{
    for (CDezazPlugIn* plugin : LoadedPlugIns())
        if (plugin->PlugInID() == id)
            return plugin;
    return nullptr;
}

void SetHostMenu(HMENU menu)
{
    PlugInTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    t.host_menu = menu;
}

HMENU HostMenu()
{
    PlugInTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    return t.host_menu;
}

CDezazPlugIn* PlugInOfMenuItem(UINT id)
{
    PlugInTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    const auto it = t.menu_items.find(id);
    return it == t.menu_items.end() ? nullptr : it->second;
}

} // namespace dezaz
