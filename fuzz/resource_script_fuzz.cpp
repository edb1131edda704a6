// The resource-script parser must reject any text with a message, never
// crash, hang or read outside the text; and what it accepts, its consumers
// must serve as parsed: every menu loads with the items of its template,
// every accelerator table loads, every string loads cut to the buffer, and
// every dialog is made with one child per control, or refused as a whole
// when a control's class does not exist.
#include "platform/win32/dialog.h"
#include "platform/win32/input.h"
#include "platform/win32/menu.h"
#include "platform/win32/resource.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{

LPCWSTR NameOf(const win32::ResourceKey& key)
{
    return key.name.empty() ? MAKEINTRESOURCEW(static_cast<WORD>(key.id)) : key.name.c_str();
}

// Names that the lookup cannot tell apart from another key are not checked.
bool Addressable(const win32::ResourceKey& key)
{
    return key.name.empty() ? key.id != 0 && key.id <= 0xFFFF : key.name[0] != L'#';
}

bool MatchesTemplate(HMENU menu, const std::vector<win32::MenuTemplateItem>& items)
{
    if (GetMenuItemCount(menu) != static_cast<int>(items.size()))
        return false;
    for (std::size_t i = 0; i < items.size(); ++i)
    {
        const auto position = static_cast<int>(i);
        if ((items[i].flags & MF_POPUP) != 0)
        {
            HMENU sub = GetSubMenu(menu, position);
            if (sub == nullptr || !MatchesTemplate(sub, items[i].children))
                return false;
        }
        else if ((items[i].flags & MF_SEPARATOR) == 0 && GetMenuItemID(menu, position) != items[i].id)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    win32::ResourceScript out;
    std::string error;
    // An include resolves to the same text, so include loops are exercised too.
    auto include = [&](const std::string&) -> std::optional<std::string> { return text; };
    if (!win32::ParseResourceScript(text, include, out, error))
    {
        if (error.empty())
            std::abort();
        return 0;
    }

    static std::uintptr_t next = 0x9000000;
    const auto module = reinterpret_cast<HINSTANCE>(next += 0x1000);
    if (!win32::RegisterResourceScript(module, text, include))
        std::abort(); // the same text parsed a moment ago
    const std::size_t menusBefore = win32::LiveMenuCount();
    for (const auto& [key, items] : out.menus)
    {
        if (!Addressable(key))
            continue;
        HMENU menu = LoadMenuW(module, NameOf(key));
        if (menu == nullptr || !MatchesTemplate(menu, items))
            std::abort();
        DestroyMenu(menu);
    }
    if (win32::LiveMenuCount() != menusBefore)
        std::abort();
    for (const auto& [key, entries] : out.accelerators)
    {
        if (!Addressable(key))
            continue;
        HACCEL table = LoadAcceleratorsW(module, NameOf(key));
        if (table == nullptr && !entries.empty())
            std::abort();
        if (table != nullptr)
            DestroyAcceleratorTable(table);
    }
    for (const auto& [id, string] : out.strings)
    {
        wchar_t buffer[16];
        std::fill(std::begin(buffer), std::end(buffer), L'#');
        const int n = LoadStringW(module, id, buffer, 16);
        if (n != static_cast<int>(std::min<std::size_t>(string.size(), 15)) || buffer[n] != L'\0' ||
            string.compare(0, static_cast<std::size_t>(n), buffer, static_cast<std::size_t>(n)) != 0)
            std::abort();
    }
    const std::size_t windowsBefore = win32::LiveWindowCount();
    for (const auto& [key, dialog] : out.dialogs)
    {
        // Thousands of controls add time, not paths.
        if (!Addressable(key) || dialog.items.size() > 64)
            continue;
        HWND hwnd = CreateDialogParamW(module, NameOf(key), nullptr, nullptr, 0);
        if (hwnd == nullptr)
            continue;
        std::size_t children = 0;
        for (HWND c = GetWindow(hwnd, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
            ++children;
        if (children > dialog.items.size() || ((dialog.style & DS_NOFAILCREATE) == 0 && children != dialog.items.size()))
            std::abort();
        MSG tab{hwnd, WM_KEYDOWN, VK_TAB, 1, 0, {0, 0}};
        if (HWND focus = GetFocus())
            tab.hwnd = focus;
        IsDialogMessageW(hwnd, &tab);
        DestroyWindow(hwnd);
    }
    win32::PumpUntilIdle();
    if (win32::LiveWindowCount() != windowsBefore)
        std::abort();
    win32::UnregisterResources(module);
    return 0;
}
