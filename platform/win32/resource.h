// Module resources from the resource script (resources/, in the original
// platform's resource-script syntax). A module registers its script once;
// menus, accelerator tables, string tables and dialogs are parsed into
// templates, and every other resource (cursors, bitmaps, icons) is known by
// type and name so that lookups can tell which module holds it.
#pragma once

#include "platform/win32/types.h"
#include "platform/win32/window.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <cstdint>
#include <vector>

#define RT_CURSOR MAKEINTRESOURCEW(1)
#define RT_BITMAP MAKEINTRESOURCEW(2)
#define RT_ICON MAKEINTRESOURCEW(3)
#define RT_MENU MAKEINTRESOURCEW(4)
#define RT_DIALOG MAKEINTRESOURCEW(5)
#define RT_STRING MAKEINTRESOURCEW(6)
#define RT_ACCELERATOR MAKEINTRESOURCEW(9)
#define RT_RCDATA MAKEINTRESOURCEW(10)
#define RT_GROUP_CURSOR MAKEINTRESOURCEW(12)
#define RT_GROUP_ICON MAKEINTRESOURCEW(14)

#include "platform/win32/module.h" // ERROR_RESOURCE_TYPE_NOT_FOUND

inline constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int maxCount);

namespace win32
{

// A resource's name: a number, or a text compared without case.
struct ResourceKey
{
    ULONG_PTR id = 0;
    std::wstring name; // upper case; empty for numbered resources

    static ResourceKey From(LPCWSTR nameOrId);
    bool operator<(const ResourceKey& o) const { return id != o.id ? id < o.id : name < o.name; }
    bool operator==(const ResourceKey& o) const { return id == o.id && name == o.name; }
};

struct MenuTemplateItem
{
    std::wstring text;
    UINT id = 0;
    UINT flags = 0; // MF_* (MF_POPUP for sub-menus, MF_SEPARATOR, MF_GRAYED, MF_CHECKED, ...)
    std::vector<MenuTemplateItem> children;
};

struct AcceleratorEntry
{
    BYTE fVirt = 0; // FVIRTKEY, FSHIFT, FCONTROL, FALT, FNOINVERT
    WORD key = 0;
    WORD cmd = 0;
};

// One control of a dialog template. Position and size are in dialog units
// (a quarter of the dialog font's average character width, an eighth of its
// height); the dialog converts them when it creates the control.
struct DialogItemTemplate
{
    std::wstring className; // "Button", "Edit", "Static", "ComboBox", "ListBox" or any registered class
    std::wstring text;
    UINT id = 0;
    DWORD style = 0; // with WS_CHILD and the statement's defaults
    DWORD exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
};

struct DialogTemplate
{
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0; // dialog units
    std::wstring caption;
    std::wstring className; // empty: the dialog class
    std::wstring fontFace;  // empty: no FONT statement (the system's dialog font)
    int pointSize = 8;
    int weight = 400; // FW_NORMAL
    bool italic = false;
    std::vector<DialogItemTemplate> items;
};

struct ResourceScript
{
    std::map<std::string, long long> symbols; // the #define values
    std::map<ResourceKey, std::vector<MenuTemplateItem>> menus;
    std::map<ResourceKey, std::vector<AcceleratorEntry>> accelerators;
    std::map<UINT, std::wstring> strings;
    std::map<ResourceKey, DialogTemplate> dialogs;
    // Every other resource: its type (upper case, "CURSOR", "BITMAP", "DIALOGEX", ...) and name.
    std::vector<std::pair<std::wstring, ResourceKey>> others;
    // Bitmaps, icons and cursors whose bytes the script carries in a block
    // of hex data (a bitmap file, an icon file, a cursor file), checked when
    // read: bitmaps become RT_BITMAP data (without their file header),
    // icons loadable with LoadImageW, cursors with LoadCursorW.
    struct Picture
    {
        std::wstring type; // "BITMAP", "ICON" or "CURSOR"
        ResourceKey key;
        std::vector<std::uint8_t> bytes; // for a bitmap without the file header
    };
    std::vector<Picture> pictures;
};

// Resolves #include "name" to the included text (null: not available, the
// script fails with a message naming the file).
using ResourceIncludeResolver = std::function<std::optional<std::string>(const std::string& name)>;

// Parses a script (UTF-8). On failure returns false and sets error to
// "line N: what went wrong"; out is then unspecified.
bool ParseResourceScript(const std::string& text, const ResourceIncludeResolver& include, ResourceScript& out,
                         std::string& error);

// Parses and registers the script as the module's resources (replacing what
// the module had); cursors become loadable with LoadCursorW.
bool RegisterResourceScript(HINSTANCE module, const std::string& text, const ResourceIncludeResolver& include,
                            std::string* error = nullptr);
void UnregisterResources(HINSTANCE module);
// The module's parsed resources, or null. Valid until the module registers again.
const ResourceScript* FindModuleResources(HINSTANCE module);
bool ModuleHasResource(HINSTANCE module, LPCWSTR type, LPCWSTR name);
// A copy of the module's dialog template of that name, or none.
std::optional<DialogTemplate> FindDialogTemplate(HINSTANCE module, LPCWSTR name);

} // namespace win32
