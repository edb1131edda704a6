#include "platform/win32/menu.h"
#include "platform/win32/input.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace
{

struct MenuItem
{
    UINT flags = 0;
    UINT_PTR id = 0;
    std::wstring text;
    HMENU popup = nullptr;
    HBITMAP unchecked = nullptr;
    HBITMAP checked = nullptr;
};

struct Menu
{
    std::vector<MenuItem> items;
};

struct MenuTable
{
    std::recursive_mutex lock;
    std::map<HMENU, Menu> menus;
    std::map<HACCEL, std::vector<ACCEL>> accelerators;
    std::uintptr_t next = 0x80010;
};

MenuTable& Table()
{
    static MenuTable* table = new MenuTable;
    return *table;
}

template <class H> H NewHandle(MenuTable& t)
{
    H h = reinterpret_cast<H>(t.next);
    t.next += 4;
    return h;
}

Menu* MenuOf(MenuTable& t, HMENU h)
{
    auto it = t.menus.find(h);
    return it == t.menus.end() ? nullptr : &it->second;
}

// Finds an item by command (searching sub-menus) or by position.
MenuItem* FindItem(MenuTable& t, HMENU h, UINT item, UINT flags, HMENU* owner = nullptr,
                   std::size_t* index = nullptr, int depth = 0)
{
    Menu* m = MenuOf(t, h);
    if (!m || depth > 32)
        return nullptr;
    if (flags & MF_BYPOSITION)
    {
        if (item >= m->items.size())
            return nullptr;
        if (owner)
            *owner = h;
        if (index)
            *index = item;
        return &m->items[item];
    }
    for (std::size_t i = 0; i < m->items.size(); ++i)
    {
        MenuItem& it = m->items[i];
        if (!(it.flags & MF_POPUP) && !(it.flags & MF_SEPARATOR) && it.id == item)
        {
            if (owner)
                *owner = h;
            if (index)
                *index = i;
            return &it;
        }
        if (it.flags & MF_POPUP)
            if (MenuItem* inner = FindItem(t, it.popup, item, flags, owner, index, depth + 1))
                return inner;
    }
    return nullptr;
}

void DestroyMenuLocked(MenuTable& t, HMENU h, int depth)
{
    auto it = t.menus.find(h);
    if (it == t.menus.end() || depth > 32)
        return;
    std::vector<HMENU> popups;
    for (const MenuItem& item : it->second.items)
        if (item.flags & MF_POPUP)
            popups.push_back(item.popup);
    t.menus.erase(it);
    for (HMENU p : popups)
        DestroyMenuLocked(t, p, depth + 1);
}

HMENU BuildFromTemplate(MenuTable& t, const std::vector<win32::MenuTemplateItem>& items)
{
    HMENU h = NewHandle<HMENU>(t);
    Menu& m = t.menus[h];
    for (const auto& tpl : items)
    {
        MenuItem item;
        item.flags = tpl.flags;
        item.id = tpl.id;
        item.text = tpl.text;
        if (tpl.flags & MF_POPUP)
            item.popup = BuildFromTemplate(t, tpl.children);
        t.menus[h].items.push_back(item); // m may move while sub-menus are added
    }
    (void)m;
    return h;
}

BOOL AddItem(HMENU menu, std::size_t at, UINT flags, UINT_PTR idOrPopup, LPCWSTR text)
{
    MenuTable& t = Table();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    Menu* m = MenuOf(t, menu);
    if (!m || ((flags & MF_POPUP) && !MenuOf(t, reinterpret_cast<HMENU>(idOrPopup))))
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    MenuItem item;
    item.flags = flags & ~MF_BYPOSITION;
    if (flags & MF_POPUP)
        item.popup = reinterpret_cast<HMENU>(idOrPopup);
    else
        item.id = idOrPopup;
    if (text && !(flags & (MF_SEPARATOR | MF_BITMAP | MF_OWNERDRAW)))
        item.text = text;
    at = std::min(at, m->items.size());
    m->items.insert(m->items.begin() + static_cast<std::ptrdiff_t>(at), item);
    return TRUE;
}

BOOL TakeOut(HMENU menu, UINT position, UINT flags, bool destroyPopup)
{
    MenuTable& t = Table();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    HMENU owner = nullptr;
    std::size_t index = 0;
    MenuItem* item = FindItem(t, menu, position, flags, &owner, &index);
    if (!item)
        return FALSE;
    HMENU popup = (item->flags & MF_POPUP) ? item->popup : nullptr;
    Menu* m = MenuOf(t, owner);
    m->items.erase(m->items.begin() + static_cast<std::ptrdiff_t>(index));
    if (destroyPopup && popup)
        DestroyMenuLocked(t, popup, 0);
    return TRUE;
}

// The enabled command items of the menu and its sub-menus.
bool IsChoosable(MenuTable& t, HMENU h, UINT id)
{
    MenuItem* item = FindItem(t, h, id, MF_BYCOMMAND);
    return item && !(item->flags & (MF_GRAYED | MF_DISABLED));
}

void Describe(MenuTable& t, HMENU h, std::wstring& out, int depth)
{
    Menu* m = MenuOf(t, h);
    if (!m || depth > 32)
        return;
    for (const MenuItem& item : m->items)
    {
        if (item.flags & MF_SEPARATOR)
            continue;
        if (!out.empty())
            out += L'|';
        out += item.text;
        if (item.flags & MF_POPUP)
            Describe(t, item.popup, out, depth + 1);
    }
}

} // namespace

HMENU CreateMenu()
{
    MenuTable& t = Table();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    HMENU h = NewHandle<HMENU>(t);
    t.menus[h];
    return h;
}

HMENU CreatePopupMenu()
{
    return CreateMenu();
}

HMENU LoadMenuW(HINSTANCE module, LPCWSTR name)
{
    const win32::ResourceScript* script = win32::FindModuleResources(module);
    if (!script)
    {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    auto it = script->menus.find(win32::ResourceKey::From(name));
    if (it == script->menus.end())
    {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    MenuTable& t = Table();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    return BuildFromTemplate(t, it->second);
}

BOOL DestroyMenu(HMENU menu)
{
    MenuTable& t = Table();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    if (!MenuOf(t, menu))
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DestroyMenuLocked(t, menu, 0);
    return TRUE;
}

BOOL IsMenu(HMENU menu)
{
    MenuTable& t = Table();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    return MenuOf(t, menu) ? TRUE : FALSE;
}

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idOrPopup, LPCWSTR text)
{
    return AddItem(menu, static_cast<std::size_t>(-1), flags, idOrPopup, text);
}

BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR idOrPopup, LPCWSTR text)
{
    std::size_t at = static_cast<std::size_t>(-1);
    if (flags & MF_BYPOSITION)
        at = position == 0xFFFFFFFFu ? at : position;
    else
    {
        MenuTable& t = Table();
        std::lock_guard<std::recursive_mutex> guard(t.lock);
        HMENU owner = nullptr;
        std::size_t index = 0;
        if (!FindItem(t, menu, position, MF_BYCOMMAND, &owner, &index))
            return FALSE;
        return AddItem(owner, index, flags, idOrPopup, text);
    }
    return AddItem(menu, at, flags, idOrPopup, text);
}

BOOL RemoveMenu(HMENU menu, UINT position, UINT flags)
{
    return TakeOut(menu, position, flags, false);
}
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags)
{
    return TakeOut(menu, position, flags, true);
}

int GetMenuItemCount(HMENU menu)
{
    MenuTable& t = Table();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    Menu* m = MenuOf(t, menu);
    return m ? static_cast<int>(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position)
{
    MenuTable& t = Table();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    if (position < 0)
        return 0xFFFFFFFFu;
    MenuItem* item = FindItem(t, menu, static_cast<UINT>(position), MF_BYPOSITION);
    if (!item || (item->flags & MF_POPUP))
        return 0xFFFFFFFFu;
    return static_cast<UINT>(item->id);
}

HMENU GetSubMenu(HMENU menu, int position)
{
    MenuTable& t = Table();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    if (position < 0)
        return nullptr;
    MenuItem* item = FindItem(t, menu, static_cast<UINT>(position), MF_BYPOSITION);
    return item && (item->flags & MF_POPUP) ? item->popup : nullptr;
}

DWORD EnableMenuItem(HMENU menu, UINT item, UINT flags)
{
    MenuTable& t = Table();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    MenuItem* it = FindItem(t, menu, item, flags);
    if (!it)
        return 0xFFFFFFFFu;
    DWORD previous = it->flags & (MF_GRAYED | MF_DISABLED);
    it->flags = (it->flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
    return previous;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags)
{
    MenuTable& t = Table();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    MenuItem* it = FindItem(t, menu, item, flags);
    if (!it)
        return 0xFFFFFFFFu;
    DWORD previous = it->flags & MF_CHECKED;
    it->flags = (it->flags & ~MF_CHECKED) | (flags & MF_CHECKED);
    return previous;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags)
{
    MenuTable& t = Table();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    MenuItem* it = FindItem(t, menu, item, flags);
    if (!it)
        return 0xFFFFFFFFu;
    if (it->flags & MF_POPUP)
    {
        Menu* sub = MenuOf(t, it->popup);
        return (static_cast<UINT>(sub ? sub->items.size() : 0) << 8) | (it->flags & 0xFF);
    }
    return it->flags;
}

int GetMenuStringW(HMENU menu, UINT item, LPWSTR buffer, int maxCount, UINT flags)
{
    MenuTable& t = Table();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    MenuItem* it = FindItem(t, menu, item, flags);
    if (!it)
        return 0;
    int length = static_cast<int>(it->text.size());
    if (!buffer || maxCount <= 0)
        return length;
    int n = std::min(length, maxCount - 1);
    std::copy_n(it->text.begin(), n, buffer);
    buffer[n] = 0;
    return n;
}

BOOL SetMenuItemBitmaps(HMENU menu, UINT item, UINT flags, HBITMAP unchecked, HBITMAP checked)
{
    MenuTable& t = Table();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    MenuItem* it = FindItem(t, menu, item, flags);
    if (!it)
        return FALSE;
    it->unchecked = unchecked;
    it->checked = checked;
    return TRUE;
}

BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOW* info)
{
    if (!info)
        return FALSE;
    MenuTable& t = Table();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    MenuItem* it = FindItem(t, menu, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
    if (!it)
        return FALSE;
    if (info->fMask & MIIM_ID)
        info->wID = static_cast<UINT>(it->id);
    if (info->fMask & MIIM_SUBMENU)
        info->hSubMenu = (it->flags & MF_POPUP) ? it->popup : nullptr;
    if (info->fMask & MIIM_CHECKMARKS)
    {
        info->hbmpChecked = it->checked;
        info->hbmpUnchecked = it->unchecked;
    }
    return TRUE;
}

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND hwnd, const TPMPARAMS*)
{
    if (!IsMenu(menu) || !IsWindow(hwnd))
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    (void)x;
    (void)y;
    if (!(flags & TPM_NONOTIFY))
    {
        SendMessageW(hwnd, WM_ENTERMENULOOP, TRUE, 0);
        SendMessageW(hwnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
    }
    INT_PTR answer = win32::AnswerPrompt(win32::kPopupMenuPrompt, win32::DescribeMenu(menu), hwnd);
    if (!(flags & TPM_NONOTIFY))
        SendMessageW(hwnd, WM_EXITMENULOOP, TRUE, 0);
    UINT command = static_cast<UINT>(answer);
    if (command != 0)
    {
        MenuTable& t = Table();
        std::lock_guard<std::recursive_mutex> guard(t.lock);
        if (!IsChoosable(t, menu, command))
            throw win32::UnexpectedPrompt("the script chose command " + std::to_string(command) +
                                          ", which the popup menu does not offer enabled");
    }
    if (flags & TPM_RETURNCMD)
        return static_cast<BOOL>(command);
    if (command != 0)
        PostMessageW(hwnd, WM_COMMAND, command, 0);
    return TRUE;
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND hwnd, const RECT*)
{
    return TrackPopupMenuEx(menu, flags, x, y, hwnd, nullptr);
}

// ----------------------------------------------------------- accelerators

HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count)
{
    if (!entries || count <= 0)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    MenuTable& t = Table();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    HACCEL h = NewHandle<HACCEL>(t);
    t.accelerators[h].assign(entries, entries + count);
    return h;
}

HACCEL LoadAcceleratorsW(HINSTANCE module, LPCWSTR name)
{
    const win32::ResourceScript* script = win32::FindModuleResources(module);
    if (!script)
    {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    auto it = script->accelerators.find(win32::ResourceKey::From(name));
    if (it == script->accelerators.end() || it->second.empty())
    {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    std::vector<ACCEL> entries;
    for (const auto& e : it->second)
        entries.push_back({e.fVirt, e.key, e.cmd});
    return CreateAcceleratorTableW(entries.data(), static_cast<int>(entries.size()));
}

BOOL DestroyAcceleratorTable(HACCEL table)
{
    MenuTable& t = Table();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    return t.accelerators.erase(table) ? TRUE : FALSE;
}

int TranslateAcceleratorW(HWND hwnd, HACCEL table, const MSG* msg)
{
    if (!msg || !hwnd)
        return 0;
    const bool keyDown = msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN;
    const bool character = msg->message == WM_CHAR || msg->message == WM_SYSCHAR;
    if (!keyDown && !character)
        return 0;
    BYTE modifiers = 0;
    if (GetKeyState(VK_SHIFT) < 0)
        modifiers |= FSHIFT;
    if (GetKeyState(VK_CONTROL) < 0)
        modifiers |= FCONTROL;
    if (GetKeyState(VK_MENU) < 0 || (msg->lParam & (static_cast<LPARAM>(1) << 29)))
        modifiers |= FALT;
    WORD command = 0;
    {
        MenuTable& t = Table();
        std::lock_guard<std::recursive_mutex> guard(t.lock);
        auto it = t.accelerators.find(table);
        if (it == t.accelerators.end())
            return 0;
        for (const ACCEL& a : it->second)
        {
            const bool virtualKey = (a.fVirt & FVIRTKEY) != 0;
            if (virtualKey != keyDown || a.key != static_cast<WORD>(msg->wParam))
                continue;
            if (virtualKey && (a.fVirt & (FSHIFT | FCONTROL | FALT)) != modifiers)
                continue;
            if (!virtualKey && (a.fVirt & FALT) != (modifiers & FALT))
                continue;
            command = a.cmd;
            break;
        }
    }
    if (!command)
        return 0;
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(command, 1), 0);
    return 1;
}

namespace win32
{

std::wstring DescribeMenu(HMENU menu)
{
    MenuTable& t = Table();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    std::wstring out;
    Describe(t, menu, out, 0);
    return out;
}

std::size_t LiveMenuCount()
{
    MenuTable& t = Table();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    return t.menus.size();
}

} // namespace win32
